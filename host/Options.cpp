#include "host/Options.h"

#include <cmath>
#include <cstdlib>
#include <functional>

namespace
{

// Walks the arguments, splitting "--name=value" and handing out values.
class ArgCursor
{
public:
  explicit ArgCursor(const std::vector<std::string>& args) : mArgs(args) {}

  bool Next()
  {
    if (mIndex >= mArgs.size()) return false;
    const std::string& arg = mArgs[mIndex++];
    mInlineValue.clear();
    mHasInline = false;
    mOperand = !mOnlyOperands && arg.size() >= 2 && arg[0] == '-' ? false : true;
    if (!mOnlyOperands && arg == "--")
    {
      mOnlyOperands = true;
      return Next();
    }
    mCurrent = arg;
    if (!mOperand && arg.compare(0, 2, "--") == 0)
    {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos)
      {
        mCurrent = arg.substr(0, eq);
        mInlineValue = arg.substr(eq + 1);
        mHasInline = true;
      }
    }
    return true;
  }
  bool IsOperand() const { return mOperand; }
  const std::string& Current() const { return mCurrent; }
  bool HasInlineValue() const { return mHasInline; }

  bool Value(std::string* value, std::string* error)
  {
    if (mHasInline)
    {
      *value = mInlineValue;
      return true;
    }
    if (mIndex >= mArgs.size())
    {
      *error = "option " + mCurrent + " needs a value";
      return false;
    }
    *value = mArgs[mIndex++];
    return true;
  }

private:
  const std::vector<std::string>& mArgs;
  size_t mIndex = 0;
  std::string mCurrent;
  std::string mInlineValue;
  bool mHasInline = false;
  bool mOperand = false;
  bool mOnlyOperands = false;
};

// One option a command accepts. A flag takes no value; the others take the
// next argument or the text after '='. apply stores the value, or returns
// false with *error set when it is not acceptable.
struct Option
{
  const char* name;
  const char* alias; // a second spelling, or null
  bool flag;
  std::function<bool(const std::string& value, std::string* error)> apply;
};

Option Text(const char* name, std::string* target)
{
  return {name, nullptr, false, [target](const std::string& value, std::string*) {
            *target = value;
            return true;
          }};
}

Option Flag(const char* name, const char* alias, bool* target)
{
  return {name, alias, true, [target](const std::string&, std::string*) {
            *target = true;
            return true;
          }};
}

// A number option: a number for which inRange is false is refused with
// outOfRange; store keeps the others.
Option Number(const char* name, bool (*inRange)(double), std::string outOfRange, std::function<void(double)> store)
{
  return {name, nullptr, false, [=](const std::string& text, std::string* error) {
            double value = 0.0;
            if (!ParseNumber(text, &value))
            {
              *error = std::string("option ") + name + " needs a number, not \"" + text + "\"";
              return false;
            }
            if (!inRange(value))
            {
              *error = outOfRange;
              return false;
            }
            store(value);
            return true;
          }};
}

// A --set NAME=VALUE, added to settings->values.
bool AddSetting(const std::string& text, UnitSettings* settings, std::string* error)
{
  const size_t eq = text.find('=');
  ParameterSetting setting;
  if (eq == std::string::npos || eq == 0)
  {
    *error = "--set needs NAME=VALUE, not \"" + text + "\"";
    return false;
  }
  setting.name = text.substr(0, eq);
  if (!ParseNumber(text.substr(eq + 1), &setting.value))
  {
    *error = "--set " + setting.name + " needs a number, not \"" + text.substr(eq + 1) + "\"";
    return false;
  }
  settings->values.push_back(setting);
  return true;
}

// The settings render, snapshot and edit share.
void AddUnitSettingOptions(std::vector<Option>* options, UnitSettings* settings)
{
  options->push_back(Text("--preset", &settings->preset));
  options->push_back(Text("--state", &settings->stateFile));
  options->push_back(Text("--fxp", &settings->programFile));
  options->push_back(Text("--fxb", &settings->bankFile));
  options->push_back({"--set", nullptr, false, [settings](const std::string& text, std::string* error) {
                        return AddSetting(text, settings, error);
                      }});
}

// The files render and edit save the unit's settings into.
template <class CommandOptions>
void AddSaveOptions(std::vector<Option>* options, CommandOptions* out)
{
  options->push_back(Text("--save-state", &out->saveStateFile));
  options->push_back(Text("--save-fxp", &out->saveProgramFile));
  options->push_back(Text("--save-fxb", &out->saveBankFile));
}

