// Program (FXP) and bank (FXB) files of the plug-in base.
//
// Layouts, all header integers big-endian:
//   program: "CcnK", byte size, "FxCk" | "FPCh", format version 1, unique ID,
//            plug-in version (decimal), parameter count, 28-byte name (offset
//            28), then one big-endian float per parameter at 56, or the chunk
//            length at 56 and the chunk at 60.
//   bank:    "CcnK", byte size, "FxBk" | "FBCh", format version 2, unique ID,
//            plug-in version, program count, current program (offset 28), 124
//            zero bytes, then the program records at 156, or the chunk length
//            at 156 and the chunk at 160.
// The chunk itself is not byte-swapped: the framework version header, then
// the state (programs) or the preset bank (banks).
//
// Loads check the whole image before the first change, so a refused file
// changes nothing: names must end within their 28 bytes, floats must be
// finite, and every length must stay inside the image.
#include "framework/IPlugBase.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

constexpr int kFxpHeaderSize = 56;   // up to and including the name
constexpr int kFxbHeaderSize = 156;  // up to the first record or chunk length
constexpr int kNameFieldSize = 28;
constexpr int kNameOffset = 28;
constexpr int kMaxFileBytes = 64 << 20; // larger files are refused, not read

constexpr uint32_t FourCC(const char (&c)[5])
{
  return (uint32_t)(uint8_t)c[0] << 24 | (uint32_t)(uint8_t)c[1] << 16 | (uint32_t)(uint8_t)c[2] << 8 |
         (uint32_t)(uint8_t)c[3];
}

constexpr uint32_t kChunkMagic = FourCC("CcnK");
constexpr uint32_t kProgramMagic = FourCC("FxCk");
constexpr uint32_t kProgramChunkMagic = FourCC("FPCh");
constexpr uint32_t kBankMagic = FourCC("FxBk");
constexpr uint32_t kBankChunkMagic = FourCC("FBCh");

