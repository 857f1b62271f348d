// CFAUPreset: a reference-counted record that carries an AUPreset (number
// and name) through CFArrays, as the factory-presets property hands them to
// the host. The host reads the array's values as AUPreset pointers, so the
// AUPreset comes first.
#pragma once

#include <QuillPlatform.h>

struct CFAUPreset
{
  AUPreset auPreset;        // number and a copy of the name
  UInt32 version;           // reserved: 0
  CFAllocatorRef allocator; // frees the record
  CFIndex retainCount;      // starts at 1
};
typedef CFAUPreset* CFAUPresetRef;

static_assert(sizeof(CFAUPreset) == 40, "CFAUPreset layout");

// A new record (count 1) with presetNumber and a copy of name (null: no
// name), allocated with inAllocator; null when memory is short.
CFAUPresetRef CFAUPresetCreate(CFAllocatorRef inAllocator, SInt32 presetNumber, CFStringRef name);
// Adds one to the count (and retains the name); null is passed through.
CFAUPresetRef CFAUPresetRetain(CFAUPresetRef presetRef);
// Subtracts one; at zero releases the name and frees the record. Null and
// records whose count is not positive are ignored.
void CFAUPresetRelease(CFAUPresetRef presetRef);
// "AUPreset:\npreset number = %d\npreset name = %@"; null for a null record.
CFStringRef CFAUPresetCopyDescription(CFAUPresetRef presetRef);
// Equal numbers and equal names (both null counts as equal).
Boolean CFAUPresetEqual(CFAUPresetRef p1, CFAUPresetRef p2);

// Array callbacks for CFAUPreset values: version 0, the operations above.
extern const CFArrayCallBacks kCFAUPresetArrayCallBacks;
// Fills *outCallBacks with those callbacks; null is ignored.
void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* outCallBacks);
