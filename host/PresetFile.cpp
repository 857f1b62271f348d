#include "host/PresetFile.h"

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/OutputFile.h"

namespace
{

// Presets are a few hundred bytes; anything near this is not one, and
// refusing it early keeps a stray multi-gigabyte file from being slurped.
constexpr long kMaxPresetFileBytes = 1 << 20;
constexpr int kMaxDepth = 32;

// Deepest element nesting of an XML text, counted from its tags. The XML
// parser recurses once per level and a file of nothing but opening tags would
// exhaust the stack long before the size limit; this cheap scan refuses such
// files first. It may over-count (e.g. a '>' inside an attribute), which only
// makes it stricter.
int XmlNestingDepth(const char* xml, size_t length)
{
  int depth = 0, deepest = 0;
  for (size_t i = 0; i < length; ++i)
  {
    if (xml[i] != '<') continue;
    const size_t open = i;
    while (i < length && xml[i] != '>') ++i;
    if (open + 1 >= length) break;
    const char next = xml[open + 1];
    if (next == '?' || next == '!') continue;
    if (next == '/')
    {
      if (depth > 0) --depth;
    }
    else if (!(i < length && i > open && xml[i - 1] == '/'))
    {
      deepest = std::max(deepest, ++depth);
    }
  }
  return deepest;
}

CFTypeRef FromPlist(plist_t node, int depth, std::string* error)
{
  if (depth > kMaxDepth)
  {
    *error = "nested too deeply";
    return nullptr;
  }
  switch (plist_get_node_type(node))
  {
  case PLIST_DICT:
  {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    for (;;)
    {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(node, it, &key, &value);
      if (!value)
      {
        free(key);
        break;
      }
      CFStringRef cfKey = CFStringCreateWithCString(kCFAllocatorDefault, key ? key : "", kCFStringEncodingUTF8);
      free(key);
      CFTypeRef cfValue = cfKey ? FromPlist(value, depth + 1, error) : nullptr;
      if (!cfKey || !cfValue)
      {
        if (!cfKey) *error = "a key is not valid UTF-8";
        CFRelease(cfKey);
        free(it);
        CFRelease(dict);
        return nullptr;
      }
      CFDictionarySetValue(dict, cfKey, cfValue);
      CFRelease(cfKey);
      CFRelease(cfValue);
    }
    free(it);
    return dict;
  }
  case PLIST_ARRAY:
  {
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    const uint32_t n = plist_array_get_size(node);
    for (uint32_t i = 0; i < n; ++i)
    {
      CFTypeRef item = FromPlist(plist_array_get_item(node, i), depth + 1, error);
      if (!item)
      {
        CFRelease(array);
        return nullptr;
      }
      CFArrayAppendValue(array, item);
      CFRelease(item);
    }
    return array;
  }
  case PLIST_STRING:
  {
    char* s = nullptr;
    plist_get_string_val(node, &s);
    CFStringRef str = CFStringCreateWithCString(kCFAllocatorDefault, s ? s : "", kCFStringEncodingUTF8);
    free(s);
    if (!str) *error = "a string is not valid UTF-8";
    return str;
  }
  case PLIST_UINT:
  {
    // libplist keeps every <integer> in 64 bits; a negative one comes back
    // as its two's complement.
    uint64_t u = 0;
    plist_get_uint_val(node, &u);
    const SInt64 v = static_cast<SInt64>(u);
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &v);
  }
  case PLIST_REAL:
  {
    double d = 0.0;
    plist_get_real_val(node, &d);
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &d);
  }
  case PLIST_BOOLEAN:
  {
    uint8_t b = 0;
    plist_get_bool_val(node, &b);
    const SInt32 v = b ? 1 : 0;
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &v);
  }
  case PLIST_DATA:
  {
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes),
                                  bytes ? static_cast<CFIndex>(length) : 0);
    free(bytes);
    return data;
  }
  default:
    *error = "it holds an element a preset does not use (a date or a UID)";
    return nullptr;
  }
}

std::string StringOf(CFStringRef s)
{
  if (const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8)) return p;
  const CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
  std::vector<char> buffer(static_cast<size_t>(max > 1 ? max : 1));
  if (!CFStringGetCString(s, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8)) return "";
  return buffer.data();
}

