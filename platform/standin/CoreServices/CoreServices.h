// Component Manager subset: component and instance handles, the parameter
// block of the component entry, instance storage, component information and
// the host-side open/close/dispatch calls; plus the Gestalt system query.
//
// The entry convention is the 64-bit Mac one: the parameter block holds one
// 8-byte slot per argument, slot 0 is the component instance and argument k
// of the public call (without the instance) sits in params[k + 1], in forward
// order. A 32-bit value occupies the first 4 bytes of its zeroed slot.
#pragma once

#include "../MacTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef SInt32 ComponentResult;
typedef struct ComponentRecord* Component;
typedef struct ComponentInstanceRecord* ComponentInstance;

enum
{
  badComponentInstance = (SInt32)0x80008001, // the instance handle is not open
  badComponentSelector = (SInt32)0x80008002, // the component does not know the selector
  invalidComponentID = -3000,                // the component handle is not registered
};

enum
{
  kComponentOpenSelect = -1,
  kComponentCloseSelect = -2,
  kComponentCanDoSelect = -3,
  kComponentVersionSelect = -4,
  kComponentRegisterSelect = -5,
  kComponentTargetSelect = -6,
  kComponentUnregisterSelect = -7,
  kComponentGetMPWorkFunctionSelect = -8,
  kComponentExecuteWiredActionSelect = -9,
  kComponentGetPublicResourceSelect = -10,
};

typedef struct ComponentDescription
{
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
} ComponentDescription;

typedef struct ComponentParameters
{
  UInt8 flags;     // call modifiers; 0
  UInt8 paramSize; // 8 x argument count (nothing reads it on 64-bit)
  SInt16 what;     // selector
  UInt32 padding;  // present on LP64 only
  long params[1];  // instance slot, then one slot per argument (the block is longer)
} ComponentParameters;

// The component entry: answers one selector for the instance in params[0],
// with the storage the instance registered (NULL during open).
typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* params, Handle storage);

static_assert(sizeof(ComponentDescription) == 20, "ComponentDescription layout");
static_assert(offsetof(ComponentParameters, what) == 2, "ComponentParameters layout");
static_assert(offsetof(ComponentParameters, params) == 8, "ComponentParameters layout");
static_assert(sizeof(ComponentParameters) == 16, "ComponentParameters layout");

// Registers per-instance storage that later calls hand to the entry. An
// unknown instance is ignored. Called by the component, usually during open.
void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage);
// The storage registered for the instance; NULL when none or unknown.
Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance);
// Fills *cd (when not NULL) with the registered description of a component,
// or of an instance passed as a Component. name, info and icon must be NULL
// (there is no Memory Manager here): paramErr otherwise. invalidComponentID
// for a handle that is neither.
OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName, Handle componentInfo,
                       Handle componentIcon);

// Next registered component after aComponent (NULL: the first) matching the
// description: zero type, subtype or manufacturer match anything; flags are
// compared under componentFlagsMask. NULL when there is none. Any thread.
Component FindNextComponent(Component aComponent, const ComponentDescription* looking);
// Number of registered components matching as above.
long CountComponents(const ComponentDescription* looking);
// Opens an instance: calls the entry with kComponentOpenSelect and the new
// instance in params[0]. Returns the entry's result (paramErr when it does
// not fit an OSErr); on failure the instance is discarded (close is not
// called) and *ci is NULL. invalidComponentID for an unknown component,
// paramErr for a NULL ci. Any thread.
OSErr OpenAComponent(Component aComponent, ComponentInstance* ci);
// As OpenAComponent; NULL on any failure.
ComponentInstance OpenComponent(Component aComponent);
// Calls the entry with kComponentCloseSelect, then discards the instance
// whatever the entry answers. Returns the entry's result, or paramErr for an
// instance that is not open (or already closing). The host must not
// close an instance while another thread is calling into it.
OSErr CloseComponent(ComponentInstance aComponentInstance);
// Dispatches a parameter block the caller built (params[0] = the instance):
// the instance's entry is called with its storage. badComponentInstance for
// a NULL block or an instance that is not open.
ComponentResult CallComponentDispatch(ComponentParameters* cp);
// Whether the component implements the selector (kComponentCanDoSelect);
// 0 for an instance that is not open.
long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber);
// The component's version (kComponentVersionSelect); badComponentInstance
// for an instance that is not open.
long GetComponentVersion(ComponentInstance ci);

// ---- Gestalt -----------------------------------------------------------------

enum
{
  gestaltSystemVersion = QUILL_FOUR_CC('s', 'y', 's', 'v'),
  gestaltUndefSelectorErr = -5551,
};
// Answers gestaltSystemVersion with 0x1068 (a system of the 10.6 line, BCD),
// which is what the plug-in's checks for "10.5 or later" need; any other
// selector gives gestaltUndefSelectorErr. paramErr for a NULL response.
OSErr Gestalt(OSType selector, SInt32* response);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <string.h>

#include <type_traits>

// Packs the arguments into one 8-byte slot each after the instance slot, in
// the order given (the order of the public call), and dispatches the block
// to the instance's entry. Each argument's bytes go to the start of its
// zeroed slot, so a Float32 keeps its bit pattern. badComponentInstance for
// an instance that is not open. Allocates nothing. Any thread.
template <class... Args>
ComponentResult QuillCallComponent(ComponentInstance ci, SInt16 what, Args... args)
{
  static_assert(((sizeof(Args) <= sizeof(long) && std::is_trivially_copyable<Args>::value) && ...),
                "each argument must fit one 8-byte slot");
  constexpr size_t kSlots = 1 + sizeof...(Args);
  // The block holds the header and kSlots slots; the struct declares one.
  alignas(ComponentParameters) unsigned char block[offsetof(ComponentParameters, params) + kSlots * sizeof(long)];
  memset(block, 0, sizeof(block));
  ComponentParameters* cp = reinterpret_cast<ComponentParameters*>(block);
  cp->paramSize = (UInt8)(sizeof...(Args) * sizeof(long));
  cp->what = what;
  long* slots = reinterpret_cast<long*>(block + offsetof(ComponentParameters, params));
  slots[0] = reinterpret_cast<long>(ci);
  size_t i = 1;
  ((memcpy(&slots[i++], &args, sizeof(Args))), ...);
  (void)i;
  return CallComponentDispatch(cp);
}
#endif
