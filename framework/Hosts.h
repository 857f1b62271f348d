// Host identification and version packing.
//
// Versions (plug-in and host) are packed 0xVVVVRRMM: major in the upper 16
// bits, minor in bits 8-15, release in bits 0-7; shown as "v%d.%d.%d".
#pragma once

// The identified host application; kHostUninit until identified.
enum EHost
{
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostVegas = 6,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostTracktion = 10,
  kHostNTracks = 11,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostBias = 19,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28
};

// Identifies a host from its name or bundle identifier: the first 263
// characters, lower-cased, are searched for the known substrings in a fixed
// order ("cubase" first, ..., "live" before "logic", ...). Null or no match
// gives kHostUnknown.
EHost LookUpHost(const char* name);

// Writes the display name of host ("Unknown" for values not in the table)
// into out of outSize bytes, cut to fit. Does nothing when out is null or
// outSize < 1.
void GetHostNameStr(EHost host, char* out, int outSize);
// Same, for a buffer of at least MAX_HOST_NAME_LEN (32) bytes.
void GetHostNameStr(EHost host, char* out);

// Splits a packed version; null pointers are skipped.
void GetVersionParts(int version, int* pMajor, int* pMinor, int* pRelease);
// major * 10000 + minor * 100 + release.
int GetDecimalVersion(int version);
// "v%d.%d.%d" into out of outSize bytes, cut to fit; nothing when out is
// null or outSize < 1.
void GetVersionStr(int version, char* out, int outSize);
// Same, for a buffer of at least MAX_VERSION_STR_LEN (32) bytes.
void GetVersionStr(int version, char* out);

// Copies text into out with every character lower-cased, NUL-terminated,
// at most outSize - 1 characters. Nothing when out is null or outSize < 1;
// null text gives "".
void ToLower(char* out, const char* text, int outSize);
