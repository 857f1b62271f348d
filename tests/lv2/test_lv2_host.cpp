// The LV2 bundle as a host sees it: its description, presets and state
// through lilv, and its audio against the Audio Unit path of the same
// plug-in (free running, and locked to forged host time).
#include "tests/lv2/LV2TestHost.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "tests/au/AUTestHost.h"

#include "tests/support/CountingAllocator.h"
#include "tests/support/HostTimeRecord.h"

namespace
{

constexpr double kRate = 44100.0;

// ---- the description ----------------------------------------------------------

TEST(LV2Description, PluginIdentityAndPortsFollowTheParameterTable)
{
  LV2World& w = World();
  ASSERT_NE(w.plugin, nullptr) << "bundle not found in " QUILL_LV2_BUNDLE;
  LilvNode* name = lilv_plugin_get_name(w.plugin);
  EXPECT_STREQ(lilv_node_as_string(name), "QuillbarTremolo");
  lilv_node_free(name);
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(w.plugin))),
               LILV_NS_LV2 "ModulatorPlugin");

  const LV2PortLayout ports{2, 2, kNumParams};
  ASSERT_EQ(lilv_plugin_get_num_ports(w.plugin), static_cast<uint32_t>(ports.Count()));
  const char* audio[] = {"in_l", "in_r", "out_l", "out_r", "control"};
  for (uint32_t i = 0; i < 5; ++i)
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(w.plugin, lilv_plugin_get_port_by_index(w.plugin, i))),
                 audio[i]);
  LilvNode* timePos = w.Uri(LV2_TIME__Position);
  LilvNode* supports = w.Uri(LV2_ATOM__supports);
  LilvNodes* supported = lilv_port_get_value(w.plugin, lilv_plugin_get_port_by_index(w.plugin, 4), supports);
  EXPECT_TRUE(supported && lilv_nodes_contains(supported, timePos)) << "the atom port takes time:Position";
  lilv_nodes_free(supported);
  lilv_node_free(supports);
  lilv_node_free(timePos);

  struct Expect
  {
    const char* symbol;
    const char* property; // the port property that matters, or null
    int scalePoints;
    const char* unit;
  };
  const Expect expect[kNumParams] = {
    {"volume", nullptr, 0, nullptr},   {"depth", nullptr, 0, nullptr},
    {"frequency", nullptr, 0, "hz"},   {"note", "enumeration", 7, nullptr},
    {"phase", nullptr, 0, nullptr},    {"symmetry", nullptr, 0, nullptr},
    {"shape", nullptr, 0, nullptr},    {"prefix", "enumeration", 3, nullptr},
    {"tempo_sync", "toggled", 0, nullptr}, {"on_off", "toggled", 0, nullptr},
    {"mode", "toggled", 0, nullptr},
  };
  std::vector<float> mins(ports.Count()), maxs(ports.Count()), defs(ports.Count());
  lilv_plugin_get_port_ranges_float(w.plugin, mins.data(), maxs.data(), defs.data());
  LilvNode* unitKey = w.Uri("http://lv2plug.in/ns/extensions/units#unit");
  for (int i = 0; i < kNumParams; ++i)
  {
    SCOPED_TRACE(expect[i].symbol);
    const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, ports.Param(i));
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(w.plugin, port)), expect[i].symbol);
    LilvNode* portName = lilv_port_get_name(w.plugin, port);
    EXPECT_STREQ(lilv_node_as_string(portName), kTremoloParams[i].name);
    lilv_node_free(portName);
    EXPECT_FLOAT_EQ(mins[ports.Param(i)], kTremoloParams[i].minVal);
    EXPECT_FLOAT_EQ(maxs[ports.Param(i)], kTremoloParams[i].maxVal);
    EXPECT_FLOAT_EQ(defs[ports.Param(i)], kTremoloParams[i].defaultVal);
    if (expect[i].property)
    {
      LilvNode* prop = w.Uri((std::string(LILV_NS_LV2) + expect[i].property).c_str());
      EXPECT_TRUE(lilv_port_has_property(w.plugin, port, prop));
      lilv_node_free(prop);
    }
    LilvScalePoints* points = lilv_port_get_scale_points(w.plugin, port);
    EXPECT_EQ(points ? static_cast<int>(lilv_scale_points_size(points)) : 0, expect[i].scalePoints);
    lilv_scale_points_free(points);
    LilvNodes* units = lilv_port_get_value(w.plugin, port, unitKey);
    const std::string unit = units ? lilv_node_as_uri(lilv_nodes_get_first(units)) : "";
    EXPECT_EQ(unit, expect[i].unit ? std::string("http://lv2plug.in/ns/extensions/units#") + expect[i].unit : "");
    lilv_nodes_free(units);
  }
  lilv_node_free(unitKey);
}

