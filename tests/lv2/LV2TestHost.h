// A small LV2 host on lilv for the adapter's tests: loads the bundle from
// the build tree, maps URIDs, owns one instance with its port buffers and
// forges time:Position events into the atom input, as a DAW would.
#pragma once

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lv2/LV2Ports.h"
#include "tremolo/QuillbarTremoloConfig.h"

// One URID per URI, numbered from 1 in order of first use.
class UridMap
{
public:
  UridMap()
  {
    mMap = {this, &UridMap::Map};
    mFeature = {LV2_URID__map, &mMap};
  }
  LV2_URID operator()(const char* uri) { return Map(this, uri); }
  LV2_URID_Map* Lv2() { return &mMap; }
  const LV2_Feature* Feature() const { return &mFeature; }

private:
  static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri)
  {
    auto* self = static_cast<UridMap*>(h);
    auto it = self->mIds.find(uri);
    if (it != self->mIds.end()) return it->second;
    const LV2_URID id = static_cast<LV2_URID>(self->mIds.size() + 1);
    self->mIds.emplace(uri, id);
    return id;
  }
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap;
  LV2_Feature mFeature;
};

// The lilv world with the bundle the build made, and its plug-in.
struct LV2World
{
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;

  LV2World()
  {
    world = lilv_world_new();
    // The build's bundle folder and the installed LV2 vocabularies, and
    // nothing a user may have installed.
    LilvNode* path = lilv_new_string(world, QUILL_LV2_BUNDLE "/..:/usr/lib/lv2");
    lilv_world_set_option(world, LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, QUILL_LV2_URI);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
  }
  ~LV2World() { lilv_world_free(world); }
  LilvNode* Uri(const char* u) { return lilv_new_uri(world, u); }
};

// The world every test of a program shares (lilv worlds are costly).
inline LV2World& World()
{
  static LV2World sWorld;
  return sWorld;
}

// How a forged position spells its numbers and its object.
enum class NumberStyle { kHostTypical, kWide };

// One time:Position as a host sends it. Keys left negative are not sent.
struct Position
{
  double frame = 0.0;
  double speed = 1.0;
  double bpm = 120.0;
  double beatUnit = 4.0;
  double beatsPerBar = 4.0;
  double bar = 0.0;
  double barBeat = 0.0;
  bool blank = false;                         // the older atom:Blank object type
  NumberStyle numbers = NumberStyle::kHostTypical; // Long/Float/Int, or Double everywhere
};

// One plug-in instance with its ports, fed and read by the test.
class LV2Instance
{
public:
  static constexpr int kMaxFrames = 8192;
  LV2PortLayout ports{2, 2, kNumParams};
  float control[kNumParams] = {};
  std::vector<float> in[2], out[2];

  LV2Instance(LV2World& w, UridMap& map, double rate = 44100.0) : mMap(map)
  {
    const LV2_Feature* features[] = {map.Feature(), nullptr};
    instance = lilv_plugin_instantiate(w.plugin, rate, features);
    if (!instance) return;
    std::vector<float> mins(ports.Count()), maxs(ports.Count()), defs(ports.Count());
    lilv_plugin_get_port_ranges_float(w.plugin, mins.data(), maxs.data(), defs.data());
    for (int i = 0; i < kNumParams; ++i) control[i] = defs[ports.Param(i)];
    for (int c = 0; c < 2; ++c)
    {
      in[c].assign(kMaxFrames, 0.0f);
      out[c].assign(kMaxFrames, 0.0f);
      lilv_instance_connect_port(instance, ports.AudioIn(c), in[c].data());
      lilv_instance_connect_port(instance, ports.AudioOut(c), out[c].data());
    }
    for (int i = 0; i < kNumParams; ++i) lilv_instance_connect_port(instance, ports.Param(i), &control[i]);
    lv2_atom_forge_init(&mForge, map.Lv2());
    ClearEvents();
    lilv_instance_connect_port(instance, ports.Control(), mSeq.data());
    lilv_instance_activate(instance);
  }
  ~LV2Instance()
  {
    if (!instance) return;
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }

  // Empties the atom input (hosts hand an empty sequence when nothing happens).
  void ClearEvents()
  {
    lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mSeq.data()), mSeq.size() * sizeof(uint64_t));
    lv2_atom_forge_sequence_head(&mForge, &mSeqFrame, 0);
  }
  // Appends a position at frame offset t of the next run.
  void AddPosition(int64_t t, const Position& p)
  {
    const bool wide = p.numbers == NumberStyle::kWide;
    lv2_atom_forge_frame_time(&mForge, t);
    LV2_Atom_Forge_Frame frame;
    LV2_Atom_Forge_Ref ref = lv2_atom_forge_object(&mForge, &frame, 0, mMap(LV2_TIME__Position));
    auto number = [&](const char* key, double v, bool integral) {
      lv2_atom_forge_key(&mForge, mMap(key));
      if (wide)
        lv2_atom_forge_double(&mForge, v);
      else if (integral)
        lv2_atom_forge_long(&mForge, static_cast<int64_t>(v));
      else
        lv2_atom_forge_float(&mForge, static_cast<float>(v));
    };
    number(LV2_TIME__frame, p.frame, true);
    number(LV2_TIME__speed, p.speed, false);
    number(LV2_TIME__bar, p.bar, true);
    number(LV2_TIME__barBeat, p.barBeat, false);
    if (!wide)
    {
      lv2_atom_forge_key(&mForge, mMap(LV2_TIME__beatUnit));
      lv2_atom_forge_int(&mForge, static_cast<int32_t>(p.beatUnit));
    }
    else
      number(LV2_TIME__beatUnit, p.beatUnit, true);
    number(LV2_TIME__beatsPerBar, p.beatsPerBar, false);
    number(LV2_TIME__beatsPerMinute, p.bpm, false);
    lv2_atom_forge_pop(&mForge, &frame);
    if (p.blank) lv2_atom_forge_deref(&mForge, ref)->type = mMap(LV2_ATOM__Blank);
  }
  // Appends any atom (for malformed-input tests) at frame offset t.
  void AddAtom(int64_t t, const LV2_Atom* atom)
  {
    lv2_atom_forge_frame_time(&mForge, t);
    lv2_atom_forge_write(&mForge, atom, sizeof(LV2_Atom) + atom->size);
  }
  // Runs n frames with the events added since the last run, then empties
  // the atom input.
  void Run(uint32_t n)
  {
    lv2_atom_forge_pop(&mForge, &mSeqFrame);
    lilv_instance_run(instance, n);
    ClearEvents();
  }
  // Disconnects the atom input (it is optional).
  void DropControlPort() { lilv_instance_connect_port(instance, ports.Control(), nullptr); }

  // The preset name the plug-in's state carries ("" when none).
  std::string SavedPresetName()
  {
    const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    if (!iface) return "<no state interface>";
    std::string name;
    auto store = [](LV2_State_Handle h, uint32_t, const void* value, size_t size, uint32_t, uint32_t) {
      static_cast<std::string*>(h)->assign(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), size));
      return LV2_STATE_SUCCESS;
    };
    iface->save(lilv_instance_get_handle(instance), store, &name, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    return name;
  }

  LilvInstance* instance = nullptr;

private:
  UridMap& mMap;
  LV2_Atom_Forge mForge;
  LV2_Atom_Forge_Frame mSeqFrame;
  std::vector<uint64_t> mSeq = std::vector<uint64_t>(4096);
};
