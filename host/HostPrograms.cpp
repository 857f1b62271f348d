#include "host/HostPrograms.h"

#include <cmath>
#include <cstring>

#include "host/OutputFile.h"

namespace
{

struct CFHolder
{
  CFTypeRef ref = nullptr;
  ~CFHolder()
  {
    if (ref) CFRelease(ref);
  }
};

void SetNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
  CFStringRef cfKey = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(dict, cfKey, number);
  CFRelease(number);
  CFRelease(cfKey);
}

void SetValue(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
  CFStringRef cfKey = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFDictionarySetValue(dict, cfKey, value);
  CFRelease(value);
  CFRelease(cfKey);
}

// A class-info state holding `name` and the plain values, as the unit
// itself writes one.
CFDictionaryRef MakeClassInfo(HostUnit& unit, const std::string& name, const std::vector<double>& plain)
{
  const PresetIdentity id = unit.Identity();
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                          &kCFTypeDictionaryValueCallBacks);
  SetNumber(dict, "version", static_cast<SInt32>(unit.Version()));
  SetNumber(dict, "type", static_cast<SInt32>(id.type));
  SetNumber(dict, "subtype", static_cast<SInt32>(id.subtype));
  SetNumber(dict, "manufacturer", static_cast<SInt32>(id.manufacturer));
  SetValue(dict, "name", CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8));
  SetValue(dict, "data",
           CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(plain.data()),
                        static_cast<CFIndex>(plain.size() * sizeof(double))));
  return dict;
}

// Plain value <-> 0..1 over the range the unit reports; the unit reports no
// curve, so the mapping is linear. Indexed and on/off parameters take whole
// values.
float Normalize(const HostParameter& p, double plain)
{
  const double lo = p.minValue, hi = p.maxValue;
  if (!(hi > lo)) return 0.0f;
  const double v = (plain - lo) / (hi - lo);
  return static_cast<float>(v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v));
}

double Denormalize(const HostParameter& p, float normalized)
{
  const double lo = p.minValue, hi = p.maxValue;
  double v = lo + static_cast<double>(normalized) * (hi - lo);
  if (p.unit == kAudioUnitParameterUnit_Indexed || p.unit == kAudioUnitParameterUnit_Boolean) v = std::floor(v + 0.5);
  return v < lo ? lo : (v > hi ? hi : v);
}

std::vector<float> NormalizeAll(HostUnit& unit, const std::vector<double>& plain)
{
  const std::vector<HostParameter>& params = unit.Parameters();
  std::vector<float> out;
  for (size_t i = 0; i < params.size() && i < plain.size(); ++i) out.push_back(Normalize(params[i], plain[i]));
  return out;
}

bool SelectPresetNumber(HostUnit& unit, SInt32 number)
{
  AUPreset preset{number, nullptr};
  return AudioUnitSetProperty(unit.Unit(), kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset,
                              sizeof preset) == noErr;
}

} // namespace

bool ReadUnitValues(HostUnit& unit, std::vector<double>* out, std::string* error)
{
  CFHolder state;
  state.ref = unit.CopyClassInfo(error);
  if (!state.ref) return false;
  CFStringRef key = CFStringCreateWithCString(kCFAllocatorDefault, "data", kCFStringEncodingUTF8);
  CFTypeRef data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.ref), key);
  CFRelease(key);
  const size_t n = unit.Parameters().size();
  if (!data || CFGetTypeID(data) != CFDataGetTypeID() ||
      static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(data))) != n * sizeof(double))
  {
    *error = "the plug-in's saved state does not hold one value per parameter";
    return false;
  }
  out->assign(n, 0.0);
  memcpy(out->data(), CFDataGetBytePtr(static_cast<CFDataRef>(data)), n * sizeof(double));
  return true;
}

int CurrentPresetNumber(HostUnit& unit)
{
  AUPreset preset{-1, nullptr};
  UInt32 size = sizeof preset;
  if (AudioUnitGetProperty(unit.Unit(), kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset,
                           &size) != noErr)
    return -1;
  if (preset.presetName) CFRelease(preset.presetName);
  return static_cast<int>(preset.presetNumber);
}

bool HostPrograms::Read(HostUnit& unit, std::string* error)
{
  CFHolder before;
  before.ref = unit.CopyClassInfo(error);
  if (!before.ref) return false;
  const int current = CurrentPresetNumber(unit);
  mPrograms.clear();
  for (const HostPreset& preset : unit.FactoryPresets())
  {
    Entry entry;
    entry.name = preset.name;
    if (!SelectPresetNumber(unit, preset.number) || !ReadUnitValues(unit, &entry.plain, error))
    {
      if (error->empty()) *error = "the plug-in refused preset \"" + preset.name + "\"";
      return false;
    }
    mPrograms.push_back(entry);
  }
  if (current >= 0) SelectPresetNumber(unit, current);
  if (!unit.ApplyClassInfo(static_cast<CFDictionaryRef>(before.ref), error)) return false;
  mCurrent = current >= 0 && current < static_cast<int>(mPrograms.size()) ? current : 0;
  if (mPrograms.empty())
  {
    *error = "the plug-in has no presets to keep programs in";
    return false;
  }
  return true;
}

