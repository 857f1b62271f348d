// Audio Unit (version 2) interface subset: handles, selectors, properties,
// scopes, flags, parameter units, error codes, the property and callback
// structs, the fast-dispatch and host-callback procedure types, and the
// host-facing calls. Values and x86-64 layouts are the platform's.
//
// The host-facing calls (AudioUnitGetProperty, ...) pack their arguments and
// dispatch to the unit's component entry (QuillCallComponent); they check
// only that the instance is open (badComponentInstance otherwise). Checking
// pointers, sizes, scopes and elements is the unit's job, as on the platform.
#pragma once

#include "../CoreAudio/CoreAudioTypes.h"
#include "../CoreFoundation/CoreFoundation.h"
#include "../CoreServices/CoreServices.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef ComponentInstance AudioComponentInstance;
typedef ComponentInstance AudioUnit;
typedef ComponentInstance MusicDeviceComponent;
typedef ComponentInstance AudioUnitCarbonView;

typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;
typedef UInt32 AudioUnitRenderActionFlags;
typedef UInt32 AUParameterEventType;
typedef UInt32 AudioUnitParameterUnit;
typedef UInt32 AudioUnitParameterOptions;
typedef UInt32 MusicDeviceInstrumentID;
typedef UInt32 MusicDeviceGroupID;
typedef UInt32 NoteInstanceID;

// ---- Component types and codes ------------------------------------------------

enum
{
  kAudioUnitType_Output = QUILL_FOUR_CC('a', 'u', 'o', 'u'),
  kAudioUnitType_MusicDevice = QUILL_FOUR_CC('a', 'u', 'm', 'u'),
  kAudioUnitType_MusicEffect = QUILL_FOUR_CC('a', 'u', 'm', 'f'),
  kAudioUnitType_FormatConverter = QUILL_FOUR_CC('a', 'u', 'f', 'c'),
  kAudioUnitType_Effect = QUILL_FOUR_CC('a', 'u', 'f', 'x'),
  kAudioUnitType_Mixer = QUILL_FOUR_CC('a', 'u', 'm', 'x'),
  kAudioUnitType_Panner = QUILL_FOUR_CC('a', 'u', 'p', 'n'),
  kAudioUnitType_Generator = QUILL_FOUR_CC('a', 'u', 'g', 'n'),
  kAudioUnitType_OfflineEffect = QUILL_FOUR_CC('a', 'u', 'o', 'l'),
  kAudioUnitManufacturer_Apple = QUILL_FOUR_CC('a', 'p', 'p', 'l'),
  kAudioUnitCarbonViewComponentType = QUILL_FOUR_CC('a', 'u', 'v', 'w'),
};

// ---- Selectors ------------------------------------------------------------------

enum
{
  kAudioUnitRange = 0x0000,
  kAudioUnitInitializeSelect = 0x0001,
  kAudioUnitUninitializeSelect = 0x0002,
  kAudioUnitGetPropertyInfoSelect = 0x0003,
  kAudioUnitGetPropertySelect = 0x0004,
  kAudioUnitSetPropertySelect = 0x0005,
  kAudioUnitGetParameterSelect = 0x0006,
  kAudioUnitSetParameterSelect = 0x0007,
  kAudioUnitResetSelect = 0x0009,
  kAudioUnitAddPropertyListenerSelect = 0x000A,
  kAudioUnitRemovePropertyListenerSelect = 0x000B,
  kAudioUnitRenderSelect = 0x000E,
  kAudioUnitAddRenderNotifySelect = 0x000F,
  kAudioUnitRemoveRenderNotifySelect = 0x0010,
  kAudioUnitScheduleParametersSelect = 0x0011,
  kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,

  kMusicDeviceRange = 0x0100,
  kMusicDeviceMIDIEventSelect = 0x0101,
  kMusicDeviceSysExSelect = 0x0102,
  kMusicDevicePrepareInstrumentSelect = 0x0103,
  kMusicDeviceReleaseInstrumentSelect = 0x0104,
  kMusicDeviceStartNoteSelect = 0x0105,
  kMusicDeviceStopNoteSelect = 0x0106,

  kAudioUnitCarbonViewRange = 0x0300,
  kAudioUnitCarbonViewCreateSelect = 0x0301,
  kAudioUnitCarbonViewSetEventListenerSelect = 0x0302,
};

