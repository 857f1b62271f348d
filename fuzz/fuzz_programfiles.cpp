// Program and bank files (.fxp / .fxb): the framework's loaders, on a
// plug-in that exchanges parameters and on one that exchanges chunks, and the
// command-line host's reader. The first input byte picks the reader.
// Oracles: a refused load changes nothing (values, presets, current preset);
// an accepted one, written out, reads back to a file that writes the same
// bytes again; what the host's reader accepts, written out, parses equal.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/IPlugBase.h"
#include "host/ProgramFile.h"

namespace
{

// Three parameters of the three kinds a file maps differently: a double, an
// integer with a step and a boolean; three presets. The double's range
// starts at 0 and spans a power of two, so a value written and read back is
// a fixed point and the oracle can ask for equal bytes.
class FilePlug : public IPlugBase
{
public:
  explicit FilePlug(bool chunks)
    : IPlugBase(3, "1-1", 3, "FuzzPlug", "Product", "maker", 0x10203, 0x46757a7a, 0x4D6B7231, 0, false, chunks,
                false, kAPIAU)
  {
    GetParam(0)->InitDouble("gain", 1.0, 0.0, 2.0, 0.01);
    GetParam(1)->InitInt("note", 3, 0, 6);
    GetParam(2)->InitBool("on", true);
    MakePreset("one", 1.0, 2, 0);
    MakePreset("two", 1.5, 5, 1);
    MakePreset("three", 0.5, 0, 1);
    RestorePreset(1);
  }
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int*, int*) override {}
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int, int) override {}
  bool SendMidiMsg(IMidiMsg*) override { return true; }

  // Everything a load may change.
  std::string Fingerprint()
  {
    ByteChunk c;
    SerializeState(&c);
    SerializePresets(&c);
    const int current = GetCurrentPresetIdx();
    c.Put(&current);
    return std::string(reinterpret_cast<const char*>(c.GetBytes()), static_cast<size_t>(c.Size()));
  }
};

void Check(bool ok)
{
  if (!ok) abort();
}

void FrameworkLoad(bool chunks, bool bank, const ByteChunk& input)
{
  FilePlug plug(chunks);
  const std::string before = plug.Fingerprint();
  auto load = [&](const ByteChunk& c) { return bank ? plug.LoadBankImage(c) : plug.LoadProgramImage(c); };
  auto make = [&](ByteChunk* c) { return bank ? plug.MakeBankImage(c) : plug.MakeProgramImage(c); };
  if (!load(input))
  {
    Check(plug.Fingerprint() == before);
    return;
  }
  ByteChunk once, twice;
  Check(make(&once));
  Check(load(once));
  Check(make(&twice));
  Check(once.IsEqual(twice));
}

void HostRead(bool bank, const uint8_t* data, size_t size)
{
  const ProgramFileIdentity id{0x46757a7a, 10203, 3, 3};
  std::string reason;
  if (bank)
  {
    HostBank in, out;
    in.current = 77;
    if (!ParseBankFile(data, size, id, &in, &reason))
    {
      Check(in.current == 77 && in.programs.empty() && !reason.empty());
      return;
    }
    const std::vector<uint8_t> bytes = BankFileBytes(id, in);
    Check(ParseBankFile(bytes.data(), bytes.size(), id, &out, &reason));
    Check(out.current == in.current && out.programs.size() == in.programs.size());
    for (size_t i = 0; i < in.programs.size(); ++i)
      Check(out.programs[i].name == in.programs[i].name && out.programs[i].values == in.programs[i].values);
    return;
  }
  HostProgram in{"untouched", {}}, out;
  if (!ParseProgramFile(data, size, id, &in, &reason))
  {
    Check(in.name == "untouched" && in.values.empty() && !reason.empty());
    return;
  }
  const std::vector<uint8_t> bytes = ProgramFileBytes(id, in);
  Check(ParseProgramFile(bytes.data(), bytes.size(), id, &out, &reason));
  Check(out.name == in.name && out.values == in.values);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1 || size > 65536) return 0;
  const uint8_t mode = data[0];
  ByteChunk input;
  input.PutBytes(data + 1, static_cast<int>(size - 1));
  const bool bank = mode & 1;
  switch ((mode >> 1) % 3)
  {
    case 0: FrameworkLoad(false, bank, input); break;
    case 1: FrameworkLoad(true, bank, input); break;
    default: HostRead(bank, data + 1, size - 1); break;
  }
  return 0;
}
