#include "host/ComponentBundles.h"

#include <QuillPlatform.h>
#include <dirent.h>
#include <dlfcn.h>
#include <plist/plist.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <set>

#ifndef QUILL_BUILD_COMPONENT_DIR
#define QUILL_BUILD_COMPONENT_DIR ""
#endif
#ifndef QUILL_INSTALL_COMPONENT_DIR
#define QUILL_INSTALL_COMPONENT_DIR ""
#endif

namespace
{

bool IsFolder(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EndsWith(const std::string& s, const std::string& tail)
{
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Owns a property list node.
struct Plist
{
  plist_t node = nullptr;
  ~Plist()
  {
    if (node) plist_free(node);
  }
};

// The string under key in a dictionary node, or "" when missing or not a string.
std::string StringOf(plist_t dict, const char* key)
{
  plist_t item = plist_dict_get_item(dict, key);
  if (!item || plist_get_node_type(item) != PLIST_STRING) return "";
  char* value = nullptr;
  plist_get_string_val(item, &value);
  std::string s = value ? value : "";
  free(value);
  return s;
}

// A four-character code from its text ("aufx"), or false.
bool FourCC(const std::string& text, OSType* code)
{
  if (text.size() != 4) return false;
  *code = QUILL_FOUR_CC(text[0], text[1], text[2], text[3]);
  return true;
}

struct ComponentEntry
{
  ComponentDescription description{};
  std::string name;
  std::string factoryFunction;
};

// What the Info.plist promises, or false with *reason.
bool ReadInfo(const std::string& plistPath, std::string* executable, std::string* identifier,
              std::vector<ComponentEntry>* components, std::string* reason)
{
  std::ifstream in(plistPath, std::ios::binary);
  if (!in)
  {
    *reason = "it has no Contents/Info.plist";
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Plist root;
  if (!bytes.empty() && bytes.size() < UINT32_MAX)
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root.node);
  if (!root.node || plist_get_node_type(root.node) != PLIST_DICT)
  {
    *reason = "its Info.plist is not a property list dictionary";
    return false;
  }
  *executable = StringOf(root.node, "CFBundleExecutable");
  *identifier = StringOf(root.node, "CFBundleIdentifier");
  if (executable->empty() || executable->find('/') != std::string::npos)
  {
    *reason = "its Info.plist names no CFBundleExecutable";
    return false;
  }
  if (identifier->empty())
  {
    *reason = "its Info.plist names no CFBundleIdentifier";
    return false;
  }
  plist_t list = plist_dict_get_item(root.node, "AudioComponents");
  const uint32_t n = list && plist_get_node_type(list) == PLIST_ARRAY ? plist_array_get_size(list) : 0;
  if (n == 0)
  {
    *reason = "its Info.plist lists no AudioComponents (not an Audio Unit bundle)";
    return false;
  }
  for (uint32_t i = 0; i < n; ++i)
  {
    plist_t entry = plist_array_get_item(list, i);
    ComponentEntry c;
    if (!entry || plist_get_node_type(entry) != PLIST_DICT ||
        !FourCC(StringOf(entry, "type"), &c.description.componentType) ||
        !FourCC(StringOf(entry, "subtype"), &c.description.componentSubType) ||
        !FourCC(StringOf(entry, "manufacturer"), &c.description.componentManufacturer))
    {
      *reason = "AudioComponents entry " + std::to_string(i) + " has no four-character type, subtype and manufacturer";
      return false;
    }
    c.name = StringOf(entry, "name");
    c.factoryFunction = StringOf(entry, "factoryFunction");
    if (c.factoryFunction.empty())
    {
      *reason = "AudioComponents entry " + std::to_string(i) + " names no factoryFunction";
      return false;
    }
    components->push_back(c);
  }
  return true;
}

// Bundles loaded so far, by their resolved folder.
std::set<std::string>& Loaded()
{
  static std::set<std::string> loaded;
  return loaded;
}

} // namespace

std::vector<std::string> ComponentSearchPath()
{
  std::vector<std::string> folders;
  if (const char* env = getenv("QUILL_COMPONENT_PATH"))
  {
    std::string all = env;
    size_t start = 0;
    while (start <= all.size())
    {
      const size_t colon = all.find(':', start);
      const std::string one = all.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      if (!one.empty()) folders.push_back(one);
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
  }
  for (const char* dir : {QUILL_BUILD_COMPONENT_DIR, QUILL_INSTALL_COMPONENT_DIR})
    if (dir[0]) folders.push_back(dir);
  return folders;
}

bool LoadComponentBundle(const std::string& bundlePath, std::string* error)
{
  const std::string cannot = "cannot load the plug-in bundle " + bundlePath + ": ";
  char resolved[PATH_MAX];
  if (!IsFolder(bundlePath) || !realpath(bundlePath.c_str(), resolved))
  {
    *error = cannot + "no such folder";
    return false;
  }
  const std::string folder = resolved;
  if (Loaded().count(folder)) return true;

  std::string executable, identifier, reason;
  std::vector<ComponentEntry> components;
  if (!ReadInfo(folder + "/Contents/Info.plist", &executable, &identifier, &components, &reason))
  {
    *error = cannot + reason;
    return false;
  }
  const std::string library = folder + "/Contents/MacOS/" + executable;
  // Every symbol is resolved now, so a bundle built against other
  // frameworks fails here with the name it misses, not in the middle of a render.
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle)
  {
    const char* why = dlerror();
    *error = cannot + "its library does not load (" + (why ? why : "unknown reason") + ")";
    return false;
  }
  std::vector<ComponentRoutineProcPtr> entries;
  for (const ComponentEntry& c : components)
  {
    void* symbol = dlsym(handle, c.factoryFunction.c_str());
    if (!symbol)
    {
      // The library stays loaded, as a bundle does once loaded: its static
      // objects may already have registered themselves with the platform.
      *error = cannot + "its library has no factory function " + c.factoryFunction;
      return false;
    }
    // A symbol's address is how the library hands over its entry.
    ComponentRoutineProcPtr entry;
    memcpy(&entry, &symbol, sizeof(entry));
    entries.push_back(entry);
  }
  // On a Mac the system knows the bundle once it is loaded; the editor finds
  // its images through it.
  QuillRegisterBundle(identifier.c_str(), folder.c_str(), (folder + "/Contents/Resources").c_str());
  for (size_t i = 0; i < components.size(); ++i)
    QuillRegisterComponent(&components[i].description, entries[i], components[i].name.c_str());
  Loaded().insert(folder);
  return true;
}

int LoadComponentBundles(const std::vector<std::string>& folders, std::vector<std::string>* problems)
{
  int loaded = 0;
  for (const std::string& folder : folders)
  {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    std::vector<std::string> bundles;
    while (dirent* e = readdir(dir))
      if (EndsWith(e->d_name, ".component")) bundles.push_back(folder + "/" + e->d_name);
    closedir(dir);
    std::sort(bundles.begin(), bundles.end());
    for (const std::string& bundle : bundles)
    {
      std::string error;
      if (LoadComponentBundle(bundle, &error)) ++loaded;
      else problems->push_back(error);
    }
  }
  return loaded;
}
