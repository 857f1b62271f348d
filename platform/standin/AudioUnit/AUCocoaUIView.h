// The view factory protocol through which a host asks a unit for its editor
// view. On the platform it is an Objective-C protocol and the host finds the
// factory class by name in the run-time; here it is an abstract C++ class and
// the class is found in a small registry (QuillPlatformHost.h).
#pragma once

#include "../AudioUnit/AudioUnit.h"

struct NSView; // the window system's view; opaque to the audio layer

struct NSSize
{
  CGFloat width;
  CGFloat height;
};

class AUCocoaUIBase
{
public:
  virtual ~AUCocoaUIBase() = default;
  // 0 for the current protocol. Main thread.
  virtual unsigned interfaceVersion() = 0;
  // A new view editing the unit, or NULL when the unit has no editor.
  // preferredSize in points; a factory may ignore it. Main thread.
  virtual NSView* uiViewForAudioUnit(AudioUnit inAudioUnit, NSSize inPreferredSize) = 0;
  // Human-readable name of the factory (Get rule: owned by the factory).
  virtual CFStringRef description() = 0;
};
