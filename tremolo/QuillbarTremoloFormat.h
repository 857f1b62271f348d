// The plug-in format this build of the tremolo is for. The plug-in class
// derives from FormatAdapter, the format's adapter; each format builds its own copy
// of the tremolo library with its own definition (QUILL_API_LV2 for LV2,
// none for the Audio Unit), so the tremolo's code is the same for all.
#pragma once

#if defined(QUILL_API_LV2)
#include "lv2/IPlugLV2.h"
using FormatAdapter = IPlugLV2;
#else
#include "au/IPlugAU.h"
using FormatAdapter = IPlugAU;
#endif
