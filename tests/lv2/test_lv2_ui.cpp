// The bundle's X11 UI in a host's window: this test is the host. It makes a
// parent window on a private X server, loads the UI module as a host does,
// drives it with idle calls and clicks the editor with xdotool as a user
// would, and watches what the UI writes to the plug-in's ports.
// GoogleTest before Xlib, whose None macro would clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <vector>

#include "LV2UITestSupport.h"
#include "lv2/LV2Ports.h"
#include "tremolo/QuillbarTremoloConfig.h"

namespace
{

struct Write
{
  uint32_t port;
  float value;
};

struct Host
{
  std::vector<Write> writes;
  std::vector<std::pair<uint32_t, bool>> touches;
  int width = 0, height = 0;

  static void WritePort(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buf)
  {
    if (format == 0 && size == sizeof(float)) static_cast<Host*>(c)->writes.push_back({port, *static_cast<const float*>(buf)});
  }
  static int Resize(LV2UI_Feature_Handle h, int w, int hgt)
  {
    static_cast<Host*>(h)->width = w;
    static_cast<Host*>(h)->height = hgt;
    return 0;
  }
  static void Touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed)
  {
    static_cast<Host*>(h)->touches.push_back({port, grabbed});
  }
};

TEST(LV2UI, OpensInTheHostWindowAndAClickOnSyncWritesTheTempoSyncPort)
{
  const lv2ui_test::ParentWindow parent;
  ASSERT_NE(parent.dpy, nullptr) << "no X display (the test runs under xvfb-run)";

  void* module = dlopen(QUILL_LV2_BUNDLE "/QuillbarTremolo_ui.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
  ASSERT_NE(entry, nullptr);
  const LV2UI_Descriptor* d = entry(0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->URI, QUILL_LV2_URI ":ui");
  EXPECT_EQ(entry(1), nullptr);
  const auto* idle = static_cast<const LV2UI_Idle_Interface*>(d->extension_data(LV2_UI__idleInterface));
  ASSERT_NE(idle, nullptr);

  Host host;
  LV2UI_Resize resize = {&host, &Host::Resize};
  LV2UI_Touch touch = {&host, &Host::Touch};
  const LV2_Feature parentF = parent.Feature();
  const LV2_Feature resizeF = {LV2_UI__resize, &resize};
  const LV2_Feature touchF = {LV2_UI__touch, &touch};
  const LV2_Feature idleF = {LV2_UI__idleInterface, nullptr};
  const LV2_Feature* noParent[] = {&resizeF, nullptr};
  LV2UI_Widget widget = nullptr;
  EXPECT_EQ(d->instantiate(d, QUILL_LV2_URI, QUILL_LV2_BUNDLE, &Host::WritePort, &host, &widget, noParent), nullptr)
    << "an X11 UI needs the host's window";

  const LV2_Feature* features[] = {&parentF, &resizeF, &touchF, &idleF, nullptr};
  LV2UI_Handle ui = d->instantiate(d, QUILL_LV2_URI, QUILL_LV2_BUNDLE, &Host::WritePort, &host, &widget, features);
  ASSERT_NE(ui, nullptr);
  EXPECT_NE(widget, nullptr);
  // The second run of this program asks for 2x through the view's variable.
  const int scale = lv2ui_test::UIScale();
  EXPECT_EQ(host.width, 863 * scale);
  EXPECT_EQ(host.height, 468 * scale);

  // The host sends its port values when the UI opens.
  const LV2PortLayout ports{2, 2, kNumParams};
  for (int i = 0; i < kNumParams; ++i)
  {
    const float v = static_cast<float>(kTremoloParams[i].defaultVal);
    d->port_event(ui, ports.Param(i), sizeof(float), 0, &v);
  }
  lv2ui_test::SpinIdle(idle, ui, 300);
  EXPECT_TRUE(host.writes.empty()) << "host values are not echoed back";

  for (int y : {lv2ui_test::kSyncOnY, lv2ui_test::kSyncOffY})
  {
    ASSERT_TRUE(lv2ui_test::ClickEditor(lv2ui_test::kSyncX, y, scale));
    lv2ui_test::SpinIdle(idle, ui, 200);
  }
  bool wroteOn = false, wroteOff = false;
  for (const Write& w : host.writes)
  {
    EXPECT_EQ(w.port, static_cast<uint32_t>(ports.Param(kTempoSync))) << "only the switch was clicked";
    if (w.value == 1.0f) wroteOn = true;
    if (w.value == 0.0f) wroteOff = true;
  }
  EXPECT_TRUE(wroteOn && wroteOff) << host.writes.size() << " writes";

  d->cleanup(ui);
}

} // namespace
