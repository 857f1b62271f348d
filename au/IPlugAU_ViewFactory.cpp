#include "au/IPlugAU_ViewFactory.h"

#include <cstring>
#include <new>

#include "au/AUSupport.h"
#include "au/IPlugAU.h"
#include "editor/IGraphics.h"

IPlugAUViewFactory::IPlugAUViewFactory(const char* description)
  : mDescription(CFStringCreateWithCString(kCFAllocatorDefault, description ? description : "", kCFStringEncodingUTF8))
{
}

IPlugAUViewFactory::~IPlugAUViewFactory()
{
  if (mDescription) CFRelease(mDescription);
}

NSView* IPlugAUViewFactory::uiViewForAudioUnit(AudioUnit inAudioUnit, NSSize)
{
  mPlug = reinterpret_cast<IPlugAU*>(GetComponentInstanceStorage(inAudioUnit));
  if (!mPlug || !mPlug->GetEditor()) return nullptr;
  void* view = mPlug->GetGUI()->OpenWindow(nullptr);
  mPlug->OnGUIOpen();
  return static_cast<NSView*>(view);
}

using au_support::Arg;

namespace
{
// The view component's instance storage.
struct CarbonViewRecord
{
  ComponentInstance mCI;
  IPlugAU* mPlug;
};
} // namespace

extern "C" ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* pView)
{
  if (!params) return badComponentSelector;
  CarbonViewRecord* record = static_cast<CarbonViewRecord*>(pView);
  switch (params->what)
  {
    case kComponentOpenSelect:
    {
      ComponentInstance ci = reinterpret_cast<ComponentInstance>(params->params[0]);
      record = new (std::nothrow) CarbonViewRecord{ci, nullptr};
      if (!record) return kAudio_ParamError;
      SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(record));
      return noErr;
    }
    case kAudioUnitCarbonViewCreateSelect:
    {
      if (!record) return badComponentInstance;
      AudioUnit editUnit = Arg<AudioUnit>(params, 0);
      WindowRef window = Arg<WindowRef>(params, 1);
      ControlRef parent = Arg<ControlRef>(params, 2);
      ControlRef* pOutControl = Arg<ControlRef*>(params, 5);
      record->mPlug = reinterpret_cast<IPlugAU*>(GetComponentInstanceStorage(editUnit));
      if (!record->mPlug || !record->mPlug->GetEditor()) return badComponentSelector;
      if (!pOutControl) return kAudio_ParamError;
      *pOutControl = static_cast<ControlRef>(record->mPlug->GetGUI()->OpenWindow(window, parent, 0, 0));
      return noErr;
    }
    case kComponentCloseSelect:
    {
      if (record)
      {
        if (record->mPlug && record->mPlug->GetEditor()) record->mPlug->GetGUI()->CloseWindow();
        delete record;
      }
      return noErr;
    }
    default: return badComponentSelector;
  }
}
