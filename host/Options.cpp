#include "host/Options.h"

#include <cmath>
#include <cstdlib>

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

bool NumberOption(ArgCursor& cur, double* value, std::string* error)
{
  std::string text;
  if (!cur.Value(&text, error)) return false;
  if (!ParseNumber(text, value))
  {
    *error = "option " + cur.Current() + " needs a number, not \"" + text + "\"";
    return false;
  }
  return true;
}

// Options shared by render and snapshot. Returns 1 when handled, 0 when the
// option is not one of them, -1 on error.
int UnitSettingOption(ArgCursor& cur, UnitSettings* settings, std::string* error)
{
  const std::string& name = cur.Current();
  if (name == "--preset") return cur.Value(&settings->preset, error) ? 1 : -1;
  if (name == "--state") return cur.Value(&settings->stateFile, error) ? 1 : -1;
  if (name == "--fxp") return cur.Value(&settings->programFile, error) ? 1 : -1;
  if (name == "--fxb") return cur.Value(&settings->bankFile, error) ? 1 : -1;
  if (name == "--set")
  {
    std::string text;
    if (!cur.Value(&text, error)) return -1;
    const size_t eq = text.find('=');
    ParameterSetting setting;
    if (eq == std::string::npos || eq == 0)
    {
      *error = "--set needs NAME=VALUE, not \"" + text + "\"";
      return -1;
    }
    setting.name = text.substr(0, eq);
    if (!ParseNumber(text.substr(eq + 1), &setting.value))
    {
      *error = "--set " + setting.name + " needs a number, not \"" + text.substr(eq + 1) + "\"";
      return -1;
    }
    settings->values.push_back(setting);
    return 1;
  }
  return 0;
}

bool Unknown(const ArgCursor& cur, std::string* error)
{
  *error = "unknown option " + cur.Current();
  return false;
}

bool NoValueExpected(const ArgCursor& cur, std::string* error)
{
  if (!cur.HasInlineValue()) return true;
  *error = "option " + cur.Current() + " takes no value";
  return false;
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
  *help = false;
  std::vector<std::string> operands;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      operands.push_back(cur.Current());
      continue;
    }
    const std::string& name = cur.Current();
    const int shared = UnitSettingOption(cur, &out->settings, error);
    if (shared < 0) return false;
    if (shared > 0) continue;
    if (name == "--help" || name == "-h")
    {
      *help = true;
      return true;
    }
    if (name == "--save-state")
    {
      if (!cur.Value(&out->saveStateFile, error)) return false;
    }
    else if (name == "--save-fxp")
    {
      if (!cur.Value(&out->saveProgramFile, error)) return false;
    }
    else if (name == "--save-fxb")
    {
      if (!cur.Value(&out->saveBankFile, error)) return false;
    }
    else if (name == "--tempo")
    {
      if (!NumberOption(cur, &out->tempoBpm, error)) return false;
      if (!(out->tempoBpm > 0.0) || out->tempoBpm > 10000.0)
      {
        *error = "--tempo must be above 0 and at most 10000 BPM";
        return false;
      }
    }
    else if (name == "--start-beat")
    {
      if (!NumberOption(cur, &out->startBeat, error)) return false;
      if (out->startBeat < 0.0 || out->startBeat > 1e9)
      {
        *error = "--start-beat must be between 0 and 1e9";
        return false;
      }
    }
    else if (name == "--block")
    {
      double frames = 0.0;
      if (!NumberOption(cur, &frames, error)) return false;
      if (frames < 1.0 || frames > kMaxBlockFrames || frames != std::floor(frames))
      {
        *error = "--block must be a whole number of frames from 1 to " + std::to_string(kMaxBlockFrames);
        return false;
      }
      out->blockFrames = static_cast<int>(frames);
    }
    else if (name == "--stopped")
    {
      if (!NoValueExpected(cur, error)) return false;
      out->stopped = true;
    }
    else if (name == "--allow-short")
    {
      if (!NoValueExpected(cur, error)) return false;
      out->allowShort = true;
    }
    else if (name == "--quiet" || name == "-q")
    {
      if (!NoValueExpected(cur, error)) return false;
      out->quiet = true;
    }
    else
    {
      return Unknown(cur, error);
    }
  }
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
  *help = false;
  std::vector<std::string> operands;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      operands.push_back(cur.Current());
      continue;
    }
    const int shared = UnitSettingOption(cur, &out->settings, error);
    if (shared < 0) return false;
    if (shared > 0) continue;
    if (cur.Current() == "--help" || cur.Current() == "-h")
    {
      *help = true;
      return true;
    }
    return Unknown(cur, error);
  }
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
  *help = false;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      *error = "edit takes no operands, only options";
      return false;
    }
    const int shared = UnitSettingOption(cur, &out->settings, error);
    if (shared < 0) return false;
    if (shared > 0) continue;
    if (cur.Current() == "--save-state" || cur.Current() == "--save-fxp" || cur.Current() == "--save-fxb")
    {
      std::string* target = cur.Current() == "--save-state" ? &out->saveStateFile
                            : cur.Current() == "--save-fxp" ? &out->saveProgramFile
                                                            : &out->saveBankFile;
      if (!cur.Value(target, error)) return false;
      continue;
    }
    if (cur.Current() == "--help" || cur.Current() == "-h")
    {
      *help = true;
      return true;
    }
    return Unknown(cur, error);
  }
  return true;
}

bool ParseInfoOptions(const std::vector<std::string>& args, InfoOptions* out, bool* help, std::string* error)
{
  *help = false;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      *error = "info takes no file, only --json";
      return false;
    }
    if (cur.Current() == "--help" || cur.Current() == "-h")
    {
      *help = true;
      return true;
    }
    if (cur.Current() != "--json") return Unknown(cur, error);
    if (!NoValueExpected(cur, error)) return false;
    out->json = true;
  }
  return true;
}

bool ParseDemoOptions(const std::vector<std::string>& args, DemoOptions* out, bool* help, std::string* error)
{
  *help = false;
  std::vector<std::string> operands;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      operands.push_back(cur.Current());
      continue;
    }
    if (cur.Current() == "--help" || cur.Current() == "-h")
    {
      *help = true;
      return true;
    }
    return Unknown(cur, error);
  }
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
  *help = false;
  std::vector<std::string> operands;
  ArgCursor cur(args);
  while (cur.Next())
  {
    if (cur.IsOperand())
    {
      operands.push_back(cur.Current());
      continue;
    }
    if (cur.Current() == "--help" || cur.Current() == "-h")
    {
      *help = true;
      return true;
    }
    if (cur.Current() != "--save-state") return Unknown(cur, error);
    if (!cur.Value(&out->saveStateFile, error)) return false;
  }
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