// Every factory preset, as lilv reads it from the bundle.
std::vector<LilvState*> LoadPresets(UridMap& map)
{
  LV2World& w = World();
  LilvNode* presetClass = w.Uri(LV2_PRESETS__Preset);
  LilvNodes* related = lilv_plugin_get_related(w.plugin, presetClass);
  std::vector<LilvState*> states;
  LILV_FOREACH(nodes, it, related)
  {
    const LilvNode* preset = lilv_nodes_get(related, it);
    lilv_world_load_resource(w.world, preset);
    if (LilvState* s = lilv_state_new_from_world(w.world, map.Lv2(), preset)) states.push_back(s);
  }
  lilv_nodes_free(related);
  lilv_node_free(presetClass);
  return states;
}

// The preset of that label among states, or null.
LilvState* FindPreset(const std::vector<LilvState*>& states, const std::string& label)
{
  for (LilvState* s : states)
    if (lilv_state_get_label(s) == label) return s;
  return nullptr;
}

void SetPortValue(const char* symbol, void* userData, const void* value, uint32_t size, uint32_t)
{
  auto* inst = static_cast<LV2Instance*>(userData);
  for (int i = 0; i < kNumParams; ++i)
    if (LV2ParamSymbol(kTremoloParams[i].name) == symbol && size == sizeof(float))
      inst->control[i] = *static_cast<const float*>(value);
}

// Port values for lilv_state_new_from_instance: user data is the instance
// and the atom:Float URID.
const void* GetPortValue(const char* symbol, void* userData, uint32_t* size, uint32_t* type)
{
  auto* user = static_cast<std::pair<LV2Instance*, LV2_URID>*>(userData);
  for (int i = 0; i < kNumParams; ++i)
    if (LV2ParamSymbol(kTremoloParams[i].name) == symbol)
    {
      *size = sizeof(float);
      *type = user->second;
      return &user->first->control[i];
    }
  *size = 0;
  return nullptr;
}

double PresetValue(const TremoloPreset& p, int idx)
{
  const double v[kNumParams] = {p.volume, p.depth, p.frequency, p.note,     p.phase, p.symmetry,
                                p.shape,  p.prefix, p.tempoSync, double(p.onOff), double(p.mode)};
  return v[idx];
}

TEST(LV2Presets, EachFactoryPresetSetsItsPortValuesAndItsName)
{
  UridMap map;
  std::vector<LilvState*> states = LoadPresets(map);
  ASSERT_EQ(states.size(), static_cast<size_t>(kNumPresets));
  LV2Instance inst(World(), map);
  ASSERT_NE(inst.instance, nullptr);
  for (const TremoloPreset& p : kTremoloPresets)
  {
    SCOPED_TRACE(p.name);
    LilvState* state = FindPreset(states, p.name);
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, inst.instance, SetPortValue, &inst, 0, nullptr);
    inst.Run(64);
    for (int i = 0; i < kNumParams; ++i) EXPECT_FLOAT_EQ(inst.control[i], PresetValue(p, i)) << i;
    EXPECT_EQ(inst.SavedPresetName(), p.name);
  }
  for (LilvState* s : states) lilv_state_free(s);
}

// ---- audio against the Audio Unit path -----------------------------------------