plist_t ToPlist(CFTypeRef obj, int depth, std::string* error)
{
  if (!obj)
  {
    *error = "it holds a null value";
    return nullptr;
  }
  if (depth > kMaxDepth)
  {
    *error = "it is nested too deeply";
    return nullptr;
  }
  const CFTypeID type = CFGetTypeID(obj);
  if (type == CFDictionaryGetTypeID())
  {
    CFDictionaryRef dict = static_cast<CFDictionaryRef>(obj);
    const CFIndex n = CFDictionaryGetCount(dict);
    std::vector<const void*> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
    CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
    std::vector<std::pair<std::string, CFTypeRef>> entries;
    for (CFIndex i = 0; i < n; ++i)
    {
      if (CFGetTypeID(keys[i]) != CFStringGetTypeID())
      {
        *error = "a dictionary key is not a string";
        return nullptr;
      }
      entries.emplace_back(StringOf(static_cast<CFStringRef>(keys[i])), values[i]);
    }
    // The platform writes keys sorted; doing the same keeps files diffable.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    plist_t node = plist_new_dict();
    for (const auto& entry : entries)
    {
      plist_t value = ToPlist(entry.second, depth + 1, error);
      if (!value)
      {
        plist_free(node);
        return nullptr;
      }
      plist_dict_set_item(node, entry.first.c_str(), value);
    }
    return node;
  }
  if (type == CFArrayGetTypeID())
  {
    CFArrayRef array = static_cast<CFArrayRef>(obj);
    plist_t node = plist_new_array();
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
    {
      plist_t value = ToPlist(CFArrayGetValueAtIndex(array, i), depth + 1, error);
      if (!value)
      {
        plist_free(node);
        return nullptr;
      }
      plist_array_append_item(node, value);
    }
    return node;
  }
  if (type == CFStringGetTypeID()) return plist_new_string(StringOf(static_cast<CFStringRef>(obj)).c_str());
  if (type == CFNumberGetTypeID())
  {
    CFNumberRef number = static_cast<CFNumberRef>(obj);
    if (CFNumberIsFloatType(number))
    {
      double d = 0.0;
      CFNumberGetValue(number, kCFNumberFloat64Type, &d);
      return plist_new_real(d);
    }
    SInt64 v = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &v);
    return plist_new_uint(static_cast<uint64_t>(v));
  }
  if (type == CFDataGetTypeID())
  {
    CFDataRef data = static_cast<CFDataRef>(obj);
    const UInt8* bytes = CFDataGetBytePtr(data);
    return plist_new_data(reinterpret_cast<const char*>(bytes), bytes ? static_cast<uint64_t>(CFDataGetLength(data)) : 0);
  }
  *error = "it holds a value of a type a property list cannot store";
  return nullptr;
}

CFTypeRef GetValue(CFDictionaryRef dict, const char* key)
{
  CFStringRef cfKey = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(dict, cfKey);
  CFRelease(cfKey);
  return value;
}

// Reads a key as a 32-bit code or version. Codes with the top bit set are
// stored negative by the platform and as large positive numbers by some
// writers; both mean the same 32 bits.
bool GetInt32(CFDictionaryRef dict, const char* key, SInt32* out)
{
  CFTypeRef value = GetValue(dict, key);
  if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
  if (CFNumberIsFloatType(static_cast<CFNumberRef>(value))) return false;
  SInt64 v = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &v);
  if (v < INT32_MIN || v > static_cast<SInt64>(UINT32_MAX)) return false;
  *out = static_cast<SInt32>(static_cast<UInt32>(v));
  return true;
}

} // namespace

CFPropertyListRef CreatePropertyListFromXML(const char* xml, size_t length, std::string* error)
{
  if (!xml || length == 0)
  {
    *error = "the file is empty";
    return nullptr;
  }
  if (length >= 8 && memcmp(xml, "bplist00", 8) == 0)
  {
    *error = "binary property lists are not supported; save the preset as XML";
    return nullptr;
  }
  if (length > static_cast<size_t>(kMaxPresetFileBytes))
  {
    *error = "too large for a preset";
    return nullptr;
  }
  // XML text never holds a NUL byte; libplist would keep one inside a string
  // or key and then fail an assertion when the text is read out.
  if (memchr(xml, 0, length))
  {
    *error = "not a property list (the text holds a NUL byte)";
    return nullptr;
  }
  // <plist> itself is one level above the objects.
  if (XmlNestingDepth(xml, length) > kMaxDepth + 1)
  {
    *error = "nested too deeply";
    return nullptr;
  }
  plist_t root = nullptr;
  plist_from_xml(xml, static_cast<uint32_t>(length), &root);
  if (!root)
  {
    *error = "not an XML property list";
    return nullptr;
  }
  CFPropertyListRef result = FromPlist(root, 0, error);
  plist_free(root);
  return result;
}

