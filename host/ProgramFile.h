// Program (.fxp) and bank (.fxb) files in the published layouts, as a host
// reads and writes them for a unit that exchanges parameter values: one
// big-endian float per parameter, normalized to 0..1 over the range the unit
// reports. Header integers are big-endian; names sit in 28-byte fields,
// NUL-terminated.
//
// Reading checks the whole file before it hands anything out, so a refused
// file leaves the caller's program or bank as it was. Files that carry an
// opaque chunk (the "FPCh"/"FBCh" variants) belong to plug-ins that exchange
// chunks and are refused with a message saying so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a file must match to belong to the unit.
struct ProgramFileIdentity
{
  uint32_t uniqueID = 0;  // four-character code, e.g. 'Trml'
  int versionDecimal = 0; // major * 10000 + minor * 100 + release, written only
  int parameterCount = 0;
  int presetCount = 0;    // a bank may hold at most this many programs
};

// One program: its name (at most 27 bytes are stored) and one normalized
// value per parameter, in parameter order.
struct HostProgram
{
  std::string name;
  std::vector<float> values;
};

struct HostBank
{
  std::vector<HostProgram> programs;
  int current = 0; // as stored; may lie outside the programs
};

// Parses a program file image. False with *reason set ("the file is 40
// bytes, shorter than the 56-byte header", ...) when it is refused: short,
// wrong magic or format version, another plug-in's unique ID, another
// parameter count, a name without a NUL, a value that is NaN or infinite.
// Values outside 0..1 are clamped.
bool ParseProgramFile(const uint8_t* data, size_t size, const ProgramFileIdentity& id, HostProgram* out,
                      std::string* reason);
// The same for a bank file; a program count below 0 or above presetCount is
// refused, as is any broken program record.
bool ParseBankFile(const uint8_t* data, size_t size, const ProgramFileIdentity& id, HostBank* out,
                   std::string* reason);

// The bytes of a program or bank file (values are clamped into 0..1; a
// program with fewer values than parameters is filled with 0).
std::vector<uint8_t> ProgramFileBytes(const ProgramFileIdentity& id, const HostProgram& program);
std::vector<uint8_t> BankFileBytes(const ProgramFileIdentity& id, const HostBank& bank);

// Reads and parses `path`. False with *error set to "<path>: <reason>".
bool ReadProgramFile(const std::string& path, const ProgramFileIdentity& id, HostProgram* out, std::string* error);
bool ReadBankFile(const std::string& path, const ProgramFileIdentity& id, HostBank* out, std::string* error);
