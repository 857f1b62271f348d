// Command-line options of quillbar-tremolo.
#pragma once

#include <string>
#include <vector>

// A --set NAME=VALUE, as typed.
struct ParameterSetting
{
  std::string name;
  double value = 0.0;
};

// The settings render and snapshot share: state, then preset, then parameters.
struct UnitSettings
{
  std::string stateFile;                // --state, "" when absent
  std::string bankFile;                 // --fxb, "" when absent
  std::string programFile;              // --fxp, "" when absent
  std::string preset;                   // --preset, "" when absent
  std::vector<ParameterSetting> values; // --set, in the order given
};

struct RenderOptions
{
  std::string input;
  std::string output;
  UnitSettings settings;
  std::string saveStateFile;  // --save-state
  std::string saveProgramFile; // --save-fxp
  std::string saveBankFile;    // --save-fxb
  double tempoBpm = 120.0;    // --tempo, > 0
  double startBeat = 0.0;     // --start-beat, >= 0
  int blockFrames = 512;      // --block, 1..65536
  bool stopped = false;       // --stopped
  bool quiet = false;         // --quiet
  bool allowShort = false;    // --allow-short
};

struct SnapshotOptions
{
  std::string output;
  UnitSettings settings;
};

struct EditOptions
{
  UnitSettings settings;
  std::string saveStateFile;  // --save-state, written when the window closes
  std::string saveProgramFile; // --save-fxp, likewise
  std::string saveBankFile;    // --save-fxb, likewise
};

struct InfoOptions
{
  bool json = false;
};

// presets export DIR | presets import FILE.fxb --save-state OUT
struct PresetsOptions
{
  bool exporting = true;
  std::string path;          // the folder to export into, or the bank to import
  std::string saveStateFile; // import: the .aupreset to write
};

struct DemoOptions
{
  std::string folder = "out";
};

// Largest block the host asks for: keeps the unit's scratch buffers sane.
constexpr int kMaxBlockFrames = 65536;

// Parsers for the arguments after the command word. Each returns false with
// *error set to a one-line usage message for unknown options, missing or
// malformed values and wrong operand counts. *help becomes true for --help
// (the other fields are then not meaningful).
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* out, bool* help, std::string* error);
bool ParseSnapshotOptions(const std::vector<std::string>& args, SnapshotOptions* out, bool* help,
                          std::string* error);
bool ParseEditOptions(const std::vector<std::string>& args, EditOptions* out, bool* help, std::string* error);
bool ParseInfoOptions(const std::vector<std::string>& args, InfoOptions* out, bool* help, std::string* error);
bool ParsePresetsOptions(const std::vector<std::string>& args, PresetsOptions* out, bool* help, std::string* error);
bool ParseDemoOptions(const std::vector<std::string>& args, DemoOptions* out, bool* help, std::string* error);

// Parses a whole string as a finite number; false otherwise.
bool ParseNumber(const std::string& text, double* value);
