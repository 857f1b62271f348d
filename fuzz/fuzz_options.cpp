// The command-line option parsers. The input is the argument list, NUL
// separated; its first byte picks the command (render, snapshot, info, edit,
// presets, demo). Oracles: a refusal says why, an accepted render keeps every
// number inside the range its option allows, every --set value is finite, and
// a presets import has somewhere to write.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/Options.h"

namespace
{

void CheckSettings(const UnitSettings& s)
{
  for (const ParameterSetting& v : s.values)
    if (v.name.empty() || !std::isfinite(v.value)) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 4096) return 0;
  std::vector<std::string> args;
  std::string current;
  for (size_t i = 1; i < size; ++i)
  {
    if (data[i] == 0)
    {
      args.push_back(current);
      current.clear();
    }
    else
    {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) args.push_back(current);

  bool help = false;
  std::string error;
  bool ok = false;
  switch (data[0] % 6)
  {
  case 0:
  {
    RenderOptions o;
    ok = ParseRenderOptions(args, &o, &help, &error);
    if (ok && !help)
    {
      if (!(o.tempoBpm > 0.0 && o.tempoBpm <= 10000.0)) abort();
      if (!(o.startBeat >= 0.0 && o.startBeat <= 1e9)) abort();
      if (o.blockFrames < 1 || o.blockFrames > kMaxBlockFrames) abort();
      CheckSettings(o.settings);
    }
    break;
  }
  case 1:
  {
    SnapshotOptions o;
    ok = ParseSnapshotOptions(args, &o, &help, &error);
    if (ok && !help) CheckSettings(o.settings);
    break;
  }
  case 2:
  {
    InfoOptions o;
    ok = ParseInfoOptions(args, &o, &help, &error);
    break;
  }
  case 3:
  {
    EditOptions o;
    ok = ParseEditOptions(args, &o, &help, &error);
    if (ok && !help) CheckSettings(o.settings);
    break;
  }
  case 4:
  {
    PresetsOptions o;
    ok = ParsePresetsOptions(args, &o, &help, &error);
    // An import always has somewhere to write.
    if (ok && !help && !o.exporting && o.saveStateFile.empty()) abort();
    break;
  }
  default:
  {
    DemoOptions o;
    ok = ParseDemoOptions(args, &o, &help, &error);
    if (ok && !help && o.folder.empty() && args.empty()) abort();
    break;
  }
  }
  if (!ok && error.empty()) abort();
  return 0;
}
