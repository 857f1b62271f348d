// Writes the tremolo bundle's manifest.ttl, plug-in description and
// presets.ttl into a folder, from the plug-in's own parameters and presets.
//
//   quillbar_tremolo_ttl OUT_DIR URI DSP_BINARY [UI_URI UI_BINARY]
//
// Exit status 0 on success, 1 with a message on standard error otherwise.
#include <cstdio>
#include <memory>
#include <string>

#include "lv2/LV2Turtle.h"
#include "tremolo/QuillbarTremolo.h"

namespace
{

bool WriteFile(const std::string& path, const std::string& text)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 4 && argc != 6)
  {
    std::fprintf(stderr, "usage: %s OUT_DIR URI DSP_BINARY [UI_URI UI_BINARY]\n", argv[0]);
    return 1;
  }
  std::unique_ptr<FormatAdapter> plug(MakePlug());
  if (!plug)
  {
    std::fprintf(stderr, "%s: the plug-in could not be created\n", argv[0]);
    return 1;
  }

  LV2BundleInfo info;
  info.uri = argv[2];
  info.pluginClass = "ModulatorPlugin";
  info.binary = argv[3];
  if (argc == 6)
  {
    info.uiURI = argv[4];
    info.uiBinary = argv[5];
  }
  // What the parameter table leaves to the host's display.
  info.extras[kFrequency].unit = "hz";
  info.extras[kNote].scaleLabels = {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"};
  info.extras[kPrefix].scaleLabels = {"Plain", "Four-thirds", "Triplet"};

  const std::string dir = argv[1];
  const std::string name = plug->GetEffectName();
  const bool ok = WriteFile(dir + "/manifest.ttl", LV2ManifestTtl(*plug, info)) &&
                  WriteFile(dir + "/" + name + ".ttl", LV2PluginTtl(*plug, info)) &&
                  WriteFile(dir + "/presets.ttl", LV2PresetsTtl(*plug, info));
  if (!ok)
  {
    std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], dir.c_str());
    return 1;
  }
  return 0;
}
