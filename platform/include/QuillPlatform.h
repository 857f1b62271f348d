// The one place that decides where the platform interfaces come from.
//
// On macOS the real framework headers are used. Everywhere else the headers
// under platform/standin/ stand in for them: the same names, values and struct
// layouts (x86-64, LP64), backed by the quill_platform library, plus a few
// host-side extensions (QuillPlatformHost.h) that let a test or a command-line
// host register components, bundles and view factory classes, which the
// operating system does on a Mac. platform/CMakeLists.txt puts the stand-in
// folder on the include path only when the stand-in is built, so code may
// also include the framework headers by their usual names.
#pragma once

#if defined(__APPLE__)
#define QUILL_PLATFORM_STANDIN 0
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AUCocoaUIView.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#else
#define QUILL_PLATFORM_STANDIN 1
#include "../standin/AudioToolbox/AudioToolbox.h"
#include "../standin/AudioUnit/AUCocoaUIView.h"
#include "../standin/AudioUnit/AudioUnit.h"
#include "../standin/CoreAudio/CoreAudioTypes.h"
#include "../standin/CoreFoundation/CoreFoundation.h"
#include "../standin/CoreServices/CoreServices.h"
#include "../standin/QuillPlatformHost.h"
#endif