ProgramFileIdentity HostPrograms::Identity(HostUnit& unit) const
{
  ProgramFileIdentity id;
  id.uniqueID = unit.Identity().subtype;
  const long v = unit.Version();
  id.versionDecimal = static_cast<int>(((v >> 16) & 0xFFFF) * 10000 + ((v >> 8) & 0xFF) * 100 + (v & 0xFF));
  id.parameterCount = static_cast<int>(unit.Parameters().size());
  id.presetCount = mPrograms.empty() ? static_cast<int>(unit.FactoryPresets().size())
                                     : static_cast<int>(mPrograms.size());
  return id;
}

void HostPrograms::FollowUnit(HostUnit& unit)
{
  const int current = CurrentPresetNumber(unit);
  if (current >= 0 && current < static_cast<int>(mPrograms.size())) mCurrent = current;
}

HostPrograms::Entry HostPrograms::FromFile(HostUnit& unit, const HostProgram& program) const
{
  const std::vector<HostParameter>& params = unit.Parameters();
  Entry entry;
  entry.name = program.name;
  for (size_t i = 0; i < params.size(); ++i)
    entry.plain.push_back(Denormalize(params[i], i < program.values.size() ? program.values[i] : 0.0f));
  return entry;
}

bool HostPrograms::Apply(HostUnit& unit, const Entry& entry, std::string* error)
{
  CFHolder state;
  state.ref = MakeClassInfo(unit, entry.name, entry.plain);
  return unit.ApplyClassInfo(static_cast<CFDictionaryRef>(state.ref), error);
}

bool HostPrograms::LoadProgram(HostUnit& unit, const HostProgram& program, std::string* error)
{
  Entry entry = FromFile(unit, program);
  if (entry.name.empty()) entry.name = mPrograms[static_cast<size_t>(mCurrent)].name;
  if (!Apply(unit, entry, error)) return false;
  mPrograms[static_cast<size_t>(mCurrent)] = entry;
  return true;
}

bool HostPrograms::LoadBank(HostUnit& unit, const HostBank& bank, std::string* error)
{
  std::vector<Entry> programs = mPrograms;
  for (size_t i = 0; i < bank.programs.size() && i < programs.size(); ++i)
    programs[i] = FromFile(unit, bank.programs[i]);
  const int current =
    bank.current >= 0 && bank.current < static_cast<int>(programs.size()) ? bank.current : mCurrent;
  if (!Apply(unit, programs[static_cast<size_t>(current)], error)) return false;
  mPrograms = programs;
  mCurrent = current;
  return true;
}

HostUnit::PresetResult HostPrograms::Select(HostUnit& unit, const std::string& name, std::string* error)
{
  for (size_t i = 0; i < mPrograms.size(); ++i)
  {
    if (mPrograms[i].name != name) continue;
    if (!Apply(unit, mPrograms[i], error)) return HostUnit::PresetResult::kRefused;
    mCurrent = static_cast<int>(i);
    return HostUnit::PresetResult::kApplied;
  }
  *error = "unknown preset \"" + name + "\"; the presets are " + JoinNames(Names());
  return HostUnit::PresetResult::kUnknownName;
}

bool HostPrograms::CurrentProgram(HostUnit& unit, HostProgram* out, std::string* error)
{
  std::vector<double> plain;
  if (!ReadUnitValues(unit, &plain, error)) return false;
  out->name = mPrograms[static_cast<size_t>(mCurrent)].name;
  out->values = NormalizeAll(unit, plain);
  return true;
}

bool HostPrograms::Bank(HostUnit& unit, bool withEdits, HostBank* out, std::string* error)
{
  HostBank bank;
  for (const Entry& entry : mPrograms) bank.programs.push_back(HostProgram{entry.name, NormalizeAll(unit, entry.plain)});
  bank.current = mCurrent;
  if (withEdits && !CurrentProgram(unit, &bank.programs[static_cast<size_t>(mCurrent)], error)) return false;
  *out = bank;
  return true;
}

CFDictionaryRef HostPrograms::CopyClassInfo(HostUnit& unit, std::string* error)
{
  std::vector<double> plain;
  if (!ReadUnitValues(unit, &plain, error)) return nullptr;
  return MakeClassInfo(unit, mPrograms[static_cast<size_t>(mCurrent)].name, plain);
}

bool HostPrograms::SaveProgram(HostUnit& unit, const std::string& path, std::string* error)
{
  HostProgram program;
  if (!CurrentProgram(unit, &program, error)) return false;
  const std::vector<uint8_t> bytes = ProgramFileBytes(Identity(unit), program);
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

bool HostPrograms::SaveBank(HostUnit& unit, const std::string& path, std::string* error)
{
  HostBank bank;
  if (!Bank(unit, true, &bank, error)) return false;
  const std::vector<uint8_t> bytes = BankFileBytes(Identity(unit), bank);
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

std::vector<std::string> HostPrograms::Names() const
{
  std::vector<std::string> names;
  for (const Entry& entry : mPrograms) names.push_back(entry.name);
  return names;
}
