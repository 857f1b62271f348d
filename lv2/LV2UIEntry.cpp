// The UI module's only exported symbol. QUILL_LV2_UI_URI comes from the
// build, which writes the same URI into the bundle's description.
#include <lv2/ui/ui.h>

#include "lv2/IPlugLV2UI.h"

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? IPlugLV2UIDescriptor(QUILL_LV2_UI_URI) : nullptr;
}
