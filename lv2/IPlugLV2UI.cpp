#include "lv2/IPlugLV2UI.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "bridge/IGraphicsLinux.h"
#include "lv2/IPlugLV2.h"

namespace
{

struct UI
{
  std::unique_ptr<IPlugLV2> plug;
  IGraphicsLinux* gui = nullptr;
};

const void* FeatureData(const LV2_Feature* const* features, const char* uri)
{
  for (const LV2_Feature* const* f = features; f && *f; ++f)
    if ((*f)->URI && !std::strcmp((*f)->URI, uri)) return (*f)->data;
  return nullptr;
}

bool HasFeature(const LV2_Feature* const* features, const char* uri)
{
  for (const LV2_Feature* const* f = features; f && *f; ++f)
    if ((*f)->URI && !std::strcmp((*f)->URI, uri)) return true;
  return false;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* /*pluginURI*/, const char* /*bundlePath*/,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
  // ui:parent carries the window id itself as its data; 0 is no window.
  if (!widget || !HasFeature(features, LV2_UI__parent)) return nullptr;
  const unsigned long parent =
    static_cast<unsigned long>(reinterpret_cast<uintptr_t>(FeatureData(features, LV2_UI__parent)));
  if (!parent) return nullptr;

  auto ui = std::make_unique<UI>();
  ui->plug.reset(MakePlug());
  if (!ui->plug) return nullptr;
  ui->gui = dynamic_cast<IGraphicsLinux*>(ui->plug->GetGUI());
  if (!ui->gui) return nullptr; // no X display named
  // The model starts from the defaults; the host sends its port values next.
  ui->plug->OnParamReset();

  void* view = ui->gui->OpenWindow(IGraphicsLinux::ParentFromXID(parent));
  const unsigned long xid = IGraphicsLinux::XIDFromView(view);
  if (!xid) return nullptr;
  *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(xid));

  if (const auto* resize = static_cast<const LV2UI_Resize*>(FeatureData(features, LV2_UI__resize)))
    if (resize->ui_resize)
      resize->ui_resize(resize->handle, ui->gui->Width() * ui->gui->Scale(), ui->gui->Height() * ui->gui->Scale());
  ui->plug->SetUIHost(write, controller, static_cast<const LV2UI_Touch*>(FeatureData(features, LV2_UI__touch)));
  ui->plug->OnGUIOpen();
  return ui.release();
}

void Cleanup(LV2UI_Handle h)
{
  UI* ui = static_cast<UI*>(h);
  ui->plug->SetUIHost(nullptr, nullptr, nullptr);
  ui->gui->CloseWindow();
  ui->plug->OnGUIClose();
  delete ui;
}

void PortEvent(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
  UI* ui = static_cast<UI*>(h);
  // Control ports come as one float (format 0); anything else is not ours.
  if (format != 0 || size != sizeof(float) || !buffer) return;
  const int idx = ui->plug->Ports().ParamOfPort(port);
  if (idx >= 0) ui->plug->SetParameterFromHost(idx, *static_cast<const float*>(buffer));
}

int Idle(LV2UI_Handle h)
{
  // Non-zero asks the host to close the UI: the view is gone.
  return static_cast<UI*>(h)->gui->Idle() ? 0 : 1;
}

const void* ExtensionData(const char* uri)
{
  static const LV2UI_Idle_Interface sIdle = {Idle};
  return uri && !std::strcmp(uri, LV2_UI__idleInterface) ? &sIdle : nullptr;
}

} // namespace

const LV2UI_Descriptor* IPlugLV2UIDescriptor(const char* uri)
{
  static LV2UI_Descriptor sDescriptor = {uri, Instantiate, Cleanup, PortEvent, ExtensionData};
  return &sDescriptor;
}
