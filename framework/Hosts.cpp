#include "framework/Hosts.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "framework/IPlugStructs.h"

namespace
{
struct HostMatch
{
  const char* text;
  EHost host;
};

// Tested in this order; the first substring found wins. "live" is short and
// common inside bundle identifiers, so it comes after the more specific
// names listed before it.
const HostMatch kHostMatches[] = {
  {"cubase", kHostCubase},
  {"reaper", kHostReaper},
  {"nuendo", kHostNuendo},
  {"cakewalk", kHostSonar},
  {"samplitude", kHostSamplitude},
  {"fruity", kHostFL},
  {"live", kHostAbletonLive},
  {"melodyne", kHostMelodyneStudio},
  {"vstmanlib", kHostVSTScanner},
  {"aulab", kHostAULab},
  {"garageband", kHostGarageBand},
  {"forte", kHostForte},
  {"chainer", kHostChainer},
  {"audition", kHostAudition},
  {"orion", kHostOrion},
  {"sawstudio", kHostSAWStudio},
  {"logic", kHostLogic},
  {"digital", kHostDigitalPerformer},
  {"audiomulch", kHostAudioMulch},
  {"presonus", kHostStudioOne},
  {"vst3plugintesthost", kHostVST3TestHost},
  {"protools", kHostProTools},
  {"ardour", kHostArdour},
  {"standalone", kHostStandalone},
};

// Only this many characters of a host name take part in the lookup.
constexpr int kHostNameExamined = 263;
} // namespace

EHost LookUpHost(const char* name)
{
  char lower[kHostNameExamined + 1];
  ToLower(lower, name, sizeof(lower));
  for (const HostMatch& m : kHostMatches)
    if (strstr(lower, m.text)) return m.host;
  return kHostUnknown;
}

void GetHostNameStr(EHost host, char* out, int outSize)
{
  const char* name = "Unknown";
  switch (host)
  {
    case kHostReaper: name = "Reaper"; break;
    case kHostProTools: name = "ProTools"; break;
    case kHostCubase: name = "Cubase"; break;
    case kHostNuendo: name = "Nuendo"; break;
    case kHostSonar: name = "Sonar"; break;
    case kHostVegas: name = "Vegas"; break;
    case kHostFL: name = "FLStudio"; break;
    case kHostSamplitude: name = "Samplitude"; break;
    case kHostAbletonLive: name = "Live"; break;
    case kHostVSTScanner: name = "VSTScanner"; break;
    case kHostAULab: name = "AULab"; break;
    case kHostForte: name = "Forte"; break;
    case kHostChainer: name = "Chainer"; break;
    case kHostAudition: name = "Audition"; break;
    case kHostOrion: name = "Orion"; break;
    case kHostSAWStudio: name = "SAWStudio"; break;
    case kHostLogic: name = "Logic"; break;
    case kHostGarageBand: name = "GarageBand"; break;
    case kHostDigitalPerformer: name = "DigitalPerformer"; break;
    case kHostStandalone: name = "Standalone"; break;
    case kHostAudioMulch: name = "AudioMulch"; break;
    case kHostStudioOne: name = "StudioOne"; break;
    case kHostVST3TestHost: name = "VST3PluginTestHost"; break;
    case kHostArdour: name = "Ardour"; break;
    default: break; // includes the identified-but-unnamed hosts such as 12
  }
  CopyTextToField(out, outSize, name);
}

void GetHostNameStr(EHost host, char* out) { GetHostNameStr(host, out, MAX_HOST_NAME_LEN); }

void GetVersionParts(int version, int* pMajor, int* pMinor, int* pRelease)
{
  if (pMajor) *pMajor = version / 0x10000;
  if (pMinor) *pMinor = (version >> 8) & 0xFF;
  if (pRelease) *pRelease = version & 0xFF;
}

int GetDecimalVersion(int version)
{
  int major, minor, release;
  GetVersionParts(version, &major, &minor, &release);
  return major * 10000 + minor * 100 + release;
}

void GetVersionStr(int version, char* out, int outSize)
{
  if (!out || outSize < 1) return;
  int major, minor, release;
  GetVersionParts(version, &major, &minor, &release);
  snprintf(out, (size_t)outSize, "v%d.%d.%d", major, minor, release);
}

void GetVersionStr(int version, char* out) { GetVersionStr(version, out, MAX_VERSION_STR_LEN); }

void ToLower(char* out, const char* text, int outSize)
{
  if (!out || outSize < 1) return;
  if (!text) text = "";
  int i = 0;
  for (; i < outSize - 1 && text[i]; ++i) out[i] = (char)tolower((unsigned char)text[i]);
  out[i] = 0;
}
