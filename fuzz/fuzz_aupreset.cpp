// The .aupreset reader: XML property list to a checked class-info dictionary.
// Oracle: an accepted preset, written back out, reads back as an accepted
// preset whose XML is the same text again (a save-load-save cycle is stable).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/PresetFile.h"
#include "tremolo/QuillbarTremoloConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const PresetIdentity identity{kAudioUnitType_Effect, static_cast<OSType>(tremolo_config::kUniqueID),
                                static_cast<OSType>(tremolo_config::kMfrID)};
  std::string error;
  CFDictionaryRef first = CreateClassInfoFromXML(reinterpret_cast<const char*>(data), size, identity, &error);
  if (!first)
  {
    if (error.empty()) abort(); // a refusal always says why
    return 0;
  }
  const std::string xml1 = CreateXMLFromPropertyList(first, &error);
  CFRelease(first);
  if (xml1.empty()) return 0; // a value a property list cannot store, refused with a reason
  CFDictionaryRef second = CreateClassInfoFromXML(xml1.data(), xml1.size(), identity, &error);
  if (!second) abort();
  const std::string xml2 = CreateXMLFromPropertyList(second, &error);
  CFRelease(second);
  if (xml2 != xml1) abort();
  return 0;
}