// Walks args once for every command: --help or -h (with any value) stops
// the walk with *help set; every other option must be in options. Operands
// are collected into *operands, or refused with refuseOperands when that is
// set. False with *error set on the first mistake.
bool ScanOptions(const std::vector<std::string>& args, const std::vector<Option>& options,
                 std::vector<std::string>* operands, const char* refuseOperands, bool* help, std::string* error)
{
  *help = false;
  ArgCursor cur(args);
  while (cur.Next())
  {
    const std::string& name = cur.Current();
    if (cur.IsOperand())
    {
      if (refuseOperands)
      {
        *error = refuseOperands;
        return false;
      }
      operands->push_back(name);
      continue;
    }
    if (name == "--help" || name == "-h")
    {
      *help = true;
      return true;
    }
    const Option* option = nullptr;
    for (const Option& o : options)
      if (name == o.name || (o.alias && name == o.alias))
      {
        option = &o;
        break;
      }
    if (!option)
    {
      *error = "unknown option " + name;
      return false;
    }
    std::string value;
    if (option->flag)
    {
      if (cur.HasInlineValue())
      {
        *error = "option " + name + " takes no value";
        return false;
      }
    }
    else if (!cur.Value(&value, error))
    {
      return false;
    }
    if (!option->apply(value, error)) return false;
  }
  return true;
}

} // namespace

bool ParseNumber(const std::string& text, double* value)
{
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = strtod(text.c_str(), &end);
  if (!end || *end != 0 || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* out, bool* help, std::string* error)
{
  std::vector<Option> options;
  AddUnitSettingOptions(&options, &out->settings);
  AddSaveOptions(&options, out);
  options.push_back(Number(
      "--tempo", [](double bpm) { return bpm > 0.0 && bpm <= 10000.0; },
      "--tempo must be above 0 and at most 10000 BPM", [out](double bpm) { out->tempoBpm = bpm; }));
  options.push_back(Number(
      "--start-beat", [](double beat) { return beat >= 0.0 && beat <= 1e9; },
      "--start-beat must be between 0 and 1e9", [out](double beat) { out->startBeat = beat; }));
  auto wholeBlock = [](double frames) {
    return frames >= 1.0 && frames <= kMaxBlockFrames && frames == std::floor(frames);
  };
  options.push_back(Number("--block", wholeBlock,
                           "--block must be a whole number of frames from 1 to " + std::to_string(kMaxBlockFrames),
                           [out](double frames) { out->blockFrames = static_cast<int>(frames); }));
  options.push_back(Flag("--stopped", nullptr, &out->stopped));
  options.push_back(Flag("--allow-short", nullptr, &out->allowShort));
  options.push_back(Flag("--quiet", "-q", &out->quiet));
  std::vector<std::string> operands;
  if (!ScanOptions(args, options, &operands, nullptr, help, error)) return false;
  if (*help) return true;
  if (operands.size() != 2)
  {
    *error = operands.size() < 2 ? "render needs an input and an output file" : "render takes two files, IN and OUT";
    return false;
  }
  out->input = operands[0];
  out->output = operands[1];
  return true;
}

bool ParseSnapshotOptions(const std::vector<std::string>& args, SnapshotOptions* out, bool* help,
                          std::string* error)
{
  std::vector<Option> options;
  AddUnitSettingOptions(&options, &out->settings);
  std::vector<std::string> operands;
  if (!ScanOptions(args, options, &operands, nullptr, help, error)) return false;
  if (*help) return true;
  if (operands.size() != 1)
  {
    *error = "snapshot takes one output file, OUT.png";
    return false;
  }
  out->output = operands[0];
  return true;
}

bool ParseEditOptions(const std::vector<std::string>& args, EditOptions* out, bool* help, std::string* error)
{
  std::vector<Option> options;
  AddUnitSettingOptions(&options, &out->settings);
  AddSaveOptions(&options, out);
  return ScanOptions(args, options, nullptr, "edit takes no operands, only options", help, error);
}

bool ParseInfoOptions(const std::vector<std::string>& args, InfoOptions* out, bool* help, std::string* error)
{
  return ScanOptions(args, {Flag("--json", nullptr, &out->json)}, nullptr, "info takes no file, only --json", help,
                     error);
}

bool ParseDemoOptions(const std::vector<std::string>& args, DemoOptions* out, bool* help, std::string* error)
{
  std::vector<std::string> operands;
  if (!ScanOptions(args, {}, &operands, nullptr, help, error)) return false;
  if (*help) return true;
  if (operands.size() > 1)
  {
    *error = "demo takes at most one folder";
    return false;
  }
  if (!operands.empty()) out->folder = operands[0];
  return true;
}

bool ParsePresetsOptions(const std::vector<std::string>& args, PresetsOptions* out, bool* help, std::string* error)
{
  std::vector<std::string> operands;
  if (!ScanOptions(args, {Text("--save-state", &out->saveStateFile)}, &operands, nullptr, help, error)) return false;
  if (*help) return true;
  if (operands.size() != 2 || (operands[0] != "export" && operands[0] != "import"))
  {
    *error = "presets needs 'export DIR' or 'import FILE.fxb --save-state OUT'";
    return false;
  }
  out->exporting = operands[0] == "export";
  out->path = operands[1];
  if (out->exporting && !out->saveStateFile.empty())
  {
    *error = "presets export takes no --save-state";
    return false;
  }
  if (!out->exporting && out->saveStateFile.empty())
  {
    *error = "presets import needs --save-state OUT";
    return false;
  }
  return true;
}