// ---- Error codes ----------------------------------------------------------------

enum
{
  kAudio_ParamError = -50,
  coreFoundationUnknownErr = -4960,
  kAudioUnitErr_InvalidProperty = -10879,
  kAudioUnitErr_InvalidParameter = -10878,
  kAudioUnitErr_InvalidElement = -10877,
  kAudioUnitErr_NoConnection = -10876,
  kAudioUnitErr_FailedInitialization = -10875,
  kAudioUnitErr_TooManyFramesToProcess = -10874,
  kAudioUnitErr_IllegalInstrument = -10873,
  kAudioUnitErr_InstrumentTypeNotFound = -10872,
  kAudioUnitErr_InvalidFile = -10871,
  kAudioUnitErr_UnknownFileType = -10870,
  kAudioUnitErr_FileNotSpecified = -10869,
  kAudioUnitErr_FormatNotSupported = -10868,
  kAudioUnitErr_Uninitialized = -10867,
  kAudioUnitErr_InvalidScope = -10866,
  kAudioUnitErr_PropertyNotWritable = -10865,
  kAudioUnitErr_CannotDoInCurrentContext = -10863,
  kAudioUnitErr_InvalidPropertyValue = -10851,
  kAudioUnitErr_PropertyNotInUse = -10850,
  kAudioUnitErr_Initialized = -10849,
  kAudioUnitErr_InvalidOfflineRender = -10848,
  kAudioUnitErr_Unauthorized = -10847,
};

// ---- Scopes and properties -------------------------------------------------------

enum
{
  kAudioUnitScope_Global = 0,
  kAudioUnitScope_Input = 1,
  kAudioUnitScope_Output = 2,
  kAudioUnitScope_Group = 3,
  kAudioUnitScope_Part = 4,
  kAudioUnitScope_Note = 5,
};

enum
{
  kAudioUnitProperty_ClassInfo = 0,
  kAudioUnitProperty_MakeConnection = 1,
  kAudioUnitProperty_SampleRate = 2,
  kAudioUnitProperty_ParameterList = 3,
  kAudioUnitProperty_ParameterInfo = 4,
  kAudioUnitProperty_FastDispatch = 5,
  kAudioUnitProperty_CPULoad = 6,
  kAudioUnitProperty_StreamFormat = 8,
  kAudioUnitProperty_SRCAlgorithm = 9,
  kAudioUnitProperty_ElementCount = 11,
  kAudioUnitProperty_BusCount = kAudioUnitProperty_ElementCount,
  kAudioUnitProperty_Latency = 12,
  kAudioUnitProperty_SupportedNumChannels = 13,
  kAudioUnitProperty_MaximumFramesPerSlice = 14,
  kAudioUnitProperty_SetExternalBuffer = 15,
  kAudioUnitProperty_ParameterValueStrings = 16,
  kAudioUnitProperty_MIDIControlMapping = 17,
  kAudioUnitProperty_GetUIComponentList = 18,
  kAudioUnitProperty_AudioChannelLayout = 19,
  kAudioUnitProperty_TailTime = 20,
  kAudioUnitProperty_BypassEffect = 21,
  kAudioUnitProperty_LastRenderError = 22,
  kAudioUnitProperty_SetRenderCallback = 23,
  kAudioUnitProperty_FactoryPresets = 24,
  kAudioUnitProperty_ContextName = 25,
  kAudioUnitProperty_RenderQuality = 26,
  kAudioUnitProperty_HostCallbacks = 27,
  kAudioUnitProperty_CurrentPreset = 28,
  kAudioUnitProperty_InPlaceProcessing = 29,
  kAudioUnitProperty_ElementName = 30,
  kAudioUnitProperty_CocoaUI = 31,
  kAudioUnitProperty_SupportedChannelLayoutTags = 32,
  kAudioUnitProperty_ParameterStringFromValue = 33,
  kAudioUnitProperty_ParameterValueName = kAudioUnitProperty_ParameterStringFromValue,
  kAudioUnitProperty_ParameterIDName = 34,
  kAudioUnitProperty_ParameterClumpName = 35,
  kAudioUnitProperty_PresentPreset = 36,
  kAudioUnitProperty_OfflineRender = 37,
  kAudioUnitProperty_ParameterValueFromString = 38,
  kAudioUnitProperty_IconLocation = 39,
  kAudioUnitProperty_PresentationLatency = 40,
  kAudioUnitProperty_AllParameterMIDIMappings = 41,
  kAudioUnitProperty_AddParameterMIDIMapping = 42,
  kAudioUnitProperty_RemoveParameterMIDIMapping = 43,
  kAudioUnitProperty_HotMapParameterMIDIMapping = 44,
  kAudioUnitProperty_DependentParameters = 45,
  kAudioUnitProperty_AUHostIdentifier = 46,
  kAudioUnitProperty_MIDIOutputCallbackInfo = 47,
  kAudioUnitProperty_MIDIOutputCallback = 48,
  kAudioUnitProperty_InputSamplesInOutput = 49,
  kAudioUnitProperty_ClassInfoFromDocument = 50,
  kAudioUnitProperty_ShouldAllocateBuffer = 51,
  kAudioUnitProperty_FrequencyResponse = 52,
  kMusicDeviceProperty_InstrumentCount = 1000,
};