// The musical time a host reports, in closed form: the last position it
// sent and the speed and tempo from there. The Audio Unit's host callbacks
// are fed from it, segment by segment.
struct Timeline
{
  Position at;       // the last position sent
  double sentAt = 0; // run frame it was sent at
  bool known = false;

  ITimeInfo At(double runFrame) const
  {
    ITimeInfo t;
    if (!known) return t;
    const double moved = (runFrame - sentAt) * at.speed;
    const double beats = at.bar * at.beatsPerBar + at.barBeat + moved * at.bpm / (60.0 * kRate);
    const double bar = std::floor(beats / at.beatsPerBar);
    t.mTempo = at.bpm * 4.0 / at.beatUnit;
    t.mSamplePos = at.frame + moved;
    t.mPPQPos = beats * 4.0 / at.beatUnit;
    t.mLastBar = bar * at.beatsPerBar * 4.0 / at.beatUnit;
    t.mNumerator = static_cast<int>(at.beatsPerBar);
    t.mDenominator = static_cast<int>(at.beatUnit);
    t.mTransportIsRunning = at.speed != 0.0;
    return t;
  }
  // The position this timeline is at, as a host would resend it.
  Position Now(double runFrame, double bpm) const
  {
    const ITimeInfo t = At(runFrame);
    Position p = at;
    const double beats = t.mPPQPos * at.beatUnit / 4.0;
    p.frame = t.mSamplePos;
    p.bar = std::floor(beats / at.beatsPerBar);
    p.barBeat = beats - p.bar * at.beatsPerBar;
    p.bpm = bpm;
    return p;
  }
};

struct TimedEvent
{
  int frame;   // run frame
  Position pos;
};

class LV2VersusAU : public AUHostTest
{
protected:
  SignalSource source;

  // Renders `total` frames in blocks of `block` through both formats with
  // the same parameters; the LV2 side gets `events`, the Audio Unit the
  // same time through its host callbacks, split at the same frames.
  // Returns the largest difference between the two outputs.
  double Compare(const float (&params)[kNumParams], int total, int block, const std::vector<TimedEvent>& events,
                 std::vector<float>* lv2Out = nullptr)
  {
    UridMap map;
    LV2Instance lv2(World(), map, kRate);
    EXPECT_NE(lv2.instance, nullptr);
    if (!lv2.instance) return 1e9;
    AudioUnit au = OpenPrepared(&source); // fresh, so that no LFO state carries over
    HostTimeRecord clock;
    EXPECT_EQ(SetProp(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, clock.Callbacks(), au), noErr);
    for (int i = 0; i < kNumParams; ++i)
    {
      lv2.control[i] = params[i];
      EXPECT_EQ(SetParam(i, params[i], au), noErr);
    }

    Timeline timeline;
    double worst = 0.0;
    size_t next = 0;
    for (int start = 0; start < total; start += block)
    {
      const int n = std::min(block, total - start);
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < n; ++i) lv2.in[c][i] = TestSignal(c, start + i);
      // LV2: one run with every event of the block.
      std::vector<int> cuts;
      for (size_t e = next; e < events.size() && events[e].frame < start + n; ++e)
      {
        lv2.AddPosition(events[e].frame - start, events[e].pos);
        cuts.push_back(events[e].frame);
      }
      lv2.Run(n);
      if (lv2Out)
        for (int i = 0; i < n; ++i) lv2Out->push_back(lv2.out[0][i]);
      // Audio Unit: one render per stretch between events.
      cuts.push_back(start + n);
      int from = start;
      for (int cut : cuts)
      {
        if (cut > from)
        {
          clock.Set(timeline.At(from));
          BufferList out(2, cut - from);
          EXPECT_EQ(Render(out, from, cut - from, au), noErr);
          for (int c = 0; c < 2; ++c)
            for (int i = 0; i < cut - from; ++i)
              worst = std::max(worst, double(std::fabs(out.channel(c)[i] - lv2.out[c][from - start + i])));
        }
        if (next < events.size() && events[next].frame == cut)
        {
          timeline.at = events[next].pos;
          timeline.sentAt = cut;
          timeline.known = true;
          ++next;
        }
        from = cut;
      }
    }
    EXPECT_EQ(CloseComponent(au), noErr);
    return worst;
  }
};

