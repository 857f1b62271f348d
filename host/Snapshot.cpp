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

bool OpenEditorView(HostUnit& unit, IPlugAU** plug, void** view, std::string* error)
{
  AudioUnit au = unit.Unit();
  UInt32 size = 0;
  if (!au || AudioUnitGetPropertyInfo(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, nullptr) !=
                 noErr || size < sizeof(AudioUnitCocoaViewInfo))
  {
    *error = "the plug-in offers no editor view";
    return false;
  }
  AudioUnitCocoaViewInfo raw{};
  size = sizeof raw; // one class is all a host uses
  if (AudioUnitGetProperty(au, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &raw, &size) != noErr)
  {
    *error = "the plug-in offers no editor view";
    return false;
  }
  CocoaViewInfo info{raw.mCocoaAUViewBundleLocation, raw.mCocoaAUViewClass[0]};
  char className[256] = "";
  if (!info.className || !CFStringGetCString(info.className, className, sizeof className, kCFStringEncodingUTF8))
  {
    *error = "the plug-in names no view factory class";
    return false;
  }

  // As a Cocoa host does: find the factory class by name, check its protocol
  // version, ask it for a view of the unit.
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(className));
  if (!factory || factory->interfaceVersion() != 0)
  {
    *error = std::string("no usable view factory class \"") + className + "\"";
    return false;
  }
  *view = factory->uiViewForAudioUnit(au, NSSize{863, 468});

  // The factory knows the plug-in whose editor it opened.
  IPlugAUViewFactory* plugFactory = dynamic_cast<IPlugAUViewFactory*>(factory.get());
  *plug = plugFactory ? plugFactory->GetPlug() : nullptr;
  if (!*plug || !(*plug)->GetGUI())
  {
    *error = "the view factory opened no editor";
    return false;
  }
  return true;
}

bool SnapshotEditor(HostUnit& unit, const std::string& path, std::string* error)
{
  const std::string cannot = "cannot draw the editor into " + path + ": ";
  IPlugAU* plug = nullptr;
  void* view = nullptr;
  if (!OpenEditorView(unit, &plug, &view, error))
  {
    *error = cannot + *error;
    return false;
  }
  // The picture is drawn off-screen from the editor's back buffer, as a
  // first paint would; a window the view may have made is not needed.
  plug->GetGUI()->CloseWindow();
  OutputFile out;
  if (!out.Open(path, error)) return false;
  if (!WriteEditorSnapshot(static_cast<IPlugBase*>(plug), out.TempPath().c_str()))
  {
    *error = cannot + "drawing or encoding failed";
    return false;
  }
  return out.Commit(error);
}
