#include "tremolo/QuillbarTremoloUIConfig.h"

#include "tremolo/QuillbarTremoloConfig.h"

namespace
{

struct BitmapRef
{
  int id;
  const char* file;
  int frames;
};

ControlProperty* MakeRecord(int kind, int paramIdx, int alignment, IRECT position, std::vector<IRECT> more,
                            std::vector<BitmapRef> bitmaps)
{
  ControlProperty* p = new ControlProperty;
  p->kind = kind;
  p->paramIdx = paramIdx;
  p->alignment = alignment;
  p->rects.push_back(position);
  for (const IRECT& r : more) p->rects.push_back(r);
  for (const BitmapRef& b : bitmaps)
  {
    p->bitmapIds.push_back(b.id);
    p->bitmapPaths.push_back(std::string("resources/img/") + b.file);
    p->frameCounts.push_back(b.frames);
  }
  return p;
}

// Binds a record to its parameter: the definition is the plug-in's own
// table row, so the editor and the host can never see two versions.
ControlProperty* WithParam(ControlProperty* p)
{
  const TremoloParamRow& row = kTremoloParams[p->paramIdx];
  p->isParam = true;
  p->name = row.name;
  p->defaultVal = row.defaultVal;
  p->minVal = row.minVal;
  p->maxVal = row.maxVal;
  p->step = row.step;
  p->shape = row.shape;
  return p;
}

const BitmapRef kPSSKnob{114, "PSS_knob_base4.png", 150};
const BitmapRef kSwitch{118, "sw_simple.png", 2};

} // namespace

QuillbarTremoloUIConfig::QuillbarTremoloUIConfig()
{
  const IRECT none(0, 0, 0, 0);
  Append(WithParam(MakeRecord(kUIKnobCap, 0, 1, IRECT(770, 357, 770, 357), {none},
                              {{106, "Vol_base_knob8.png", 150}, {107, "Vol_scale_small3.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 1, 1, IRECT(616, 345, 616, 345), {none},
                              {{108, "Depth_base_knob6.png", 150}, {109, "Depth_scale_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 2, 1, IRECT(185, 250, 0, 0), {none},
                              {{110, "Freq_base_knob4.png", 150}, {111, "Freq_scale3_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 3, 1, IRECT(185, 250, 0, 0), {none},
                              {{112, "Note_base_knob3.png", 7}, {113, "Note_scale3_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 4, 1, IRECT(428, 230, 428, 230), {none},
                              {kPSSKnob, {115, "Phase_scale_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 5, 1, IRECT(428, 368, 428, 368), {none},
                              {kPSSKnob, {116, "Symm_scale_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIKnobCap, 6, 1, IRECT(428, 95, 428, 95), {none},
                              {kPSSKnob, {117, "Shape_scale_small.png", 1}})));
  Append(WithParam(MakeRecord(kUIRadioButtonsCap, 7, 0, IRECT(243, 407, 329, 432), {IRECT(0, -53, 0, 0)},
                              {kSwitch, {119, "prefix_cap.png", 1}})));
  Append(WithParam(MakeRecord(kUIRadioButtons, 8, 0, IRECT(43, 62, 67, 110), {}, {kSwitch})));
  Append(WithParam(MakeRecord(kUIRadioButtons, 9, 0, IRECT(43, 383, 67, 431), {}, {kSwitch})));
  Append(WithParam(MakeRecord(kUIRadioButtons, 10, 0, IRECT(304, 62, 329, 110), {}, {kSwitch})));
  Append(MakeRecord(kUIPlot, 12, 0, IRECT(542, 46, 817, 211), {}, {}));
  Append(MakeRecord(kUIBitmap, 13, 0, IRECT(242, 391, 0, 0), {}, {{121, "prefix_none.png", 1}}));
}
