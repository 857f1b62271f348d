// How a host gets the editor's view: the view factory class found by name,
// the properties that point to it, and the legacy view component.
#include "AUTestHost.h"

#include <string>

#include "au/IPlugAU_ViewFactory.h"
#include "editor/IGraphicsHeadless.h"

using namespace tremolo_config;

namespace
{
// A headless editor that counts window calls.
class CountingEditor : public IGraphicsHeadless
{
public:
  using IGraphicsHeadless::IGraphicsHeadless;
  int opened = 0, closed = 0;
  void* OpenWindow(void* parent) override
  {
    ++opened;
    return IGraphicsHeadless::OpenWindow(parent);
  }
  void* OpenWindow(void* parent, void* parentControl, short x, short y) override
  {
    ++opened;
    return IGraphicsHeadless::OpenWindow(parent, parentControl, x, y);
  }
  void CloseWindow() override { ++closed; }
};

ComponentResult ViewEntry(ComponentParameters* params, Handle storage)
{
  return QuillbarTremolo_ViewEntry(params, storage);
}

Component ViewComponent()
{
  static Component c = [] {
    ComponentDescription cd = TremoloDescription();
    cd.componentType = kAudioUnitCarbonViewComponentType;
    return QuillRegisterComponent(&cd, &ViewEntry, "QuillbarTremolo view");
  }();
  return c;
}
} // namespace

class AUViewTest : public AUHostTest
{
protected:
  CountingEditor* editor = nullptr;

  // The host cannot attach an editor; the test gives the plug-in a counting
  // one so that the view paths have something to open.
  void AttachEditor()
  {
    editor = new CountingEditor(Plug(), 863, 468);
    Plug()->AttachGraphics(editor);
  }
};

TEST_F(AUViewTest, TheFactoryClassIsFoundByTheNameTheUnitReports)
{
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(kViewFactoryClassName));
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->interfaceVersion(), 0u);
  EXPECT_EQ(ToStd(factory->description()), "QuillbarTremolo View");
}

TEST_F(AUViewTest, CocoaUiNamesTheBundleAndTheFactoryClass)
{
  AttachEditor();
  QuillRegisterBundle(kBundleID, "/tmp/QuillbarTremolo.component", nullptr);
  AudioUnitCocoaViewInfo info;
  UInt32 size = sizeof(info);
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size), noErr);
  EXPECT_EQ(size, 16u);
  EXPECT_EQ(ToStd(info.mCocoaAUViewClass[0]), kViewFactoryClassName);
  CFStringRef path = CFURLCopyFileSystemPath(info.mCocoaAUViewBundleLocation, kCFURLPOSIXPathStyle);
  EXPECT_EQ(ToStd(path), "/tmp/QuillbarTremolo.component");
  CFRelease(path);
  CFRelease(info.mCocoaAUViewBundleLocation);
  CFRelease(info.mCocoaAUViewClass[0]);
}

TEST_F(AUViewTest, UiComponentListDescribesTheViewComponent)
{
  AttachEditor();
  ComponentDescription cd;
  UInt32 size = sizeof(cd);
  ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_GetUIComponentList, kAudioUnitScope_Global, 0, &cd, &size),
            noErr);
  EXPECT_EQ(cd.componentType, static_cast<OSType>(kAudioUnitCarbonViewComponentType));
  EXPECT_EQ(cd.componentSubType, static_cast<OSType>(kUniqueID));
  EXPECT_EQ(cd.componentManufacturer, static_cast<OSType>(kMfrID));
  EXPECT_EQ(cd.componentFlags, 0u);
  EXPECT_EQ(cd.componentFlagsMask, 0u);
}

TEST_F(AUViewTest, TheFactoryOpensTheEditorOfTheUnitItIsGiven)
{
  AttachEditor();
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(kViewFactoryClassName));
  ASSERT_NE(factory, nullptr);
  NSView* view = factory->uiViewForAudioUnit(unit, NSSize{100, 100});
  EXPECT_EQ(editor->opened, 1);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(static_cast<void*>(view), editor->GetWindow()) << "the editor's off-screen view";
  int w = 0, h = 0;
  EXPECT_TRUE(QuillGetOffscreenViewSize(view, &w, &h)) << "a host can take its picture";
  EXPECT_EQ(static_cast<IPlugAUViewFactory*>(factory.get())->GetPlug(), Plug());
}

TEST_F(AUViewTest, TheFactoryAnswersNullForAUnitThatIsNotOpen)
{
  std::unique_ptr<AUCocoaUIBase> factory(QuillCreateViewFactory(kViewFactoryClassName));
  EXPECT_EQ(factory->uiViewForAudioUnit(reinterpret_cast<AudioUnit>(0x1234), NSSize{0, 0}), nullptr);
  EXPECT_EQ(static_cast<IPlugAUViewFactory*>(factory.get())->GetPlug(), nullptr);
}

TEST_F(AUViewTest, TheLegacyViewComponentOpensAndClosesTheEditor)
{
  AttachEditor();
  ComponentInstance view = nullptr;
  ASSERT_EQ(OpenAComponent(ViewComponent(), &view), noErr);
  Float32Point location = {0, 0}, size = {863, 468};
  ControlRef control = reinterpret_cast<ControlRef>(0x1);
  ASSERT_EQ(QuillCallComponent(view, kAudioUnitCarbonViewCreateSelect, unit, static_cast<WindowRef>(nullptr),
                               static_cast<ControlRef>(nullptr), &location, &size, &control),
            noErr);
  EXPECT_EQ(control, nullptr) << "what the headless editor's window opening produced";
  EXPECT_EQ(editor->opened, 1);
  EXPECT_EQ(QuillCallComponent(view, kAudioUnitCarbonViewCreateSelect, unit, static_cast<WindowRef>(nullptr),
                               static_cast<ControlRef>(nullptr), &location, &size, static_cast<ControlRef*>(nullptr)),
            kAudio_ParamError);
  EXPECT_EQ(QuillCallComponent(view, kAudioUnitCarbonViewSetEventListenerSelect), badComponentSelector);
  EXPECT_EQ(CloseComponent(view), noErr);
  EXPECT_EQ(editor->closed, 1);
}

TEST_F(AUViewTest, TheLegacyViewComponentRefusesAUnitThatIsNotOpen)
{
  ComponentInstance view = nullptr;
  ASSERT_EQ(OpenAComponent(ViewComponent(), &view), noErr);
  ControlRef control = nullptr;
  Float32Point p = {0, 0};
  EXPECT_EQ(QuillCallComponent(view, kAudioUnitCarbonViewCreateSelect, reinterpret_cast<AudioUnit>(0x99),
                               static_cast<WindowRef>(nullptr), static_cast<ControlRef>(nullptr), &p, &p, &control),
            badComponentSelector);
  EXPECT_EQ(CloseComponent(view), noErr);
}
