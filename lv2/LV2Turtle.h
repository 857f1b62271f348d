// The bundle's Turtle files, written from what a plug-in says about itself
// (identity, channels, parameters, presets), so the description can never
// drift from the code. Used by the build-time generator.
#pragma once

#include <map>
#include <string>
#include <vector>

class IPlugBase;

// What a parameter's table does not say but an LV2 host shows.
struct LV2ParamExtras
{
  std::string unit;                     // an LV2 units: name ("hz"), or ""
  std::vector<std::string> scaleLabels; // one per integer value from the minimum up
};

struct LV2BundleInfo
{
  std::string uri;                    // the plug-in URI
  std::string pluginClass;            // an lv2: class beside lv2:Plugin ("ModulatorPlugin"), or ""
  std::string binary;                 // the DSP module's file name
  std::string uiURI, uiBinary;        // the X11 UI; no UI when uiBinary is ""
  std::map<int, LV2ParamExtras> extras; // by parameter index
};

// The key under which the state carries the current preset's name.
std::string LV2PresetStateKey(const std::string& pluginURI);
// The URI of factory preset `name`: <plugin URI>:preset:<symbol of name>.
std::string LV2PresetURI(const std::string& pluginURI, const char* name);

// manifest.ttl: the plug-in, its UI and its presets.
std::string LV2ManifestTtl(IPlugBase& plug, const LV2BundleInfo& info);
// The plug-in description: identity, features and every port.
std::string LV2PluginTtl(IPlugBase& plug, const LV2BundleInfo& info);
// presets.ttl: each factory preset's port values and its name as state.
// Restores each preset in turn to read its values; the plug-in is left at
// its first preset.
std::string LV2PresetsTtl(IPlugBase& plug, const LV2BundleInfo& info);
