// The bundle's X11 UI embedded the way real hosts load plug-in UIs: lilv
// finds the UI in the build tree's bundle, suil loads it into a window of
// ours, and a click on the "sync" switch has to come back through suil's
// port-write callback as a write to the tempo_sync port.
// GoogleTest (through the headers below) before Xlib, whose None macro would
// clash with it.
#include "LV2TestHost.h"
#include "LV2UITestSupport.h"

#include <dlfcn.h>
#include <X11/Xlib.h>
#include <suil/suil.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{

struct PortWrites
{
  std::vector<std::pair<uint32_t, float>> list;

  static void Write(SuilController c, uint32_t port, uint32_t size, uint32_t protocol, const void* buf)
  {
    if (protocol == 0 && size == sizeof(float))
      static_cast<PortWrites*>(c)->list.emplace_back(port, *static_cast<const float*>(buf));
  }
};

TEST(LV2Suil, EmbedsTheX11UIAndTheSyncSwitchWritesTheTempoSyncPort)
{
  LV2World& w = World();
  ASSERT_NE(w.plugin, nullptr);

  // The first UI suil can put in an X11 window, as a host chooses.
  LilvNode* container = w.Uri(LV2_UI__X11UI);
  LilvUIs* uis = lilv_plugin_get_uis(w.plugin);
  const LilvUI* ui = nullptr;
  const LilvNode* uiType = nullptr;
  LILV_FOREACH (uis, i, uis)
  {
    if (lilv_ui_is_supported(lilv_uis_get(uis, i), suil_ui_supported, container, &uiType))
    {
      ui = lilv_uis_get(uis, i);
      break;
    }
  }
  ASSERT_NE(ui, nullptr) << "no UI suil embeds in an X11 window";

  // A host refuses a UI that requires a feature it does not offer.
  UridMap map;
  const std::set<std::string> offered = {LV2_UI__parent, LV2_UI__idleInterface, LV2_URID__map};
  LilvNode* required = w.Uri(LV2_CORE__requiredFeature);
  LilvNodes* needs = lilv_world_find_nodes(w.world, lilv_ui_get_uri(ui), required, nullptr);
  LILV_FOREACH (nodes, i, needs)
  {
    EXPECT_EQ(offered.count(lilv_node_as_uri(lilv_nodes_get(needs, i))), 1u) << lilv_node_as_uri(lilv_nodes_get(needs, i));
  }
  lilv_nodes_free(needs);
  lilv_node_free(required);

  LilvNode* symbol = lilv_new_string(w.world, "tempo_sync");
  const LilvPort* syncPort = lilv_plugin_get_port_by_symbol(w.plugin, symbol);
  lilv_node_free(symbol);
  ASSERT_NE(syncPort, nullptr);
  const uint32_t sync = lilv_port_get_index(w.plugin, syncPort);

  const lv2ui_test::ParentWindow parent;
  ASSERT_NE(parent.dpy, nullptr) << "no X display (the test runs under xvfb-run)";

  PortWrites writes;
  SuilHost* host = suil_host_new(&PortWrites::Write, nullptr, nullptr, nullptr);
  const LV2_Feature parentF = parent.Feature();
  const LV2_Feature idleF = {LV2_UI__idleInterface, nullptr};
  const LV2_Feature* features[] = {&parentF, &idleF, map.Feature(), nullptr};
  char* bundle = lilv_node_get_path(lilv_ui_get_bundle_uri(ui), nullptr);
  char* binary = lilv_node_get_path(lilv_ui_get_binary_uri(ui), nullptr);
  // suil unloads the module when the instance is freed, which would take the
  // module's process-wide objects (font cache, registries) with it and leave
  // the leak checker seeing them as unreferenced. A host keeps those for the
  // life of the process, so the module stays mapped here too.
  void* keepLoaded = dlopen(binary, RTLD_NOW | RTLD_NODELETE);
  ASSERT_NE(keepLoaded, nullptr) << dlerror();
  SuilInstance* inst = suil_instance_new(host, &writes, LV2_UI__X11UI, QUILL_LV2_URI, lilv_node_as_uri(lilv_ui_get_uri(ui)),
                                         lilv_node_as_uri(uiType), bundle, binary, features);
  ASSERT_NE(inst, nullptr);
  EXPECT_NE(suil_instance_get_widget(inst), nullptr);
  const auto* idle =
    static_cast<const LV2UI_Idle_Interface*>(suil_instance_extension_data(inst, LV2_UI__idleInterface));
  ASSERT_NE(idle, nullptr);
  LV2UI_Handle handle = suil_instance_get_handle(inst);

  // The host sends every control port's value when the UI opens.
  std::vector<float> defaults(lilv_plugin_get_num_ports(w.plugin));
  lilv_plugin_get_port_ranges_float(w.plugin, nullptr, nullptr, defaults.data());
  for (uint32_t i = 0; i < defaults.size(); ++i)
  {
    if (!std::isnan(defaults[i])) suil_instance_port_event(inst, i, sizeof(float), 0, &defaults[i]);
  }
  lv2ui_test::SpinIdle(idle, handle, 300);
  EXPECT_TRUE(writes.list.empty()) << "host values are not echoed back";

  // Each click must end in a write of its value to tempo_sync and nothing else.
  const int scale = lv2ui_test::UIScale();
  for (const auto& [y, value] : {std::pair{lv2ui_test::kSyncOnY, 1.0f}, std::pair{lv2ui_test::kSyncOffY, 0.0f}})
  {
    ASSERT_TRUE(lv2ui_test::ClickEditor(lv2ui_test::kSyncX, y, scale));
    const auto wrote = [&, value = value] {
      return !writes.list.empty() && writes.list.back() == std::pair{sync, value};
    };
    EXPECT_TRUE(lv2ui_test::SpinIdleUntil(idle, handle, wrote, 10000)) << "no write of " << value;
  }
  for (const auto& [port, value] : writes.list) EXPECT_EQ(port, sync) << "only the switch was clicked";

  suil_instance_free(inst);
  suil_host_free(host);
  lilv_free(binary);
  lilv_free(bundle);
  lilv_uis_free(uis);
  lilv_node_free(container);
}

} // namespace
