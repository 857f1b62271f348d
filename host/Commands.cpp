#include "host/Commands.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "host/AudioFile.h"
#include "host/FrameLoops.h"
#include "host/HostPrograms.h"
#include "host/HostUnit.h"
#include "host/OutputFile.h"
#include "host/PresetFile.h"
#include "host/Progress.h"
#include "host/Snapshot.h"

namespace
{

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Owns one CF reference.
struct CFHolder
{
  CFTypeRef ref = nullptr;
  ~CFHolder() { CFRelease(ref); }
};

// Opens and configures a unit for `channels` at `sampleRate`, then applies
// state, bank, program, preset and parameter settings in that order. The
// host keeps the unit's programs in `programs` when given (and whenever a
// bank or program file is loaded). Returns an exit code.
int PrepareUnit(HostUnit& unit, double sampleRate, int channels, int blockFrames, const HostTransport& transport,
                const UnitSettings& settings, HostPrograms* programs = nullptr)
{
  std::string error;
  HostPrograms ownPrograms;
  if (!programs && (!settings.bankFile.empty() || !settings.programFile.empty())) programs = &ownPrograms;
  // The state, bank and program files are checked before the unit is
  // configured: a broken or foreign one is refused before anything is applied.
  CFHolder state;
  HostBank bank;
  HostProgram program;
  if (!unit.Open(&error))
  {
    ReportError(error);
    return kExitFailure;
  }
  if (!settings.stateFile.empty())
  {
    state.ref = ReadPresetFile(settings.stateFile, unit.Identity(), &error);
    if (!state.ref)
    {
      ReportError(error);
      return kExitFailure;
    }
  }
  if ((!settings.bankFile.empty() && !ReadBankFile(settings.bankFile, programs->Identity(unit), &bank, &error)) ||
      (!settings.programFile.empty() &&
       !ReadProgramFile(settings.programFile, programs->Identity(unit), &program, &error)))
  {
    ReportError(error);
    return kExitFailure;
  }
  if (!unit.Configure(sampleRate, channels, blockFrames, transport, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  if (programs && !programs->Read(unit, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  if (state.ref && !unit.ApplyClassInfo(static_cast<CFDictionaryRef>(state.ref), &error))
  {
    ReportError(settings.stateFile + ": " + error);
    return kExitFailure;
  }
  if (state.ref && programs) programs->FollowUnit(unit);
  if ((!settings.bankFile.empty() && !programs->LoadBank(unit, bank, &error)) ||
      (!settings.programFile.empty() && !programs->LoadProgram(unit, program, &error)))
  {
    ReportError((settings.programFile.empty() ? settings.bankFile : settings.programFile) + ": " + error);
    return kExitFailure;
  }
  if (!settings.preset.empty())
  {
    const HostUnit::PresetResult result = programs ? programs->Select(unit, settings.preset, &error)
                                                   : unit.ApplyPresetByName(settings.preset, &error);
    if (result != HostUnit::PresetResult::kApplied)
    {
      ReportError(error);
      return result == HostUnit::PresetResult::kUnknownName ? kExitUsage : kExitFailure;
    }
  }
  for (const ParameterSetting& setting : settings.values)
  {
    const int index = unit.FindParameter(setting.name);
    if (index < 0)
    {
      std::vector<std::string> names;
      for (const HostParameter& p : unit.Parameters()) names.push_back(p.name);
      ReportError("unknown parameter \"" + setting.name + "\"; the parameters are " + JoinNames(names));
      return kExitUsage;
    }
    const HostParameter& p = unit.Parameters()[static_cast<size_t>(index)];
    double value = setting.value;
    // A host keeps values inside the range the unit published.
    if (value < p.minValue || value > p.maxValue)
    {
      const double clamped = value < p.minValue ? p.minValue : p.maxValue;
      char text[160];
      snprintf(text, sizeof text, "%s=%g is outside %g..%g; using %g", p.name.c_str(), value,
               static_cast<double>(p.minValue), static_cast<double>(p.maxValue), clamped);
      ReportWarning(text);
      value = clamped;
    }
    if (!unit.SetParameter(p.id, static_cast<float>(value), &error))
    {
      ReportError(error);
      return kExitFailure;
    }
  }
  return kExitOk;
}

const char* UnitText(const HostParameter& p)
{
  switch (p.unit)
  {
  case kAudioUnitParameterUnit_Generic: return "generic";
  case kAudioUnitParameterUnit_Indexed: return "indexed";
  case kAudioUnitParameterUnit_Boolean: return "boolean";
  case kAudioUnitParameterUnit_Percent: return "percent";
  case kAudioUnitParameterUnit_Seconds: return "seconds";
  case kAudioUnitParameterUnit_Phase: return "phase";
  case kAudioUnitParameterUnit_Rate: return "rate";
  case kAudioUnitParameterUnit_Hertz: return "hertz";
  case kAudioUnitParameterUnit_Decibels: return "decibels";
  case kAudioUnitParameterUnit_LinearGain: return "linear gain";
  case kAudioUnitParameterUnit_Degrees: return "degrees";
  case kAudioUnitParameterUnit_Milliseconds: return "milliseconds";
  case kAudioUnitParameterUnit_CustomUnit: return p.unitName.empty() ? "custom" : p.unitName.c_str();
  default: return "other";
  }
}

std::string JsonString(const std::string& s)
{
  std::string out = "\"";
  for (unsigned char c : s)
  {
    if (c == '"' || c == '\\')
    {
      out += '\\';
      out += static_cast<char>(c);
    }
    else if (c < 0x20)
    {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    }
    else
    {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Shortest text that reads back as the same float (0.1, not 0.100000001).
std::string Number(float v)
{
  char text[32];
  for (int precision = 6; precision <= 9; ++precision)
  {
    snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(v));
    if (strtof(text, nullptr) == v) break;
  }
  return text;
}

std::string VersionText(long packed)
{
  char text[32];
  snprintf(text, sizeof text, "v%ld.%ld.%ld", (packed >> 16) & 0xFFFF, (packed >> 8) & 0xFF, packed & 0xFF);
  return text;
}

bool MakeFolder(const std::string& path, std::string* error)
{
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos)
  {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
    {
      *error = "cannot make folder " + partial + ": " + strerror(errno);
      return false;
    }
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
  {
    *error = "cannot make folder " + path + ": a file of that name is in the way";
    return false;
  }
  return true;
}

// The demo's test signal: an A major chord, slightly detuned between the
// channels, over a little white noise. A fixed linear congruential
// generator keeps it the same on every machine.
std::vector<float> DemoSignal(int sampleRate, double seconds)
{
  const double kPi = 3.14159265358979323846;
  const double chord[3] = {220.0, 277.1826, 329.6276};
  const size_t frames = static_cast<size_t>(sampleRate * seconds);
  std::vector<float> interleaved(frames * 2);
  uint32_t noise = 0x2545F491u;
  for (size_t i = 0; i < frames; ++i)
  {
    const double t = static_cast<double>(i) / sampleRate;
    for (int c = 0; c < 2; ++c)
    {
      double v = 0.0;
      for (double f : chord) v += 0.2 * std::sin(2.0 * kPi * f * (c ? 1.002 : 1.0) * t);
      noise = noise * 1664525u + 1013904223u;
      v += 0.01 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
      interleaved[2 * i + static_cast<size_t>(c)] = static_cast<float>(v);
    }
  }
  return interleaved;
}

volatile sig_atomic_t sStopEditing = 0;
void StopEditing(int) { sStopEditing = 1; }

// Writes the unit's state as an .aupreset file (complete or not at all).
// Where a command writes the unit's final settings; "" for none.
struct SaveTargets
{
  std::string state, program, bank;
  bool Any() const { return !state.empty() || !program.empty() || !bank.empty(); }
  bool NeedPrograms() const { return !program.empty() || !bank.empty(); }
};

// True when the host must keep the unit's programs: files are loaded or saved.
bool KeepsPrograms(const UnitSettings& settings, const SaveTargets& save)
{
  return !settings.bankFile.empty() || !settings.programFile.empty() || save.NeedPrograms();
}

// Writes the state, program and bank asked for (each complete or not at
// all). The state carries the current program's name when the host keeps
// programs. Returns an exit code.
int SaveSettings(HostUnit& unit, HostPrograms* programs, const SaveTargets& save)
{
  std::string error;
  if (!save.state.empty())
  {
    CFHolder state;
    state.ref = programs ? programs->CopyClassInfo(unit, &error) : unit.CopyClassInfo(&error);
    if (!state.ref || !WritePresetFile(save.state, static_cast<CFDictionaryRef>(state.ref), &error))
    {
      ReportError(error);
      return kExitFailure;
    }
  }
  if ((!save.program.empty() && !programs->SaveProgram(unit, save.program, &error)) ||
      (!save.bank.empty() && !programs->SaveBank(unit, save.bank, &error)))
  {
    ReportError(error);
    return kExitFailure;
  }
  return kExitOk;
}

// Frames of the file read or written per call by render.
constexpr size_t kStreamChunkFrames = 65536;

// Writing one of these files over another would destroy an input or one of
// the results; the comparison goes by file identity, not by spelling. Says
// which two clash and returns false; empty names take part in nothing.
bool DistinctFiles(const std::vector<std::pair<const char*, std::string>>& files)
{
  for (size_t i = 0; i < files.size(); ++i)
    for (size_t j = i + 1; j < files.size(); ++j)
      if (!files[i].second.empty() && !files[j].second.empty() && SameFile(files[i].second, files[j].second))
      {
        ReportError(std::string(files[i].first) + " and " + files[j].first + " name the same file (" +
                    files[j].second + "); give them different files");
        return false;
      }
  return true;
}

// The output frames worth reserving disk space for: the count the input
// states, when that is plausible for the input's size. A compressed file's
// header is not checked against its contents, and a hostile one would
// otherwise claim the disk for the length of the run; no real input
// decodes to more than eight times its size in 32-bit float.
int64_t FramesToReserve(const AudioFileReader& reader, const std::string& input)
{
  struct stat st;
  const int64_t frames = reader.Frames();
  if (frames <= 0 || stat(input.c_str(), &st) != 0) return 0;
  const int64_t frameBytes = static_cast<int64_t>(sizeof(float)) * reader.Channels();
  const int64_t limit = 8 * static_cast<int64_t>(st.st_size) + (1 << 20);
  return frames <= limit / frameBytes ? frames : 0;
}

} // namespace

void ReportError(const std::string& message)
{
  fprintf(stderr, "quillbar-tremolo: %s\n", message.c_str());
}

void ReportWarning(const std::string& message)
{
  fprintf(stderr, "quillbar-tremolo: warning: %s\n", message.c_str());
}

int RunRender(const RenderOptions& options)
{
  if (!DistinctFiles({{"IN", options.input},
                      {"OUT", options.output},
                      {"--save-state", options.saveStateFile},
                      {"--save-fxp", options.saveProgramFile},
                      {"--save-fxb", options.saveBankFile}}))
    return kExitUsage;

  std::string error;
  AudioFileReader reader;
  if (!reader.Open(options.input, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  const int channels = reader.Channels();
  if (channels != 1 && channels != 2)
  {
    ReportError("cannot process " + options.input + ": it has " + std::to_string(channels) +
                " channels; only mono and stereo files are supported");
    return kExitFailure;
  }
  const double rate = reader.SampleRate();

  HostUnit unit;
  HostTransport transport;
  transport.tempoBpm = options.tempoBpm;
  transport.startBeat = options.startBeat;
  transport.playing = !options.stopped;
  // Program names live in the host's list once files are involved.
  HostPrograms programs;
  const SaveTargets save{options.saveStateFile, options.saveProgramFile, options.saveBankFile};
  const bool keepPrograms = KeepsPrograms(options.settings, save);
  const int prepared = PrepareUnit(unit, rate, channels, options.blockFrames, transport, options.settings,
                                   keepPrograms ? &programs : nullptr);
  if (prepared != kExitOk) return prepared;

  AudioFileWriter writer;
  if (!writer.Open(options.output, channels, reader.SampleRate(), &error, FramesToReserve(reader, options.input)))
  {
    ReportError(error);
    return kExitFailure;
  }

  // The file is read and written in chunks of about 64 k frames (a whole
  // number of host blocks), while the plug-in renders block by block inside
  // each chunk: a few hundred large reads and writes instead of one pair per
  // block. Every buffer is made here, before the loop.
  const size_t block = static_cast<size_t>(options.blockFrames);
  size_t chunkFrames = block * std::max<size_t>(1, kStreamChunkFrames / block);
  // A short file needs no more than its own length (in whole blocks).
  if (reader.Frames() > 0 && static_cast<uint64_t>(reader.Frames()) < chunkFrames)
    chunkFrames = (static_cast<size_t>(reader.Frames()) + block - 1) / block * block;
  const size_t nch = static_cast<size_t>(channels);
  // Interleaved, input then output; not zeroed, as the reads fill it.
  std::unique_ptr<float[]> chunk(new float[chunkFrames * nch]);
  // The unit takes the chunk's frames as they are and renders into these.
  std::vector<float> planes(block * 2);
  float* outPlanes[2] = {planes.data(), planes.data() + block};

  Progress progress(reader.Frames(), rate, Progress::Wanted(reader.Frames(), rate, options.quiet));
  int64_t done = 0;
  for (;;)
  {
    // Fill the chunk: only the last one may be short, whatever the decoder
    // hands out per call, so only the last block may be short.
    int64_t got = 0;
    while (got < static_cast<int64_t>(chunkFrames))
    {
      const int64_t n =
        reader.Read(chunk.get() + got * channels, static_cast<int64_t>(chunkFrames) - got, &error);
      if (n < 0)
      {
        ReportError(error);
        return kExitFailure;
      }
      if (n == 0) break;
      got += n;
    }
    if (got == 0) break;
    float peaks[2] = {0.0f, 0.0f};
    for (size_t first = 0; first < static_cast<size_t>(got); first += block)
    {
      const size_t frames = std::min(block, static_cast<size_t>(got) - first);
      float* frame = chunk.get() + first * nch;
      const OSStatus st = unit.RenderInterleaved(frame, outPlanes, static_cast<UInt32>(frames));
      if (st != noErr)
      {
        ReportError("the plug-in failed to render " + options.input + " (status " + std::to_string(st) + ")");
        return kExitFailure;
      }
      InterleaveFrames(planes.data(), block, frames, frame, nch, peaks);
    }
    if (!writer.Write(chunk.get(), got, &error, peaks))
    {
      ReportError(error);
      return kExitFailure;
    }
    done += got;
    progress.Update(done);
  }
  progress.Finish();

  // libsndfile stops quietly where a cut-short file ends.
  const int64_t declared = reader.DeclaredFrames();
  if (declared > done)
  {
    const std::string what = options.input + " is cut short: its header declares " + std::to_string(declared) +
                             " frames but only " + std::to_string(done) + " are there";
    if (!options.allowShort)
    {
      ReportError(what + "; nothing was written (--allow-short renders what is there)");
      return kExitFailure;
    }
    ReportWarning(what + "; rendered those");
  }

  // The saved state, program and bank are written before the audio is put
  // in place: when one fails, the audio file does not appear.
  const int saved = SaveSettings(unit, keepPrograms ? &programs : nullptr, save);
  if (saved != kExitOk) return saved;
  if (!writer.Commit(&error))
  {
    ReportError(error);
    return kExitFailure;
  }
  return kExitOk;
}

int RunInfo(const InfoOptions& options)
{
  HostUnit unit;
  std::string error;
  if (!unit.Open(&error))
  {
    ReportError(error);
    return kExitFailure;
  }
  CFStringRef cfName = QuillCopyComponentName(reinterpret_cast<Component>(unit.Unit()));
  char name[256] = "";
  if (cfName) CFStringGetCString(cfName, name, sizeof name, kCFStringEncodingUTF8);
  CFRelease(cfName);
  const PresetIdentity id = unit.Identity();
  const long version = unit.Version();
  const std::vector<HostParameter>& params = unit.Parameters();
  const std::vector<HostPreset> presets = unit.FactoryPresets();
  const std::vector<AUChannelInfo> configs = unit.ChannelConfigurations();

  if (options.json)
  {
    std::string j = "{\n";
    j += "  \"name\": " + JsonString(name) + ",\n";
    j += "  \"version\": " + JsonString(VersionText(version)) + ",\n";
    j += "  \"versionCode\": " + std::to_string(version) + ",\n";
    j += "  \"type\": " + JsonString(FourCCText(id.type)) + ",\n";
    j += "  \"subtype\": " + JsonString(FourCCText(id.subtype)) + ",\n";
    j += "  \"manufacturer\": " + JsonString(FourCCText(id.manufacturer)) + ",\n";
    j += "  \"channels\": [";
    for (size_t i = 0; i < configs.size(); ++i)
      j += std::string(i ? ", " : "") + "{\"inputs\": " + std::to_string(configs[i].inChannels) +
           ", \"outputs\": " + std::to_string(configs[i].outChannels) + "}";
    j += "],\n  \"parameters\": [\n";
    for (size_t i = 0; i < params.size(); ++i)
    {
      const HostParameter& p = params[i];
      j += "    {\"index\": " + std::to_string(p.id) + ", \"name\": " + JsonString(p.name) +
           ", \"minimum\": " + Number(p.minValue) + ", \"maximum\": " + Number(p.maxValue) +
           ", \"default\": " + Number(p.defaultValue) + ", \"unit\": " + JsonString(UnitText(p)) + "}" +
           (i + 1 < params.size() ? ",\n" : "\n");
    }
    j += "  ],\n  \"presets\": [\n";
    for (size_t i = 0; i < presets.size(); ++i)
      j += "    {\"index\": " + std::to_string(presets[i].number) + ", \"name\": " + JsonString(presets[i].name) +
           "}" + (i + 1 < presets.size() ? ",\n" : "\n");
    j += "  ]\n}\n";
    fputs(j.c_str(), stdout);
    return kExitOk;
  }

  printf("%s %s\n", name, VersionText(version).c_str());
  printf("type '%s', subtype '%s', manufacturer '%s'\n", FourCCText(id.type).c_str(), FourCCText(id.subtype).c_str(),
         FourCCText(id.manufacturer).c_str());
  printf("channels (in-out):");
  for (const AUChannelInfo& c : configs) printf(" %d-%d", c.inChannels, c.outChannels);
  printf("\n\nparameters:\n  %-5s %-10s %9s %9s %9s  %s\n", "index", "name", "minimum", "maximum", "default", "unit");
  for (const HostParameter& p : params)
    printf("  %-5u %-10s %9g %9g %9g  %s\n", static_cast<unsigned>(p.id), p.name.c_str(),
           static_cast<double>(p.minValue), static_cast<double>(p.maxValue), static_cast<double>(p.defaultValue),
           UnitText(p));
  printf("\nfactory presets:\n");
  for (const HostPreset& p : presets) printf("  %d  %s\n", static_cast<int>(p.number), p.name.c_str());
  return kExitOk;
}

int RunSnapshot(const SnapshotOptions& options)
{
  HostUnit unit;
  const int prepared = PrepareUnit(unit, 44100.0, 2, 512, HostTransport{}, options.settings);
  if (prepared != kExitOk) return prepared;
  std::string error;
  if (!SnapshotEditor(unit, options.output, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  return kExitOk;
}

int RunPresets(const PresetsOptions& options)
{
  if (!options.exporting && !DistinctFiles({{"FILE.fxb", options.path}, {"--save-state", options.saveStateFile}}))
    return kExitUsage;
  HostUnit unit;
  HostPrograms programs;
  UnitSettings settings;
  if (!options.exporting) settings.bankFile = options.path;
  const int prepared = PrepareUnit(unit, 44100.0, 2, 512, HostTransport{}, settings, &programs);
  if (prepared != kExitOk) return prepared;

  std::string error;
  if (!options.exporting)
  {
    CFHolder state;
    state.ref = programs.CopyClassInfo(unit, &error);
    if (!state.ref || !WritePresetFile(options.saveStateFile, static_cast<CFDictionaryRef>(state.ref), &error))
    {
      ReportError(error);
      return kExitFailure;
    }
    return kExitOk;
  }

  std::string folder = options.path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  HostBank bank;
  if (!MakeFolder(folder, &error) || !programs.Bank(unit, false, &bank, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  const ProgramFileIdentity id = programs.Identity(unit);
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const HostProgram& program : bank.programs)
  {
    // a name is a file name here: no folder separators, no hidden or empty names
    std::string file = program.name;
    for (char& c : file)
      if (c == '/') c = '-';
    if (file.empty() || file[0] == '.') file = "program" + file;
    files.emplace_back(folder + "/" + file + ".fxp", ProgramFileBytes(id, program));
  }
  files.emplace_back(folder + "/QuillbarTremolo.fxb", BankFileBytes(id, bank));
  for (const auto& file : files)
  {
    if (!WriteFileAtomically(file.first, file.second.data(), file.second.size(), &error))
    {
      ReportError(error);
      return kExitFailure;
    }
    printf("  %-40s %10zu bytes\n", file.first.c_str(), file.second.size());
  }
  return kExitOk;
}

int RunDemo(const DemoOptions& options)
{
  std::string error;
  std::string folder = options.folder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!MakeFolder(folder, &error))
  {
    ReportError(error);
    return kExitFailure;
  }
  constexpr int kRate = 48000;
  const std::vector<float> signal = DemoSignal(kRate, 8.0);
  const std::string input = folder + "/input.wav";
  {
    AudioFileWriter writer;
    if (!writer.Open(input, 2, kRate, &error) ||
        !writer.Write(signal.data(), static_cast<int64_t>(signal.size() / 2), &error) || !writer.Commit(&error))
    {
      ReportError(error);
      return kExitFailure;
    }
  }
  std::vector<std::string> written = {input};

  std::vector<HostPreset> presets;
  {
    HostUnit unit;
    if (!unit.Open(&error))
    {
      ReportError(error);
      return kExitFailure;
    }
    presets = unit.FactoryPresets();
  }
  for (const HostPreset& preset : presets)
  {
    RenderOptions render;
    render.input = input;
    render.output = folder + "/" + preset.name + ".wav";
    render.settings.preset = preset.name;
    render.tempoBpm = 120.0;
    render.quiet = true;
    const int rc = RunRender(render);
    if (rc != kExitOk) return rc;
    written.push_back(render.output);
  }

  // Pictures of the editor: as it opens, then with each preset.
  std::vector<std::pair<std::string, std::string>> shots = {{"", folder + "/editor.png"}};
  for (const HostPreset& preset : presets) shots.emplace_back(preset.name, folder + "/" + preset.name + ".png");
  for (const auto& shot : shots)
  {
    UnitSettings settings;
    settings.preset = shot.first;
    HostUnit unit;
    const int prepared = PrepareUnit(unit, kRate, 2, 512, HostTransport{}, settings);
    if (prepared != kExitOk) return prepared;
    if (!SnapshotEditor(unit, shot.second, &error))
    {
      ReportError(error);
      return kExitFailure;
    }
    written.push_back(shot.second);
  }

  printf("demo: 8 s of a stereo chord at %d Hz through each factory preset at 120 BPM, and the editor\n", kRate);
  for (const std::string& path : written)
  {
    struct stat st;
    const long long bytes = stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    printf("  %-40s %10lld bytes\n", path.c_str(), bytes);
  }
  return kExitOk;
}

int RunEdit(const EditOptions& options)
{
  if (!DistinctFiles({{"--save-state", options.saveStateFile},
                      {"--save-fxp", options.saveProgramFile},
                      {"--save-fxb", options.saveBankFile}}))
    return kExitUsage;
  const char* const cannot = "cannot open the editor window: ";
  const char* display = std::getenv("DISPLAY");
  if (!display || !display[0])
  {
    ReportError(std::string(cannot) + "no X display (DISPLAY is not set)");
    return kExitFailure;
  }
  HostUnit unit;
  HostPrograms programs;
  const SaveTargets save{options.saveStateFile, options.saveProgramFile, options.saveBankFile};
  const bool keepPrograms = KeepsPrograms(options.settings, save);
  const int prepared =
    PrepareUnit(unit, 44100.0, 2, 512, HostTransport{}, options.settings, keepPrograms ? &programs : nullptr);
  if (prepared != kExitOk) return prepared;
  std::string error;
  NSView* view = OpenEditorView(unit, &error);
  if (!view)
  {
    ReportError(cannot + error);
    return kExitFailure;
  }
  // The view is driven through the platform, as the plug-in registered it.
  if (!QuillWindowViewShowTopLevel(view, "QuillbarTremolo"))
  {
    ReportError(std::string(cannot) + "the editor's view is not a window");
    return kExitFailure;
  }

  struct sigaction action = {};
  action.sa_handler = StopEditing;  // no SA_RESTART: poll() returns at once
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt, oldTerm;
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  sStopEditing = 0;
  while (!sStopEditing && QuillWindowViewIdle(view))
  {
    pollfd fd = {QuillWindowViewConnectionFd(view), POLLIN, 0};
    poll(&fd, 1, QuillWindowViewMillisecondsToNextFrame(view));
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  if (QuillWindowViewLostConnection(view))
    ReportWarning("the X display went away; the settings made so far are kept");
  QuillWindowViewClose(view);

  return SaveSettings(unit, keepPrograms ? &programs : nullptr, save);
}
