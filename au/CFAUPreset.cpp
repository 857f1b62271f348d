#include "au/CFAUPreset.h"

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef inAllocator, SInt32 presetNumber, CFStringRef name)
{
  CFAUPresetRef p = static_cast<CFAUPresetRef>(CFAllocatorAllocate(inAllocator, sizeof(CFAUPreset), 0));
  if (!p) return nullptr;
  p->auPreset.presetNumber = presetNumber;
  p->auPreset.presetName = name ? CFStringCreateCopy(inAllocator, name) : nullptr;
  p->version = 0;
  p->allocator = inAllocator;
  p->retainCount = 1;
  return p;
}

CFAUPresetRef CFAUPresetRetain(CFAUPresetRef presetRef)
{
  if (presetRef)
  {
    if (presetRef->auPreset.presetName) CFRetain(presetRef->auPreset.presetName);
    ++presetRef->retainCount;
  }
  return presetRef;
}

void CFAUPresetRelease(CFAUPresetRef presetRef)
{
  if (!presetRef || presetRef->retainCount <= 0) return;
  if (presetRef->auPreset.presetName) CFRelease(presetRef->auPreset.presetName);
  if (--presetRef->retainCount == 0)
  {
    presetRef->auPreset.presetNumber = 0;
    presetRef->auPreset.presetName = nullptr;
    CFAllocatorDeallocate(presetRef->allocator, presetRef);
  }
}

CFStringRef CFAUPresetCopyDescription(CFAUPresetRef presetRef)
{
  if (!presetRef) return nullptr;
  return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("AUPreset:\npreset number = %d\npreset name = %@"),
                                  static_cast<int>(presetRef->auPreset.presetNumber), presetRef->auPreset.presetName);
}

Boolean CFAUPresetEqual(CFAUPresetRef p1, CFAUPresetRef p2)
{
  if (p1 == p2) return true;
  if (!p1 || !p2) return false;
  if (p1->auPreset.presetNumber != p2->auPreset.presetNumber) return false;
  CFStringRef n1 = p1->auPreset.presetName, n2 = p2->auPreset.presetName;
  if (!n1 || !n2) return n1 == n2;
  return CFStringCompare(n1, n2, 0) == kCFCompareEqualTo;
}

namespace
{
const void* RetainCB(CFAllocatorRef, const void* value)
{
  return CFAUPresetRetain(static_cast<CFAUPresetRef>(const_cast<void*>(value)));
}
void ReleaseCB(CFAllocatorRef, const void* value)
{
  CFAUPresetRelease(static_cast<CFAUPresetRef>(const_cast<void*>(value)));
}
CFStringRef DescriptionCB(const void* value)
{
  return CFAUPresetCopyDescription(static_cast<CFAUPresetRef>(const_cast<void*>(value)));
}
Boolean EqualCB(const void* v1, const void* v2)
{
  return CFAUPresetEqual(static_cast<CFAUPresetRef>(const_cast<void*>(v1)),
                         static_cast<CFAUPresetRef>(const_cast<void*>(v2)));
}
} // namespace

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {0, RetainCB, ReleaseCB, DescriptionCB, EqualCB};

void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* outCallBacks)
{
  if (outCallBacks) *outCallBacks = kCFAUPresetArrayCallBacks;
}
