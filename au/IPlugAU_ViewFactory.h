// How a host obtains the plug-in's editor view.
//
// IPlugAUViewFactory is the view factory class a Cocoa host finds by the
// name the CocoaUI property reports; the plug-in derives its named class
// from it and registers it. IPlugAUCarbonViewEntry is the older view
// component's entry, which the plug-in's exported view entry forwards to.
#pragma once

#include <QuillPlatform.h>

class IPlugAU;

class IPlugAUViewFactory : public AUCocoaUIBase
{
public:
  // description: the text description() answers (null counts as "").
  explicit IPlugAUViewFactory(const char* description);
  ~IPlugAUViewFactory() override;

  // 0: the current protocol. Main thread.
  unsigned interfaceVersion() override { return 0; }
  // Finds the plug-in in the unit's instance storage and remembers it; null
  // when there is none or it has no editor. Otherwise opens the editor's
  // window without a parent, calls OnGUIOpen and returns what the window
  // opening produced (null on a system without windows). The size is not
  // used: the editor has its own. Main thread.
  NSView* uiViewForAudioUnit(AudioUnit inAudioUnit, NSSize inPreferredSize) override;
  // The description (owned by the factory; null when memory is short).
  CFStringRef description() override { return mDescription; }

  // The plug-in whose editor the last uiViewForAudioUnit opened, or null.
  IPlugAU* GetPlug() const { return mPlug; }

private:
  IPlugAU* mPlug = nullptr;
  CFStringRef mDescription = nullptr;
};

// The legacy view component's entry: open, create (opens the editor inside
// the host's window and control) and close. badComponentSelector for other
// selectors and for a unit without editor; kAudio_ParamError for a null
// out-control. Main thread.
extern "C" ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* pView);