std::string CreateXMLFromPropertyList(CFPropertyListRef plist, std::string* error)
{
  plist_t root = ToPlist(plist, 0, error);
  if (!root) return "";
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  plist_free(root);
  if (!xml)
  {
    *error = "the property list could not be formatted";
    return "";
  }
  std::string text(xml, length);
  free(xml);
  return text;
}

CFDictionaryRef ReadPresetFile(const std::string& path, const PresetIdentity& expected, std::string* error)
{
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
  {
    *error = path + ": " + strerror(errno);
    return nullptr;
  }
  std::vector<char> bytes;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
  {
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (static_cast<long>(bytes.size()) > kMaxPresetFileBytes) break;
  }
  const bool readFailed = ferror(f) != 0;
  fclose(f);
  if (readFailed)
  {
    *error = path + ": the file cannot be read";
    return nullptr;
  }
  if (static_cast<long>(bytes.size()) > kMaxPresetFileBytes)
  {
    *error = path + ": too large for a preset";
    return nullptr;
  }
  std::string reason;
  CFDictionaryRef dict = CreateClassInfoFromXML(bytes.data(), bytes.size(), expected, &reason);
  if (!dict) *error = path + ": " + reason;
  return dict;
}

CFDictionaryRef CreateClassInfoFromXML(const char* xml, size_t length, const PresetIdentity& expected,
                                       std::string* error)
{
  CFPropertyListRef plist = CreatePropertyListFromXML(xml, length, error);
  if (!plist) return nullptr;
  if (CFGetTypeID(plist) != CFDictionaryGetTypeID())
  {
    CFRelease(plist);
    *error = "not a preset (the property list holds no dictionary)";
    return nullptr;
  }
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(plist);
  SInt32 version = 0, type = 0, subtype = 0, manufacturer = 0;
  const char* missing = nullptr;
  if (!GetInt32(dict, kAUPresetVersionKey, &version)) missing = kAUPresetVersionKey;
  else if (!GetInt32(dict, kAUPresetTypeKey, &type)) missing = kAUPresetTypeKey;
  else if (!GetInt32(dict, kAUPresetSubtypeKey, &subtype)) missing = kAUPresetSubtypeKey;
  else if (!GetInt32(dict, kAUPresetManufacturerKey, &manufacturer)) missing = kAUPresetManufacturerKey;
  CFTypeRef name = GetValue(dict, kAUPresetNameKey);
  CFTypeRef data = GetValue(dict, kAUPresetDataKey);
  if (missing)
  {
    *error = std::string("not a preset (no integer \"") + missing + "\")";
  }
  else if (!name || CFGetTypeID(name) != CFStringGetTypeID())
  {
    *error = "not a preset (no string \"name\")";
  }
  else if (!data || CFGetTypeID(data) != CFDataGetTypeID())
  {
    // The unit would refuse it too, but only after selecting the preset by
    // name; refusing here leaves the unit untouched.
    *error = "broken preset (no \"data\" block)";
  }
  else if (static_cast<OSType>(type) != expected.type || static_cast<OSType>(subtype) != expected.subtype ||
           static_cast<OSType>(manufacturer) != expected.manufacturer)
  {
    *error = "a preset of another plug-in ('" + FourCCText(static_cast<OSType>(type)) + "' '" +
             FourCCText(static_cast<OSType>(subtype)) + "' '" + FourCCText(static_cast<OSType>(manufacturer)) +
             "', expected '" + FourCCText(expected.type) + "' '" + FourCCText(expected.subtype) + "' '" +
             FourCCText(expected.manufacturer) + "')";
  }
  else
  {
    return dict;
  }
  CFRelease(dict);
  return nullptr;
}

bool WritePresetFile(const std::string& path, CFDictionaryRef classInfo, std::string* error)
{
  std::string reason;
  const std::string xml = CreateXMLFromPropertyList(classInfo, &reason);
  if (xml.empty())
  {
    *error = "cannot write " + path + ": " + reason;
    return false;
  }
  return WriteFileAtomically(path, xml.data(), xml.size(), error);
}