// Parameter sets by name: the defaults, and variants.
struct ParamSet
{
  const char* name;
  float values[kNumParams];
};
constexpr ParamSet kDefaults = {"Default", {1, 0.5f, 6, 3, 1.5f, 0.5f, 1, 0, 0, 0, 0}};
constexpr ParamSet kSynced = {"synced eighths", {1, 1, 6, 3, 1.5f, 0.5f, 0, 0, 1, 0, 0}};

TEST_F(LV2VersusAU, FreeRunningOutputIsIdentical)
{
  const ParamSet sets[] = {
    kDefaults,
    {"soft pan", {0.8f, 0.3f, 3.7f, 2, 1.5f, 0.5f, 1, 2, 0, 0, 1}},
    {"square, bypassed", {2, 1, 11, 3, 2.5f, 0.2f, 2, 0, 0, 1, 0}},
  };
  for (const ParamSet& s : sets)
  {
    SCOPED_TRACE(s.name);
    // An uneven block length: the LV2 host may pick any.
    EXPECT_EQ(Compare(s.values, 4000, 333, {}), 0.0);
  }
}

TEST_F(LV2VersusAU, ForgedHostTimePutsTheLfoWhereTheAudioUnitDoes)
{
  Position p9735;
  p9735.bpm = 97.3;
  p9735.bar = 1;
  p9735.barBeat = 1.5; // beat 5.5 of the song in 4/4
  p9735.frame = 123456;

  Position start120;
  Timeline t120;
  t120.at = start120;
  t120.known = true;
  // At run frame 1224 the host announces 140 BPM from where 120 had got to.
  const Position faster = t120.Now(1224, 140.0);

  Position sixEight; // 6/8 at 180 eighths, in the older object type with wide numbers
  sixEight.bpm = 180;
  sixEight.beatUnit = 8;
  sixEight.beatsPerBar = 6;
  sixEight.bar = 3;
  sixEight.barBeat = 4.25;
  sixEight.blank = true;
  sixEight.numbers = NumberStyle::kWide;

  Position stopped;
  stopped.speed = 0;
  stopped.bar = 2;
  stopped.barBeat = 1;
  stopped.frame = 88200;
  Position rolling = stopped;
  rolling.speed = 1;

  struct Case
  {
    const char* name;
    std::vector<TimedEvent> events;
  };
  const Case cases[] = {
    {"97.3 BPM from beat 5.5, sent once", {{0, p9735}}},
    {"tempo change inside a block", {{0, start120}, {1224, faster}}},
    {"6/8 as Blank with doubles", {{0, sixEight}}},
    {"stopped, then started", {{0, stopped}, {1900, rolling}}},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    std::vector<float> synced;
    EXPECT_LT(Compare(kSynced.values, 5000, 512, c.events, &synced), 1e-5);
    // The time must matter: without it the same settings run elsewhere.
    std::vector<float> unsynced;
    Compare(kSynced.values, 5000, 512, {}, &unsynced);
    double diff = 0.0;
    for (size_t i = 0; i < synced.size(); ++i) diff = std::max(diff, double(std::fabs(synced[i] - unsynced[i])));
    EXPECT_GT(diff, 0.05);
  }
}

// ---- state and robustness ---------------------------------------------------------