enum
{
  kRenderQuality_Max = 0x7F,
  kRenderQuality_High = 0x60,
  kRenderQuality_Medium = 0x40,
  kRenderQuality_Low = 0x20,
  kRenderQuality_Min = 0,
};

// Keys of the class-info dictionary.
#define kAUPresetVersionKey "version"
#define kAUPresetTypeKey "type"
#define kAUPresetSubtypeKey "subtype"
#define kAUPresetManufacturerKey "manufacturer"
#define kAUPresetDataKey "data"
#define kAUPresetNameKey "name"

// ---- Flags -----------------------------------------------------------------------

enum
{
  kAudioUnitRenderAction_PreRender = (1U << 2),
  kAudioUnitRenderAction_PostRender = (1U << 3),
  kAudioUnitRenderAction_OutputIsSilence = (1U << 4),
  kAudioOfflineUnitRenderAction_Preflight = (1U << 5),
  kAudioOfflineUnitRenderAction_Render = (1U << 6),
  kAudioOfflineUnitRenderAction_Complete = (1U << 7),
  kAudioUnitRenderAction_PostRenderError = (1U << 8),
};

enum
{
  kAudioUnitParameterFlag_CFNameRelease = (1UL << 4),
  kAudioUnitParameterFlag_MeterReadOnly = (1UL << 15),
  kAudioUnitParameterFlag_DisplayMask = (7UL << 16) | (1UL << 22),
  kAudioUnitParameterFlag_DisplaySquareRoot = (1UL << 16),
  kAudioUnitParameterFlag_DisplaySquared = (2UL << 16),
  kAudioUnitParameterFlag_DisplayCubed = (3UL << 16),
  kAudioUnitParameterFlag_DisplayCubeRoot = (4UL << 16),
  kAudioUnitParameterFlag_DisplayExponential = (5UL << 16),
  kAudioUnitParameterFlag_HasClump = (1UL << 20),
  kAudioUnitParameterFlag_ValuesHaveStrings = (1UL << 21),
  kAudioUnitParameterFlag_HasName = kAudioUnitParameterFlag_ValuesHaveStrings,
  kAudioUnitParameterFlag_DisplayLogarithmic = (1UL << 22),
  kAudioUnitParameterFlag_IsHighResolution = (1UL << 23),
  kAudioUnitParameterFlag_NonRealTime = (1UL << 24),
  kAudioUnitParameterFlag_CanRamp = (1UL << 25),
  kAudioUnitParameterFlag_ExpertMode = (1UL << 26),
  kAudioUnitParameterFlag_HasCFNameString = (1UL << 27),
  kAudioUnitParameterFlag_IsGlobalMeta = (1UL << 28),
  kAudioUnitParameterFlag_IsElementMeta = (1UL << 29),
  kAudioUnitParameterFlag_IsReadable = (1UL << 30),
  kAudioUnitParameterFlag_IsWritable = (1UL << 31),
  kAudioUnitParameterFlag_Global = (1L << 0),
  kAudioUnitParameterFlag_Input = (1L << 1),
  kAudioUnitParameterFlag_Output = (1L << 2),
  kAudioUnitParameterFlag_Group = (1L << 3),
};

