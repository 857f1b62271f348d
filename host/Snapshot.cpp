#include "host/Snapshot.h"

#include <memory>

#include "au/IPlugAU.h"
#include "au/IPlugAU_ViewFactory.h"
#include "editor/IGraphics.h"
#include "host/HostUnit.h"
#include "host/OutputFile.h"
#include "tremolo/EditorSnapshot.h"

namespace
{

// Owner of the CocoaUI answer: the bundle URL and class name belong to the
// host once read.
struct CocoaViewInfo
{
  CFURLRef bundle = nullptr;
  CFStringRef className = nullptr;
  ~CocoaViewInfo()
  {
    CFRelease(bundle);
    CFRelease(className);
  }
};

} // namespace

bool SnapshotEditor(HostUnit& unit, const std::string& path, std::string* error)
{
  const std::string cannot = "cannot draw the editor into " + path + ": ";
  AudioUnit au = unit.Unit();
  UInt32 size = 0;
  if (!au || AudioUnitGetPropertyInfo(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, nullptr) !=
                 noErr || size < sizeof(AudioUnitCocoaViewInfo))
  {
    *error = cannot + "the plug-in offers no editor view";
    return false;
  }
  AudioUnitCocoaViewInfo raw{};
  size = sizeof raw; // one class is all a host uses
  if (AudioUnitGetProperty(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &raw, &size) != noErr)
  {
    *error = cannot + "the plug-in offers no editor view";
    return false;
  }
  CocoaViewInfo info{raw.mCocoaAUViewBundleLocation, raw.mCocoaAUViewClass[0]};
  char className[256] = "";
  if (!info.className || !CFStringGetCString(info.className, className, sizeof className, kCFStringEncodingUTF8))
  {
    *error = cannot + "the plug-in names no view factory class";
    return false;
  }

  // As a Cocoa host does: find the factory class by name, check its protocol
  // version, ask it for a view of the unit.
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(className));
  if (!factory || factory->interfaceVersion() != 0)
  {
    *error = cannot + "no usable view factory class \"" + className + "\"";
    return false;
  }
  factory->uiViewForAudioUnit(au, NSSize{863, 468});

  // Without a window system the view is drawn off-screen: the factory knows
  // the plug-in whose editor it opened, and that editor renders its back
  // buffer as a first paint would.
  IPlugAUViewFactory* plugFactory = dynamic_cast<IPlugAUViewFactory*>(factory.get());
  IPlugAU* plug = plugFactory ? plugFactory->GetPlug() : nullptr;
  if (!plug || !plug->GetGUI())
  {
    *error = cannot + "the view factory opened no editor";
    return false;
  }
  OutputFile out;
  if (!out.Open(path, error)) return false;
  if (!WriteEditorSnapshot(static_cast<IPlugBase*>(plug), out.TempPath().c_str()))
  {
    *error = cannot + "drawing or encoding failed";
    return false;
  }
  return out.Commit(error);
}