TEST(LV2State, SavedStateRestoresPortsAndPresetIntoAFreshInstance)
{
  UridMap map;
  std::vector<LilvState*> presets = LoadPresets(map);
  LV2Instance a(World(), map);
  ASSERT_NE(a.instance, nullptr);
  LilvState* hardPan = FindPreset(presets, "Hard Pan");
  ASSERT_NE(hardPan, nullptr);
  lilv_state_restore(hardPan, a.instance, SetPortValue, &a, 0, nullptr);
  a.control[kDepth] = 0.42f; // edited after the preset
  a.Run(32);

  std::pair<LV2Instance*, LV2_URID> user{&a, map(LV2_ATOM__Float)};
  LilvState* saved = lilv_state_new_from_instance(World().plugin, a.instance, map.Lv2(), nullptr, nullptr, nullptr,
                                                  nullptr, GetPortValue, &user, 0, nullptr);
  ASSERT_NE(saved, nullptr);

  LV2Instance b(World(), map);
  ASSERT_NE(b.instance, nullptr);
  lilv_state_restore(saved, b.instance, SetPortValue, &b, 0, nullptr);
  EXPECT_EQ(b.SavedPresetName(), "Hard Pan");
  for (int i = 0; i < kNumParams; ++i) EXPECT_FLOAT_EQ(b.control[i], a.control[i]) << i;
  EXPECT_FLOAT_EQ(b.control[kDepth], 0.42f) << "the edit after the preset is kept";

  lilv_state_free(saved);
  for (LilvState* s : presets) lilv_state_free(s);
}

TEST(LV2Robustness, BadHostInputIsIgnored)
{
  UridMap map;
  LV2World& w = World();
  // No urid:map: the plug-in cannot read host time and refuses to start.
  EXPECT_EQ(lilv_plugin_instantiate(w.plugin, kRate, nullptr), nullptr);

  LV2Instance inst(w, map);
  ASSERT_NE(inst.instance, nullptr);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 256; ++i) inst.in[c][i] = 0.5f;
  inst.Run(0);
  inst.control[kVolume] = NAN;        // not a value: the last one stays
  inst.control[kDepth] = 7.0f;        // out of range: clamped to 1
  struct
  {
    LV2_Atom_Object obj;
    LV2_Atom_Property_Body prop;
    char text[8];
  } odd = {};
  // A Position whose tempo is text, and an object of another type.
  odd.obj.atom.type = map(LV2_ATOM__Object);
  odd.obj.atom.size = sizeof(odd) - sizeof(LV2_Atom);
  odd.obj.body.otype = map(LV2_TIME__Position);
  odd.prop.key = map(LV2_TIME__beatsPerMinute);
  odd.prop.value.type = map(LV2_ATOM__String);
  odd.prop.value.size = sizeof(odd.text);
  inst.AddAtom(0, &odd.obj.atom);
  odd.obj.body.otype = map(LV2_ATOM__Float);
  inst.AddAtom(10, &odd.obj.atom);
  inst.Run(256);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(std::isfinite(inst.out[0][i])) << i;

  // Without the optional atom port, at full depth the trough reaches 0.
  inst.DropControlPort();
  float lowest = 1.0f;
  for (int b = 0; b < 60; ++b)
  {
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 256; ++i) inst.in[c][i] = 0.5f;
    inst.Run(256);
    for (int i = 0; i < 256; ++i) lowest = std::min(lowest, std::fabs(inst.out[0][i]));
  }
  EXPECT_LT(lowest, 0.01f) << "depth clamped to 1 and volume still 1";
}

TEST(LV2Robustness, RunsAllocateNothing)
{
  UridMap map;
  LV2Instance inst(World(), map);
  ASSERT_NE(inst.instance, nullptr);
  inst.Run(512); // the first run applies every port
  Position pos;
  pos.bpm = 133;
  long during = 0; // forging the events (URID lookups) may allocate; runs not
  for (int b = 0; b < 12; ++b)
  {
    // Parameter changes, sync on and off, positions inside the run, and a
    // run longer than the adapter's largest piece.
    inst.control[kDepth] = 0.1f * b;
    inst.control[kFrequency] = 1.0f + b;
    inst.control[kTempoSync] = static_cast<float>(b % 2);
    pos.frame = b * 1000.0;
    inst.AddPosition(b * 7, pos);
    const long before = gAllocations.load();
    inst.Run(b == 5 ? 6000 : 480 + b);
    during += gAllocations.load() - before;
  }
  EXPECT_EQ(during, 0);
}

} // namespace