enum
{
  kAudioUnitClumpID_System = 0,
};

enum
{
  kAudioUnitParameterUnit_Generic = 0,
  kAudioUnitParameterUnit_Indexed = 1,
  kAudioUnitParameterUnit_Boolean = 2,
  kAudioUnitParameterUnit_Percent = 3,
  kAudioUnitParameterUnit_Seconds = 4,
  kAudioUnitParameterUnit_SampleFrames = 5,
  kAudioUnitParameterUnit_Phase = 6,
  kAudioUnitParameterUnit_Rate = 7,
  kAudioUnitParameterUnit_Hertz = 8,
  kAudioUnitParameterUnit_Cents = 9,
  kAudioUnitParameterUnit_RelativeSemiTones = 10,
  kAudioUnitParameterUnit_MIDINoteNumber = 11,
  kAudioUnitParameterUnit_MIDIController = 12,
  kAudioUnitParameterUnit_Decibels = 13,
  kAudioUnitParameterUnit_LinearGain = 14,
  kAudioUnitParameterUnit_Degrees = 15,
  kAudioUnitParameterUnit_EqualPowerCrossfade = 16,
  kAudioUnitParameterUnit_MixerFaderCurve1 = 17,
  kAudioUnitParameterUnit_Pan = 18,
  kAudioUnitParameterUnit_Meters = 19,
  kAudioUnitParameterUnit_AbsoluteCents = 20,
  kAudioUnitParameterUnit_Octaves = 21,
  kAudioUnitParameterUnit_BPM = 22,
  kAudioUnitParameterUnit_Beats = 23,
  kAudioUnitParameterUnit_Milliseconds = 24,
  kAudioUnitParameterUnit_Ratio = 25,
  kAudioUnitParameterUnit_CustomUnit = 26,
};

enum
{
  kAudioUnitParameterName_Full = -1,
};

enum
{
  kParameterEvent_Immediate = 1,
  kParameterEvent_Ramped = 2,
};

enum
{
  kMusicNoteEvent_UseGroupInstrument = 0xFFFFFFFF,
  kMusicNoteEvent_Unused = 0xFFFFFFFF,
};

// ---- Procedure types -------------------------------------------------------------

typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber, UInt32 inNumberFrames,
                                     AudioBufferList* ioData);
typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement);

// Fast-dispatch procedures: called with the unit's instance storage
// (GetComponentInstanceStorage), not the AudioUnit handle.
typedef OSStatus (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue* outValue);
typedef OSStatus (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);
typedef OSStatus (*AudioUnitRenderProc)(void* inComponentStorage, AudioUnitRenderActionFlags* ioActionFlags,
                                        const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                        UInt32 inNumberFrames, AudioBufferList* ioData);

// Host callbacks: any out-pointer may be NULL; a host that cannot answer
// returns kAudioUnitErr_CannotDoInCurrentContext. Call them only while rendering.
typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData, UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator,
                                                        UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);
// Later systems' form with the recording flag; a host may append it to
// HostCallbackInfo (40 bytes).
typedef OSStatus (*HostCallback_GetTransportState2)(void* inHostUserData, Boolean* outIsPlaying,
                                                    Boolean* outIsRecording, Boolean* outTransportStateChanged,
                                                    Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                    Float64* outCycleStartBeat, Float64* outCycleEndBeat);

// ---- Property structs ------------------------------------------------------------

typedef struct AURenderCallbackStruct
{
  AURenderCallback inputProc;
  void* inputProcRefCon;
} AURenderCallbackStruct;

typedef struct AudioUnitConnection
{
  AudioUnit sourceAudioUnit;
  UInt32 sourceOutputNumber;
  UInt32 destInputNumber;
} AudioUnitConnection;

// The original four-field form (32 bytes); later systems append a fifth
// procedure, so a host may pass 40 bytes.
typedef struct HostCallbackInfo
{
  void* hostUserData;
  HostCallback_GetBeatAndTempo beatAndTempoProc;
  HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
  HostCallback_GetTransportState transportStateProc;
} HostCallbackInfo;

