// View factory classes: registration by name, lookup and creation, and a
// factory that finds its plug-in through the unit's instance storage.
#include <gtest/gtest.h>

#include "PlatformTestSupport.h"

namespace
{
struct FakePlugin
{
  bool hasEditor = true;
  int opened = 0;
  NSView* view = reinterpret_cast<NSView*>(0x1000);
};

// Shaped like the plug-in's factory: the plug-in comes from the unit's
// storage, and a unit without editor gets no view.
class StorageViewFactory : public AUCocoaUIBase
{
public:
  static int sLive;
  StorageViewFactory() { ++sLive; }
  ~StorageViewFactory() override { --sLive; }
  unsigned interfaceVersion() override { return 0; }
  NSView* uiViewForAudioUnit(AudioUnit unit, NSSize) override
  {
    FakePlugin* plug = reinterpret_cast<FakePlugin*>(GetComponentInstanceStorage(unit));
    if (!plug || !plug->hasEditor)
      return nullptr;
    ++plug->opened;
    return plug->view;
  }
  CFStringRef description() override { return CFSTR("Storage View"); }
};
int StorageViewFactory::sLive = 0;

AUCocoaUIBase* CreateStorageViewFactory()
{
  return new StorageViewFactory();
}
AUCocoaUIBase* CreateNothing()
{
  return nullptr;
}
} // namespace

TEST(ViewFactoryRegistry, ARegisteredClassIsFoundAndInstantiatedByName)
{
  ASSERT_TRUE(QuillRegisterViewFactoryClass("Test_StorageView", CreateStorageViewFactory));
  EXPECT_EQ(QuillViewFactoryClassFromString("Test_StorageView"), &CreateStorageViewFactory);
  AUCocoaUIBase* factory = QuillCreateViewFactory("Test_StorageView");
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(StorageViewFactory::sLive, 1);
  EXPECT_EQ(factory->interfaceVersion(), 0u);
  EXPECT_TRUE(CFEqual(factory->description(), CFSTR("Storage View")));
  delete factory;
  EXPECT_EQ(StorageViewFactory::sLive, 0);
}

TEST(ViewFactoryRegistry, UnknownNamesAndBadRegistrationsGiveNothing)
{
  EXPECT_EQ(QuillViewFactoryClassFromString("NoSuch_View"), nullptr);
  EXPECT_EQ(QuillViewFactoryClassFromString(nullptr), nullptr);
  EXPECT_EQ(QuillCreateViewFactory("NoSuch_View"), nullptr);
  EXPECT_FALSE(QuillRegisterViewFactoryClass(nullptr, CreateStorageViewFactory));
  EXPECT_FALSE(QuillRegisterViewFactoryClass("", CreateStorageViewFactory));
  EXPECT_FALSE(QuillRegisterViewFactoryClass("Test_NullProc", nullptr));
  ASSERT_TRUE(QuillRegisterViewFactoryClass("Test_Failing", CreateNothing));
  EXPECT_EQ(QuillCreateViewFactory("Test_Failing"), nullptr);
}

TEST(ViewFactoryRegistry, AHostGetsTheViewOfThePluginBehindTheUnit)
{
  gRecorder = Recorder();
  FakePlugin plug;
  gRecorder.storageToRegister = reinterpret_cast<Handle>(&plug);
  ComponentDescription d = EffectDescription(QUILL_FOUR_CC('V', 'i', 'e', 'w'));
  Component c = QuillRegisterComponent(&d, RecordingEntry, "viewer");
  AudioUnit unit = OpenComponent(c);
  ASSERT_NE(unit, nullptr);
  QuillRegisterViewFactoryClass("Test_StorageView", CreateStorageViewFactory);

  AUCocoaUIBase* factory = QuillCreateViewFactory("Test_StorageView");
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->uiViewForAudioUnit(unit, NSSize{400, 300}), plug.view);
  EXPECT_EQ(plug.opened, 1);
  plug.hasEditor = false;
  EXPECT_EQ(factory->uiViewForAudioUnit(unit, NSSize{400, 300}), nullptr);
  delete factory;

  CloseComponent(unit);
  QuillUnregisterComponent(c);
}
