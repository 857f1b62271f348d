// Everything about the tremolo that is fixed at build time and not editor
// layout: identity codes, channel string, parameter table and factory presets.
#pragma once

// Packs a four-character code, first character in the high byte.
constexpr int QuillFourCC(const char (&code)[5])
{
  return (static_cast<unsigned char>(code[0]) << 24) | (static_cast<unsigned char>(code[1]) << 16) |
         (static_cast<unsigned char>(code[2]) << 8) | static_cast<unsigned char>(code[3]);
}

namespace tremolo_config
{

constexpr const char* kEffectName = "QuillbarTremolo";
constexpr const char* kProductName = "";
constexpr const char* kMfrName = "quillbarfx";
constexpr int kVendorVersion = 0x10000; // 1.0.0
constexpr int kUniqueID = QuillFourCC("Trml");
constexpr int kMfrID = QuillFourCC("Qlbr");
constexpr const char* kChannelIO = "1-1 2-2";
constexpr int kLatency = 0;
constexpr bool kDoesMidi = false;
constexpr bool kDoesChunks = false;
constexpr bool kIsInstrument = false;
constexpr int kSideChainChannels = 0;
constexpr const char* kBundleID = "com.quillbarfx.audiounit.QuillbarTremolo";
constexpr const char* kViewFactoryClassName = "QuillbarTremolo_View";

} // namespace tremolo_config

// Parameter indices; the editor's table uses the same ones.
enum EParams
{
  kVolume = 0,   // output gain factor, 0..2
  kDepth,        // modulation depth, 0..1
  kFrequency,    // free LFO rate, 0.1..32 Hz
  kNote,         // note index 0..6 (whole to sixty-fourth)
  kPhase,        // LFO phase offset in half cycles, 0.5..2.5
  kSymmetry,     // LFO symmetry, 0..1
  kShape,        // LFO form: 0 cosine, 1 triangle, 2 square
  kPrefix,       // note length prefix: 0 plain, 1 a third longer, 2 triplet
  kTempoSync,    // non-zero: follow the host tempo
  kOnOff,        // integer; non-zero passes the input through unchanged
  kMode,         // integer; non-zero inverts the second channel's modulation
  kNumParams
};

struct TremoloParamRow
{
  const char* name;
  double defaultVal, minVal, maxVal, step, shape;
};

// Rows kOnOff and kMode are integer parameters (step and shape unused).
constexpr TremoloParamRow kTremoloParams[kNumParams] = {
  {"Volume", 1.0, 0.0, 2.0, 0.01, 1.0},
  {"Depth", 0.5, 0.0, 1.0, 0.01, 1.0},
  {"Frequency", 6.0, 0.1, 32.0, 0.1, 1.0},
  {"Note", 3.0, 0.0, 6.0, 1.0, 1.0},
  {"Phase", 1.5, 0.5, 2.5, 0.01, 1.0},
  {"Symmetry", 0.5, 0.0, 1.0, 0.01, 1.0},
  {"Shape", 1.0, 0.0, 2.0, 0.01, 1.0},
  {"Prefix", 0.0, 0.0, 2.0, 1.0, 1.0},
  {"TempoSync", 0.0, 0.0, 1.0, 1.0, 1.0},
  {"OnOff", 0.0, 0.0, 1.0, 1.0, 1.0},
  {"Mode", 0.0, 0.0, 1.0, 1.0, 1.0},
};

constexpr bool TremoloParamIsInt(int idx) { return idx == kOnOff || idx == kMode; }

struct TremoloPreset
{
  const char* name;
  double volume, depth, frequency, note, phase, symmetry, shape, prefix, tempoSync;
  int onOff, mode;
};

constexpr int kNumPresets = 5;

constexpr TremoloPreset kTremoloPresets[kNumPresets] = {
  {"Default", 1.0, 0.5, 6.0, 3.0, 1.5, 0.5, 0.0, 0.0, 0.0, 0, 0},
  // Full-depth square synced to sixteenth notes.
  {"Gated", 1.0, 1.0, 7.0, 4.0, 1.5, 0.5, 2.0, 0.0, 1.0, 0, 0},
  // Full-depth rising ramp (triangle at symmetry 0) synced to eighth notes.
  {"Grow Up", 1.0, 1.0, 3.3, 3.0, 1.65, 0.0, 1.0, 0.0, 1.0, 0, 0},
  // Free-running auto-pan; its Note and Prefix only matter once synced.
  {"Soft Pan", 1.0, 0.3, 3.7, 2.0, 1.5, 0.5, 1.0, 2.0, 0.0, 0, 1},
  {"Hard Pan", 1.0, 0.7, 7.2, 4.0, 1.5, 0.5, 1.5, 0.0, 1.0, 0, 1},
};