typedef struct AudioUnitParameterInfo
{
  char name[52]; // UTF-8, NUL-terminated
  CFStringRef unitName;
  UInt32 clumpID;
  CFStringRef cfNameString;
  AudioUnitParameterUnit unit;
  AudioUnitParameterValue minValue;
  AudioUnitParameterValue maxValue;
  AudioUnitParameterValue defaultValue;
  UInt32 flags;
} AudioUnitParameterInfo;

typedef struct AUPreset
{
  SInt32 presetNumber; // < 0: user preset; >= 0: factory preset index
  CFStringRef presetName;
} AUPreset;

typedef struct AudioUnitCocoaViewInfo
{
  CFURLRef mCocoaAUViewBundleLocation;
  CFStringRef mCocoaAUViewClass[1];
} AudioUnitCocoaViewInfo;

typedef struct AUChannelInfo
{
  SInt16 inChannels;  // -1, -2: any; below -2: total across buses
  SInt16 outChannels;
} AUChannelInfo;

typedef struct AudioUnitParameterEvent
{
  AudioUnitScope scope;
  AudioUnitElement element;
  AudioUnitParameterID parameter;
  AUParameterEventType eventType;
  union
  {
    struct
    {
      SInt32 startBufferOffset;
      UInt32 durationInFrames;
      AudioUnitParameterValue startValue;
      AudioUnitParameterValue endValue;
    } ramp;
    struct
    {
      UInt32 bufferOffset;
      AudioUnitParameterValue value;
    } immediate;
  } eventValues;
} AudioUnitParameterEvent;

typedef struct AudioUnitParameterStringFromValue
{
  AudioUnitParameterID inParamID;
  const AudioUnitParameterValue* inValue; // NULL: the current value
  CFStringRef outString;
} AudioUnitParameterStringFromValue;

typedef struct AudioUnitParameterValueFromString
{
  AudioUnitParameterID inParamID;
  CFStringRef inString;
  AudioUnitParameterValue outValue;
} AudioUnitParameterValueFromString;

typedef struct AudioUnitParameterNameInfo
{
  UInt32 inID;
  SInt32 inDesiredLength; // kAudioUnitParameterName_Full for the whole name
  CFStringRef outName;
} AudioUnitParameterNameInfo;
typedef AudioUnitParameterNameInfo AudioUnitParameterIDName;

// Little-endian form of the version record.
typedef struct AUNumVersion
{
  UInt8 nonRelRev;
  UInt8 stage;
  UInt8 minorAndBugRev;
  UInt8 majorRev;
} AUNumVersion;

typedef struct AUHostIdentifier
{
  CFStringRef hostName;
  AUNumVersion hostVersion;
} AUHostIdentifier;

// Same bytes as AUHostIdentifier; hostVersion = majorRev << 24 |
// minorAndBugRev << 16 | stage << 8 | nonRelRev.
typedef struct AUHostVersionIdentifier
{
  CFStringRef hostName;
  UInt32 hostVersion;
} AUHostVersionIdentifier;

typedef struct AudioUnitExternalBuffer
{
  Byte* buffer;
  UInt32 size;
} AudioUnitExternalBuffer;

typedef struct MusicDeviceNoteParams
{
  UInt32 argCount; // 2 + number of controls
  Float32 mPitch;
  Float32 mVelocity;
  struct
  {
    UInt32 mID;
    Float32 mValue;
  } mControls[1];
} MusicDeviceNoteParams;

typedef struct MusicDeviceStdNoteParams
{
  UInt32 argCount;
  Float32 mPitch;
  Float32 mVelocity;
} MusicDeviceStdNoteParams;

// Carbon view creation (32-bit hosts only on the platform).
typedef struct OpaqueWindowPtr* WindowRef;
typedef struct OpaqueControlRef* ControlRef;
typedef struct Float32Point
{
  Float32 x;
  Float32 y;
} Float32Point;

static_assert(sizeof(AURenderCallbackStruct) == 16, "AURenderCallbackStruct layout");
static_assert(sizeof(AudioUnitConnection) == 16 && offsetof(AudioUnitConnection, destInputNumber) == 12,
              "AudioUnitConnection layout");
