// State and bank unserialization on the plug-in itself. The first input byte
// picks the reader. Oracle: what a reader accepts, written out again, reads
// back to the same bytes (and a refused read reports -1, nothing else).
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "tremolo/QuillbarTremolo.h"

namespace
{

struct Fixture
{
  std::unique_ptr<IPlugAU> plug{MakePlug()};
  ByteChunk pristineState, pristineBank;
  Fixture()
  {
    if (!plug) abort();
    plug->SerializeState(&pristineState);
    plug->SerializePresets(&pristineBank);
  }
  // Each input starts from the plug-in as it opened.
  void Restore()
  {
    if (plug->UnserializeState(&pristineState, 0) != pristineState.Size()) abort();
    if (plug->UnserializePresets(&pristineBank, 0) != pristineBank.Size()) abort();
  }
};

template <typename Write, typename Read>
void RoundTrip(const ByteChunk& input, Write write, Read read)
{
  ByteChunk in;
  in.PutBytes(input.GetBytes(), input.Size());
  const int end = read(&in);
  if (end < 0)
  {
    if (end != -1) abort();
    return;
  }
  if (end > in.Size()) abort();
  ByteChunk once, twice;
  write(&once);
  if (read(&once) != once.Size()) abort();
  write(&twice);
  if (!once.IsEqual(twice)) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static Fixture f;
  if (size < 1 || size > 65536) return 0;
  f.Restore();
  ByteChunk input;
  input.PutBytes(data + 1, static_cast<int>(size - 1));
  IPlugAU* plug = f.plug.get();
  if (data[0] & 1)
    RoundTrip(
        input, [&](ByteChunk* c) { plug->SerializePresets(c); },
        [&](ByteChunk* c) { return plug->UnserializePresets(c, 0); });
  else
    RoundTrip(
        input, [&](ByteChunk* c) { plug->SerializeState(c); },
        [&](ByteChunk* c) { return plug->UnserializeState(c, 0); });
  return 0;
}
