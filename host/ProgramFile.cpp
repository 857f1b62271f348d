#include "host/ProgramFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/FourCC.h"

namespace
{

constexpr size_t kProgramHeader = 56; // up to and including the name
constexpr size_t kBankHeader = 156;   // up to the first program record
constexpr size_t kNameField = 28;
constexpr long kMaxFileBytes = 16L << 20;

constexpr uint32_t Code(const char (&c)[5])
{
  return static_cast<uint32_t>(static_cast<uint8_t>(c[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 8 | static_cast<uint32_t>(static_cast<uint8_t>(c[3]));
}

uint32_t Word(const uint8_t* p)
{
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[3]);
}

int32_t SignedWord(const uint8_t* p)
{
  const uint32_t w = Word(p);
  int32_t v;
  memcpy(&v, &w, sizeof v);
  return v;
}

void PutWord(std::vector<uint8_t>* out, uint32_t v)
{
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// One program record at p (size bytes available), checked as a whole.
bool ParseRecord(const uint8_t* p, size_t size, const ProgramFileIdentity& id, HostProgram* out, std::string* reason,
                 const std::string& where)
{
  if (size < kProgramHeader)
  {
    *reason = where + " is " + std::to_string(size) + " bytes, shorter than the " + std::to_string(kProgramHeader) +
              "-byte program header";
    return false;
  }
  if (Word(p) != Code("CcnK"))
  {
    *reason = where + " does not start with 'CcnK'";
    return false;
  }
  const uint32_t fxMagic = Word(p + 8);
  if (fxMagic == Code("FPCh"))
  {
    *reason = where + " holds an opaque chunk ('FPCh'); this plug-in exchanges parameter values";
    return false;
  }
  if (fxMagic != Code("FxCk"))
  {
    *reason = where + " is not a program: its type is " + FourCCText(fxMagic, true) + ", not 'FxCk'";
    return false;
  }
  if (Word(p + 12) != 1)
  {
    *reason = where + " has program format version " + std::to_string(SignedWord(p + 12)) + ", not 1";
    return false;
  }
  if (Word(p + 16) != id.uniqueID)
  {
    *reason = where + " belongs to another plug-in (unique ID " + FourCCText(Word(p + 16), true) + ", not " +
              FourCCText(id.uniqueID, true) + ")";
    return false;
  }
  const int32_t count = SignedWord(p + 24);
  if (count != id.parameterCount)
  {
    *reason = where + " holds " + std::to_string(count) + " parameters; the plug-in has " +
              std::to_string(id.parameterCount);
    return false;
  }
  const char* name = reinterpret_cast<const char*>(p + 28);
  if (!memchr(name, 0, kNameField))
  {
    *reason = where + " has a name that does not end within its 28 bytes";
    return false;
  }
  const size_t need = kProgramHeader + 4 * static_cast<size_t>(count);
  if (size < need)
  {
    *reason = where + " is " + std::to_string(size) + " bytes, shorter than the " + std::to_string(need) +
              " bytes its parameters need";
    return false;
  }
  HostProgram program;
  program.name = name;
  for (int i = 0; i < count; ++i)
  {
    const uint32_t bits = Word(p + kProgramHeader + 4 * static_cast<size_t>(i));
    float v;
    memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v))
    {
      *reason = where + " holds value " + std::to_string(i) + ", which is not a finite number";
      return false;
    }
    program.values.push_back(Clamp01(v));
  }
  *out = program;
  return true;
}

void PutRecord(std::vector<uint8_t>* out, const ProgramFileIdentity& id, const HostProgram& program)
{
  PutWord(out, Code("CcnK"));
  PutWord(out, 0);
  PutWord(out, Code("FxCk"));
  PutWord(out, 1);
  PutWord(out, id.uniqueID);
  PutWord(out, static_cast<uint32_t>(id.versionDecimal));
  PutWord(out, static_cast<uint32_t>(id.parameterCount));
  char name[kNameField] = {};
  strncpy(name, program.name.c_str(), kNameField - 1);
  out->insert(out->end(), name, name + kNameField);
  for (int i = 0; i < id.parameterCount; ++i)
  {
    const size_t at = static_cast<size_t>(i);
    const float v = at < program.values.size() ? Clamp01(program.values[at]) : 0.0f;
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    PutWord(out, bits);
  }
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error)
{
  FILE* fp = fopen(path.c_str(), "rb");
  if (!fp)
  {
    *error = path + ": " + strerror(errno);
    return false;
  }
  bytes->clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
  {
    bytes->insert(bytes->end(), buf, buf + n);
    if (bytes->size() > static_cast<size_t>(kMaxFileBytes)) break;
  }
  const bool failed = ferror(fp) != 0;
  fclose(fp);
  if (failed)
  {
    *error = path + ": cannot be read";
    return false;
  }
  if (bytes->size() > static_cast<size_t>(kMaxFileBytes))
  {
    *error = path + ": larger than 16 MiB, too large for a program or bank file";
    return false;
  }
  return true;
}

} // namespace

bool ParseProgramFile(const uint8_t* data, size_t size, const ProgramFileIdentity& id, HostProgram* out,
                      std::string* reason)
{
  if (size >= 12 && Word(data) == Code("CcnK") && (Word(data + 8) == Code("FxBk") || Word(data + 8) == Code("FBCh")))
  {
    *reason = "this is a bank file; load it as a bank";
    return false;
  }
  return ParseRecord(data, size, id, out, reason, "the file");
}

bool ParseBankFile(const uint8_t* data, size_t size, const ProgramFileIdentity& id, HostBank* out,
                   std::string* reason)
{
  if (size >= 12 && Word(data) == Code("CcnK") && (Word(data + 8) == Code("FxCk") || Word(data + 8) == Code("FPCh")))
  {
    *reason = "this is a program file; load it as a program";
    return false;
  }
  if (size < kBankHeader)
  {
    *reason = "the file is " + std::to_string(size) + " bytes, shorter than the " + std::to_string(kBankHeader) +
              "-byte bank header";
    return false;
  }
  if (Word(data) != Code("CcnK"))
  {
    *reason = "the file does not start with 'CcnK'";
    return false;
  }
  const uint32_t fxMagic = Word(data + 8);
  if (fxMagic == Code("FBCh"))
  {
    *reason = "the bank holds an opaque chunk ('FBCh'); this plug-in exchanges parameter values";
    return false;
  }
  if (fxMagic != Code("FxBk"))
  {
    *reason = "the file is not a bank: its type is " + FourCCText(fxMagic, true) + ", not 'FxBk'";
    return false;
  }
  if (Word(data + 16) != id.uniqueID)
  {
    *reason = "the bank belongs to another plug-in (unique ID " + FourCCText(Word(data + 16), true) + ", not " +
              FourCCText(id.uniqueID, true) + ")";
    return false;
  }
  const int32_t count = SignedWord(data + 24);
  if (count < 0 || count > id.presetCount)
  {
    *reason = "the bank claims " + std::to_string(count) + " programs; the plug-in holds 0 to " +
              std::to_string(id.presetCount);
    return false;
  }
  HostBank bank;
  bank.current = SignedWord(data + 28);
  const size_t record = kProgramHeader + 4 * static_cast<size_t>(id.parameterCount);
  for (int32_t i = 0; i < count; ++i)
  {
    const size_t at = kBankHeader + static_cast<size_t>(i) * record;
    HostProgram program;
    if (!ParseRecord(data + (at < size ? at : size), at < size ? size - at : 0, id, &program, reason,
                     "program " + std::to_string(i)))
      return false;
    bank.programs.push_back(program);
  }
  *out = bank;
  return true;
}

std::vector<uint8_t> ProgramFileBytes(const ProgramFileIdentity& id, const HostProgram& program)
{
  std::vector<uint8_t> out;
  PutRecord(&out, id, program);
  return out;
}

std::vector<uint8_t> BankFileBytes(const ProgramFileIdentity& id, const HostBank& bank)
{
  std::vector<uint8_t> out;
  PutWord(&out, Code("CcnK"));
  PutWord(&out, 0);
  PutWord(&out, Code("FxBk"));
  PutWord(&out, 2);
  PutWord(&out, id.uniqueID);
  PutWord(&out, static_cast<uint32_t>(id.versionDecimal));
  PutWord(&out, static_cast<uint32_t>(bank.programs.size()));
  PutWord(&out, static_cast<uint32_t>(bank.current));
  out.resize(kBankHeader, 0);
  for (const HostProgram& program : bank.programs) PutRecord(&out, id, program);
  return out;
}

bool ReadProgramFile(const std::string& path, const ProgramFileIdentity& id, HostProgram* out, std::string* error)
{
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  std::string reason;
  if (ParseProgramFile(bytes.data(), bytes.size(), id, out, &reason)) return true;
  *error = path + ": " + reason;
  return false;
}

bool ReadBankFile(const std::string& path, const ProgramFileIdentity& id, HostBank* out, std::string* error)
{
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes, error)) return false;
  std::string reason;
  if (ParseBankFile(bytes.data(), bytes.size(), id, out, &reason)) return true;
  *error = path + ": " + reason;
  return false;
}