static_assert(sizeof(HostCallbackInfo) == 32, "HostCallbackInfo layout");
static_assert(sizeof(AudioUnitParameterInfo) == 104 && offsetof(AudioUnitParameterInfo, unitName) == 56 &&
                  offsetof(AudioUnitParameterInfo, clumpID) == 64 &&
                  offsetof(AudioUnitParameterInfo, cfNameString) == 72 &&
                  offsetof(AudioUnitParameterInfo, unit) == 80 && offsetof(AudioUnitParameterInfo, flags) == 96,
              "AudioUnitParameterInfo layout");
static_assert(sizeof(AUPreset) == 16 && offsetof(AUPreset, presetName) == 8, "AUPreset layout");
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16, "AudioUnitCocoaViewInfo layout");
static_assert(sizeof(AUChannelInfo) == 4, "AUChannelInfo layout");
static_assert(sizeof(AudioUnitParameterEvent) == 32 && offsetof(AudioUnitParameterEvent, eventValues) == 16,
              "AudioUnitParameterEvent layout");
static_assert(sizeof(AudioUnitParameterStringFromValue) == 24 &&
                  offsetof(AudioUnitParameterStringFromValue, outString) == 16,
              "AudioUnitParameterStringFromValue layout");
static_assert(sizeof(AudioUnitParameterValueFromString) == 24 &&
                  offsetof(AudioUnitParameterValueFromString, outValue) == 16,
              "AudioUnitParameterValueFromString layout");
static_assert(sizeof(AudioUnitParameterNameInfo) == 16 && offsetof(AudioUnitParameterNameInfo, outName) == 8,
              "AudioUnitParameterNameInfo layout");
static_assert(sizeof(AUNumVersion) == 4 && offsetof(AUNumVersion, majorRev) == 3, "AUNumVersion layout");
static_assert(sizeof(AUHostIdentifier) == 16 && sizeof(AUHostVersionIdentifier) == 16, "AUHostIdentifier layout");
static_assert(sizeof(AudioUnitExternalBuffer) == 16, "AudioUnitExternalBuffer layout");
static_assert(sizeof(MusicDeviceNoteParams) == 20 && sizeof(MusicDeviceStdNoteParams) == 12,
              "MusicDeviceNoteParams layout");
static_assert(sizeof(Float32Point) == 8, "Float32Point layout");

// ---- Host-facing calls -------------------------------------------------------------
// Each packs its arguments (without the unit) into the entry's parameter
// block in this order and returns the unit's answer, or badComponentInstance
// when the unit is not open. Any thread, as the unit allows.

// Prepares the unit for rendering / releases what rendering needed.
OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
// Size and writability of a property; outDataSize and outWritable may be NULL.
OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                  AudioUnitElement inElement, UInt32* outDataSize, Boolean* outWritable);
// Reads a property. *ioDataSize: in the capacity of outData, out the bytes written.
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
// Writes a property. inData points at the value (a CF object is passed as
// the address of its reference).
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
// Reads a parameter's plain value into *outValue.
OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue);
// Sets a parameter's plain value; the offset is in frames into the next render.
OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames);
// Applies inNumParamEvents parameter events in order.
OSStatus AudioUnitScheduleParameters(AudioUnit inUnit, const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents);
// Clears the unit's rendering state (delay lines, LFO phases, ...).
OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement);
// Registers a procedure called when the property changes.
OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData);
// The old form without user data (selector 11).
OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc);
// Removes the listener registered with exactly that procedure and user data.
OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc, void* inProcUserData);
// Registers a procedure called before and after each render.
OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
// Removes a render notification.
OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
// Render thread. A NULL mData in ioData asks the unit for its own buffers.
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData);

// Instrument calls: a MIDI message at a frame offset, a system-exclusive
// block, and starting / stopping a note.
OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                              UInt32 inOffsetSampleFrame);
OSStatus MusicDeviceSysEx(MusicDeviceComponent inUnit, const UInt8* inData, UInt32 inLength);
OSStatus MusicDeviceStartNote(MusicDeviceComponent inUnit, MusicDeviceInstrumentID inInstrument,
                              MusicDeviceGroupID inGroupID, NoteInstanceID* outNoteInstanceID,
                              UInt32 inOffsetSampleFrame, const MusicDeviceNoteParams* inParams);
OSStatus MusicDeviceStopNote(MusicDeviceComponent inUnit, MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                             UInt32 inOffsetSampleFrame);

#ifdef __cplusplus
}
#endif
