// AudioToolbox subset: the Audio Unit event types and AUEventListenerNotify,
// through which a unit tells the host about parameter changes and gestures.
#pragma once

#include "../AudioUnit/AudioUnit.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef UInt32 AudioUnitEventType;
enum
{
  kAudioUnitEvent_ParameterValueChange = 0,
  kAudioUnitEvent_BeginParameterChangeGesture = 1,
  kAudioUnitEvent_EndParameterChangeGesture = 2,
  kAudioUnitEvent_PropertyChange = 3,
};
enum
{
  kAUParameterListener_AnyParameter = 0xFFFFFFFF,
};

typedef struct AudioUnitParameter
{
  AudioUnit mAudioUnit;
  AudioUnitParameterID mParameterID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
} AudioUnitParameter;

typedef struct AudioUnitProperty
{
  AudioUnit mAudioUnit;
  AudioUnitPropertyID mPropertyID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
} AudioUnitProperty;

typedef struct AudioUnitEvent
{
  AudioUnitEventType mEventType;
  union
  {
    AudioUnitParameter mParameter;
    AudioUnitProperty mProperty;
  } mArgument;
} AudioUnitEvent;

typedef struct AUEventListenerRecord* AUEventListenerRef;

static_assert(sizeof(AudioUnitParameter) == 24 && offsetof(AudioUnitParameter, mParameterID) == 8,
              "AudioUnitParameter layout");
static_assert(sizeof(AudioUnitProperty) == 24, "AudioUnitProperty layout");
static_assert(sizeof(AudioUnitEvent) == 32 && offsetof(AudioUnitEvent, mArgument) == 8, "AudioUnitEvent layout");

// Hands the event to the observer a host installed (QuillSetAUEventObserver),
// synchronously on the calling thread; noErr also when none is installed.
// paramErr for a NULL event. The plug-in passes NULL for the sender and the
// sending object. Any thread; not from the render path.
OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent);

#ifdef __cplusplus
}
#endif
