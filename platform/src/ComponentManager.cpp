// The component registry as a host sees it: registration, lookup, opening
// and closing instances, instance storage and dispatch of parameter blocks
// to a component's entry.
//
// One mutex guards the registry. It is held only to look records up, never
// while an entry runs, so an entry may call back into the registry (the
// open selector registers storage) and a render thread only waits for a
// lookup. Handles are validated against the registry before use, so a
// closed or made-up handle is answered with an error instead of being
// dereferenced.
#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "../standin/QuillPlatformHost.h"
#include "CFInternal.h"

struct ComponentRecord
{
  ComponentDescription description;
  ComponentRoutineProcPtr entry;
  std::string name;
  int openInstances = 0;
};

struct ComponentInstanceRecord
{
  ComponentRecord* component = nullptr;
  Handle storage = nullptr;
  bool closing = false;
};

namespace
{
std::mutex sMutex;

std::vector<ComponentRecord*>& Components()
{
  static auto* sComponents = new std::vector<ComponentRecord*>();
  return *sComponents;
}

std::unordered_set<ComponentInstanceRecord*>& Instances()
{
  static auto* sInstances = new std::unordered_set<ComponentInstanceRecord*>();
  return *sInstances;
}

// Lookups; call with sMutex held.
ComponentRecord* FindComponentLocked(Component c)
{
  auto& all = Components();
  return std::find(all.begin(), all.end(), c) != all.end() ? c : nullptr;
}

ComponentInstanceRecord* FindInstanceLocked(ComponentInstance ci)
{
  return ci && Instances().count(ci) ? ci : nullptr;
}

// The component itself, or the component of an instance passed in its place
// (Audio Unit code passes its own instance cast to a Component); call with
// sMutex held.
ComponentRecord* FindComponentOfLocked(Component c)
{
  if (ComponentRecord* found = FindComponentLocked(c))
    return found;
  ComponentInstanceRecord* i = FindInstanceLocked(reinterpret_cast<ComponentInstance>(c));
  return i ? i->component : nullptr;
}

bool Matches(const ComponentDescription& have, const ComponentDescription* want)
{
  if (!want)
    return true;
  return (!want->componentType || want->componentType == have.componentType) &&
         (!want->componentSubType || want->componentSubType == have.componentSubType) &&
         (!want->componentManufacturer || want->componentManufacturer == have.componentManufacturer) &&
         ((have.componentFlags & want->componentFlagsMask) == (want->componentFlags & want->componentFlagsMask));
}

// An entry answers 32 bits, the open and close calls only 16; a code that
// does not fit is reported as paramErr rather than as a wrapped number.
OSErr ToOSErr(ComponentResult r)
{
  return r >= -32768 && r <= 32767 ? static_cast<OSErr>(r) : static_cast<OSErr>(paramErr);
}
} // namespace

Component QuillRegisterComponent(const ComponentDescription* description, ComponentRoutineProcPtr entry,
                                 const char* name)
{
  if (!description || !entry)
    return nullptr;
  ComponentRecord* c = new (std::nothrow) ComponentRecord{*description, entry, name ? name : "", 0};
  if (!c)
    return nullptr;
  std::lock_guard<std::mutex> lock(sMutex);
  try
  {
    Components().push_back(c);
  }
  catch (const std::bad_alloc&)
  {
    delete c;
    return nullptr;
  }
  return c;
}

OSErr QuillUnregisterComponent(Component component)
{
  std::lock_guard<std::mutex> lock(sMutex);
  ComponentRecord* c = FindComponentLocked(component);
  if (!c || c->openInstances > 0)
    return invalidComponentID;
  auto& all = Components();
  all.erase(std::find(all.begin(), all.end(), c));
  delete c;
  return noErr;
}

CFStringRef QuillCopyComponentName(Component component)
{
  std::string name;
  {
    std::lock_guard<std::mutex> lock(sMutex);
    ComponentRecord* c = FindComponentOfLocked(component);
    if (!c)
      return nullptr;
    name = c->name;
  }
  return CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingUTF8);
}

void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage)
{
  std::lock_guard<std::mutex> lock(sMutex);
  if (ComponentInstanceRecord* i = FindInstanceLocked(aComponentInstance))
    i->storage = theStorage;
}

Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance)
{
  std::lock_guard<std::mutex> lock(sMutex);
  ComponentInstanceRecord* i = FindInstanceLocked(aComponentInstance);
  return i ? i->storage : nullptr;
}

OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName, Handle componentInfo,
                       Handle componentIcon)
{
  std::lock_guard<std::mutex> lock(sMutex);
  ComponentRecord* c = FindComponentOfLocked(aComponent);
  if (!c)
    return invalidComponentID;
  if (componentName || componentInfo || componentIcon)
    return paramErr;
  if (cd)
    *cd = c->description;
  return noErr;
}

Component FindNextComponent(Component aComponent, const ComponentDescription* looking)
{
  std::lock_guard<std::mutex> lock(sMutex);
  auto& all = Components();
  auto it = all.begin();
  if (aComponent)
  {
    it = std::find(all.begin(), all.end(), aComponent);
    if (it == all.end())
      return nullptr;
    ++it;
  }
  for (; it != all.end(); ++it)
    if (Matches((*it)->description, looking))
      return *it;
  return nullptr;
}

long CountComponents(const ComponentDescription* looking)
{
  std::lock_guard<std::mutex> lock(sMutex);
  return static_cast<long>(std::count_if(Components().begin(), Components().end(),
                                         [&](const ComponentRecord* c) { return Matches(c->description, looking); }));
}

OSErr OpenAComponent(Component aComponent, ComponentInstance* ci)
{
  if (!ci)
    return paramErr;
  *ci = nullptr;
  ComponentInstanceRecord* instance = new (std::nothrow) ComponentInstanceRecord();
  if (!instance)
    return paramErr;
  {
    std::lock_guard<std::mutex> lock(sMutex);
    ComponentRecord* c = FindComponentLocked(aComponent);
    if (!c)
    {
      delete instance;
      return invalidComponentID;
    }
    try
    {
      Instances().insert(instance);
    }
    catch (const std::bad_alloc&)
    {
      delete instance;
      return paramErr;
    }
    instance->component = c;
    ++c->openInstances;
  }
  ComponentResult r = QuillCallComponent(instance, kComponentOpenSelect);
  if (r != noErr)
  {
    // A failed open leaves no instance behind; the component cleans up after
    // itself before answering with an error.
    {
      std::lock_guard<std::mutex> lock(sMutex);
      Instances().erase(instance);
      --instance->component->openInstances;
    }
    delete instance;
    return ToOSErr(r);
  }
  *ci = instance;
  return noErr;
}

ComponentInstance OpenComponent(Component aComponent)
{
  ComponentInstance ci = nullptr;
  return OpenAComponent(aComponent, &ci) == noErr ? ci : nullptr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance)
{
  {
    std::lock_guard<std::mutex> lock(sMutex);
    ComponentInstanceRecord* i = FindInstanceLocked(aComponentInstance);
    if (!i || i->closing)
      return ToOSErr(badComponentInstance);
    // Still valid while its close selector runs (it may ask for its storage
    // or description), but it cannot be closed twice.
    i->closing = true;
  }
  ComponentResult r = QuillCallComponent(aComponentInstance, kComponentCloseSelect);
  {
    std::lock_guard<std::mutex> lock(sMutex);
    Instances().erase(aComponentInstance);
    --aComponentInstance->component->openInstances;
  }
  delete aComponentInstance;
  return ToOSErr(r);
}

ComponentResult CallComponentDispatch(ComponentParameters* cp)
{
  if (!cp)
    return badComponentInstance;
  ComponentInstance ci = reinterpret_cast<ComponentInstance>(cp->params[0]);
  ComponentRoutineProcPtr entry;
  Handle storage;
  {
    std::lock_guard<std::mutex> lock(sMutex);
    ComponentInstanceRecord* i = FindInstanceLocked(ci);
    if (!i)
      return badComponentInstance;
    entry = i->component->entry;
    storage = i->storage;
  }
  return entry(cp, storage);
}

long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber)
{
  ComponentResult r = QuillCallComponent(ci, kComponentCanDoSelect, ftnNumber);
  return r == badComponentInstance ? 0 : r;
}

long GetComponentVersion(ComponentInstance ci)
{
  return QuillCallComponent(ci, kComponentVersionSelect);
}

OSErr Gestalt(OSType selector, SInt32* response)
{
  if (!response)
    return paramErr;
  if (selector != gestaltSystemVersion)
    return gestaltUndefSelectorErr;
  *response = 0x1068;
  return noErr;
}
