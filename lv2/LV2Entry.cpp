// The DSP module's only exported symbol. QUILL_LV2_URI comes from the build,
// which writes the same URI into the bundle's description.
#include <lv2/core/lv2.h>

#include "lv2/IPlugLV2.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? IPlugLV2::Descriptor(QUILL_LV2_URI) : nullptr;
}
