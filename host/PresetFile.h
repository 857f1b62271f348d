// .aupreset files: the unit's class-info dictionary as an XML property list.
//
// Reading converts the XML (through libplist) into CoreFoundation objects and
// checks that it is a class-info dictionary of the expected component before
// anyone applies it; writing converts the dictionary back, keys sorted and in
// the XML form that the platform's own tools read. Binary property lists are
// refused with a message saying so.
#pragma once

#include <QuillPlatform.h>

#include <string>

#include "host/FourCC.h"

// The identity a preset must carry to belong to the opened unit.
struct PresetIdentity
{
  OSType type = 0;
  OSType subtype = 0;
  OSType manufacturer = 0;
};

// Reads `path` and returns a new class-info dictionary (the caller releases
// it). Null with *error set ("<path>: <reason>") when the file cannot be read,
// is too large, is not an XML property list, is not a dictionary, lacks
// "version", "type", "subtype", "manufacturer" (integers), "name" (a
// string) or "data" (a data block), or names another component
// than `expected`.
CFDictionaryRef ReadPresetFile(const std::string& path, const PresetIdentity& expected, std::string* error);

// The same checks on a file's bytes already in memory; *error then holds the
// reason alone, without a path.
CFDictionaryRef CreateClassInfoFromXML(const char* xml, size_t length, const PresetIdentity& expected,
                                       std::string* error);

// Writes `classInfo` as an XML property list to `path` (complete or not at
// all). False with *error set when the dictionary holds something a property
// list cannot (or is null) or the file cannot be written.
bool WritePresetFile(const std::string& path, CFDictionaryRef classInfo, std::string* error);

// Converts a property-list XML text into CoreFoundation objects: dict, array,
// string, integer, real, boolean (as the number 0 or 1) and data. Null with
// *error set for malformed XML, nesting deeper than 32 levels or unsupported
// elements. The caller releases the result.
CFPropertyListRef CreatePropertyListFromXML(const char* xml, size_t length, std::string* error);

// The XML text of a property list made of the types above; "" with *error set
// when something cannot be represented.
std::string CreateXMLFromPropertyList(CFPropertyListRef plist, std::string* error);