bool PutBE32(ByteChunk* pChunk, uint32_t v)
{
  const uint8_t b[4] = {(uint8_t)(v >> 24), (uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v};
  const int before = pChunk->Size();
  return pChunk->PutBytes(b, 4) == before + 4;
}

bool PutBEFloat(ByteChunk* pChunk, double v)
{
  const float f = (float)v;
  uint32_t bits;
  memcpy(&bits, &f, 4);
  return PutBE32(pChunk, bits);
}

// The big-endian word at pos; false when it does not fit.
bool GetBE32(const ByteChunk& chunk, int pos, uint32_t* pV)
{
  uint8_t b[4];
  if (chunk.GetBytes(b, 4, pos) < 0) return false;
  *pV = (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | (uint32_t)b[3];
  return true;
}

int32_t AsInt(uint32_t v)
{
  int32_t i;
  memcpy(&i, &v, 4);
  return i;
}

float AsFloat(uint32_t v)
{
  float f;
  memcpy(&f, &v, 4);
  return f;
}

// The 28-byte name field: cut to 27 characters, NUL-padded.
bool PutName(ByteChunk* pChunk, const char* name)
{
  char field[kNameFieldSize] = {};
  strncpy(field, name, kNameFieldSize - 1);
  const int before = pChunk->Size();
  return pChunk->PutBytes(field, kNameFieldSize) == before + kNameFieldSize;
}

// The name field at pos, which must end within its 28 bytes.
bool GetName(const ByteChunk& chunk, int pos, char (&name)[kNameFieldSize])
{
  if (chunk.GetBytes(name, kNameFieldSize, pos) < 0) return false;
  return memchr(name, 0, kNameFieldSize) != nullptr;
}

// A program record's fixed part, as read and checked.
struct ProgramHeader
{
  uint32_t fxMagic = 0;
  char name[kNameFieldSize] = {};
};

// Reads the program header at pos and checks magic, format version, unique
// ID, parameter count and name. The program magic is returned, not checked.
bool ReadProgramHeader(const ByteChunk& image, int pos, int uniqueID, int nParams, ProgramHeader* pHeader)
{
  uint32_t magic, version, id, count;
  if (!GetBE32(image, pos, &magic) || !GetBE32(image, pos + 8, &pHeader->fxMagic) ||
      !GetBE32(image, pos + 12, &version) || !GetBE32(image, pos + 16, &id) || !GetBE32(image, pos + 24, &count))
    return false;
  if (magic != kChunkMagic || version != 1 || AsInt(id) != uniqueID || AsInt(count) != nParams) return false;
  return GetName(image, pos + kNameOffset, pHeader->name);
}

// True when nParams finite floats start at pos.
bool ValuesReadable(const ByteChunk& image, int pos, int nParams)
{
  for (int i = 0; i < nParams; ++i)
  {
    uint32_t bits;
    if (!GetBE32(image, pos + 4 * i, &bits) || !std::isfinite(AsFloat(bits))) return false;
  }
  return true;
}

// The float at pos (already checked) as a normalized value; a file written
// by another program may stray a little outside 0..1.
double NormalizedAt(const ByteChunk& image, int pos)
{
  uint32_t bits = 0;
  GetBE32(image, pos, &bits);
  const double v = AsFloat(bits);
  return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

// The chunk whose length is at lengthPos, copied out of the image; false
// when the length is negative or points past the end.
bool GetEmbeddedChunk(const ByteChunk& image, int lengthPos, ByteChunk* pOut)
{
  uint32_t length;
  if (!GetBE32(image, lengthPos, &length)) return false;
  const int start = lengthPos + 4;
  if (AsInt(length) < 0 || AsInt(length) > image.Size() - start) return false;
  pOut->Clear();
  const int n = AsInt(length);
  return pOut->PutBytes(image.GetBytes() + start, n) == n;
}

// Where the state starts inside an embedded chunk: after the version header
// when it is there.
int SkipVersionHeader(ByteChunk* pChunk)
{
  int pos = 0;
  IPlugBase::GetIPlugVerFromChunk(pChunk, &pos);
  return pos;
}

bool ReadWholeFile(const WDL_String& file, ByteChunk* pImage)
{
  if (!file.GetLength()) return false;
  FILE* fp = fopen(file.Get(), "rb");
  if (!fp) return false;
  bool ok = fseek(fp, 0, SEEK_END) == 0;
  const long size = ok ? ftell(fp) : -1;
  ok = ok && size >= 0 && size <= kMaxFileBytes && fseek(fp, 0, SEEK_SET) == 0;
  if (ok)
  {
    pImage->Clear();
    ok = pImage->Resize((int)size) == (int)size && fread(pImage->GetBytes(), 1, (size_t)size, fp) == (size_t)size;
  }
  fclose(fp);
  return ok;
}

bool WriteWholeFile(const WDL_String& file, const ByteChunk& image)
{
  if (!file.GetLength()) return false;
  FILE* fp = fopen(file.Get(), "wb");
  if (!fp) return false;
  const size_t n = (size_t)image.Size();
  const bool written = fwrite(image.GetBytes(), 1, n, fp) == n;
  return fclose(fp) == 0 && written;
}

} // namespace

bool IPlugBase::MakeProgramImage(ByteChunk* pChunk)
{
  if (!pChunk) return false;
  IMutexLock lock(this);
  const int n = NParams();
  const bool chunks = DoesStateChunks();
  ByteChunk state;
  if (chunks)
  {
    InitChunkWithIPlugVer(&state);
    if (!SerializeState(&state)) return false;
  }
  pChunk->Clear();
  bool ok = PutBE32(pChunk, kChunkMagic) && PutBE32(pChunk, chunks ? (uint32_t)state.Size() + 60 : 0) &&
            PutBE32(pChunk, chunks ? kProgramChunkMagic : kProgramMagic) && PutBE32(pChunk, 1) &&
            PutBE32(pChunk, (uint32_t)GetUniqueID()) && PutBE32(pChunk, (uint32_t)GetEffectVersion(true)) &&
            PutBE32(pChunk, (uint32_t)n) && PutName(pChunk, GetPresetName(mCurrentPresetIdx));
  if (chunks)
    return ok && PutBE32(pChunk, (uint32_t)state.Size()) && pChunk->PutChunk(&state) == kFxpHeaderSize + 4 + state.Size();
  for (int i = 0; ok && i < n; ++i) ok = PutBEFloat(pChunk, GetParam(i)->GetNormalized());
  return ok;
}

bool IPlugBase::MakeBankImage(ByteChunk* pChunk)
{
  if (!pChunk) return false;
  IMutexLock lock(this);
  const int n = NParams(), nPresets = NPresets();
  const bool chunks = DoesStateChunks();
  ByteChunk bank;
  if (chunks)
  {
    InitChunkWithIPlugVer(&bank);
    if (!SerializePresets(&bank)) return false;
  }
  pChunk->Clear();
  bool ok = PutBE32(pChunk, kChunkMagic) && PutBE32(pChunk, chunks ? (uint32_t)bank.Size() + 160 : 0) &&
            PutBE32(pChunk, chunks ? kBankChunkMagic : kBankMagic) && PutBE32(pChunk, 2) &&
            PutBE32(pChunk, (uint32_t)GetUniqueID()) && PutBE32(pChunk, (uint32_t)GetEffectVersion(true)) &&
            PutBE32(pChunk, (uint32_t)nPresets) && PutBE32(pChunk, (uint32_t)mCurrentPresetIdx);
  for (int i = 0; ok && i < 124 / 4; ++i) ok = PutBE32(pChunk, 0);
  if (chunks)
    return ok && PutBE32(pChunk, (uint32_t)bank.Size()) && pChunk->PutChunk(&bank) == kFxbHeaderSize + 4 + bank.Size();

  for (int p = 0; ok && p < nPresets; ++p)
  {
    const IPreset* pPreset = mPresets.Get(p);
    ok = PutBE32(pChunk, kChunkMagic) && PutBE32(pChunk, 0) && PutBE32(pChunk, kProgramMagic) && PutBE32(pChunk, 1) &&
         PutBE32(pChunk, (uint32_t)GetUniqueID()) && PutBE32(pChunk, (uint32_t)GetEffectVersion(true)) &&
         PutBE32(pChunk, (uint32_t)n) && PutName(pChunk, pPreset->mName);
    for (int i = 0; ok && i < n; ++i)
    {
      double v = 0.0;
      pPreset->mChunk.Get(&v, 8 * i);
      ok = PutBEFloat(pChunk, GetParam(i)->GetNormalized(v));
    }
  }
  return ok;
}

bool IPlugBase::LoadProgramImage(const ByteChunk& image)
{
  IMutexLock lock(this);
  const int n = NParams();
  ProgramHeader header;
  if (!ReadProgramHeader(image, 0, GetUniqueID(), n, &header)) return false;

  if (DoesStateChunks() && header.fxMagic == kProgramChunkMagic)
  {
    ByteChunk chunk, before;
    if (!GetEmbeddedChunk(image, kFxpHeaderSize, &chunk) || !SerializeState(&before)) return false;
    const int pos = SkipVersionHeader(&chunk);
    // a state that stops short would be half applied: put the old one back
    if (pos < 0 || UnserializeState(&chunk, pos) < 0)
    {
      UnserializeState(&before, 0);
      return false;
    }
  }
  else if (header.fxMagic == kProgramMagic)
  {
    if (!ValuesReadable(image, kFxpHeaderSize, n)) return false;
    for (int i = 0; i < n; ++i) GetParam(i)->SetNormalized(NormalizedAt(image, kFxpHeaderSize + 4 * i));
  }
  else
  {
    return false;
  }

  ModifyCurrentPreset(header.name);
  RestorePreset(mCurrentPresetIdx);
  InformHostOfProgramChange();
  return true;
}

bool IPlugBase::LoadBankImage(const ByteChunk& image)
{
  IMutexLock lock(this);
  uint32_t magic, bankMagic, id, count, current;
  if (!GetBE32(image, 0, &magic) || !GetBE32(image, 8, &bankMagic) || !GetBE32(image, 16, &id) ||
      !GetBE32(image, 24, &count) || !GetBE32(image, 28, &current) || image.Size() < kFxbHeaderSize)
    return false;
  if (magic != kChunkMagic || AsInt(id) != GetUniqueID()) return false;

  if (DoesStateChunks() && bankMagic == kBankChunkMagic)
  {
    ByteChunk chunk;
    if (!GetEmbeddedChunk(image, kFxbHeaderSize, &chunk)) return false;
    const int pos = SkipVersionHeader(&chunk);
    if (pos < 0) return false;

    // A bank cut short would leave the presets half replaced: keep copies
    // of every slot and of the state to put back.
    struct Slot
    {
      bool initialized;
      std::string name;
      ByteChunk chunk;
    };
    std::vector<Slot> slots((size_t)NPresets());
    for (int i = 0; i < NPresets(); ++i)
    {
      const IPreset* p = mPresets.Get(i);
      slots[(size_t)i].initialized = p->mInitialized;
      slots[(size_t)i].name = p->mName;
      slots[(size_t)i].chunk.PutChunk(&p->mChunk);
    }
    ByteChunk state;
    const int currentBefore = mCurrentPresetIdx;
    if (!SerializeState(&state)) return false;

    if (UnserializePresets(&chunk, pos) < 0)
    {
      for (int i = 0; i < NPresets(); ++i)
      {
        IPreset* p = mPresets.Get(i);
        p->mInitialized = slots[(size_t)i].initialized;
        CopyTextToField(p->mName, sizeof(p->mName), slots[(size_t)i].name.c_str());
        p->mChunk.Clear();
        p->mChunk.PutChunk(&slots[(size_t)i].chunk);
      }
      mCurrentPresetIdx = currentBefore;
      UnserializeState(&state, 0);
      return false;
    }
    InformHostOfProgramChange();
    return true;
  }
  if (bankMagic != kBankMagic) return false;

  // Every record is checked before the first one is applied.
  const int n = NParams(), nPrograms = AsInt(count);
  if (nPrograms < 0 || nPrograms > NPresets()) return false;
  const int recordSize = kFxpHeaderSize + 4 * n;
  if ((long long)nPrograms * recordSize > (long long)image.Size() - kFxbHeaderSize) return false;
  std::vector<ProgramHeader> headers((size_t)nPrograms);
  const int currentBefore = mCurrentPresetIdx;
  for (int p = 0; p < nPrograms; ++p)
  {
    const int pos = kFxbHeaderSize + p * recordSize;
    if (!ReadProgramHeader(image, pos, GetUniqueID(), n, &headers[(size_t)p]) ||
        headers[(size_t)p].fxMagic != kProgramMagic || !ValuesReadable(image, pos + kFxpHeaderSize, n))
      return false;
  }

  for (int p = 0; p < nPrograms; ++p)
  {
    const int pos = kFxbHeaderSize + p * recordSize + kFxpHeaderSize;
    RestorePreset(p);
    mCurrentPresetIdx = p;
    for (int i = 0; i < n; ++i) GetParam(i)->SetNormalized(NormalizedAt(image, pos + 4 * i));
    ModifyCurrentPreset();
    // the stored name is taken as it is, an empty one included, so a bank
    // reads back the same as it was written
    IPreset* pPreset = mPresets.Get(p);
    CopyTextToField(pPreset->mName, sizeof(pPreset->mName), headers[(size_t)p].name);
  }
  const int fileCurrent = AsInt(current);
  RestorePreset(fileCurrent >= 0 && fileCurrent < NPresets() ? fileCurrent : currentBefore);
  InformHostOfProgramChange();
  return true;
}

bool IPlugBase::SaveProgramAsFXP(const WDL_String& file)
{
  ByteChunk image;
  return file.GetLength() && MakeProgramImage(&image) && WriteWholeFile(file, image);
}

bool IPlugBase::SaveBankAsFXB(const WDL_String& file)
{
  ByteChunk image;
  return file.GetLength() && MakeBankImage(&image) && WriteWholeFile(file, image);
}

bool IPlugBase::LoadProgramFromFXP(const WDL_String& file)
{
  ByteChunk image;
  return ReadWholeFile(file, &image) && LoadProgramImage(image);
}

bool IPlugBase::LoadBankFromFXB(const WDL_String& file)
{
  ByteChunk image;
  return ReadWholeFile(file, &image) && LoadBankImage(image);
}
