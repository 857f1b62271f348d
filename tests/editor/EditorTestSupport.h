// Shared fixtures of the editor tests: a plug-in that records what the editor
// tells it, a control that records its draws, and a headless editor whose
// skin images come from memory.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "editor/IGraphicsHeadless.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"

enum ETestParams
{
  kGain = 0,      // double 0..100, step 0.1
  kSteps,         // int 0..10
  kMode,          // enum: "Sine", "Tri", "Square"
  kBypass,        // bool with "off" / "on"
  kOffset,        // double 10..20, step 0.01, negated display
  kNumTestParams
};

class TestPlug : public IPlugBase
{
public:
  TestPlug()
    : IPlugBase(kNumTestParams, "2-2", 0, "Test", "Test", "test", 0x10000, 0x54657374, 0x54737420, 0, false, false, false,
                kAPIAU)
  {
    GetParam(kGain)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.1, "%");
    GetParam(kSteps)->InitInt("Steps", 0, 0, 10);
    GetParam(kMode)->InitEnum("Mode", 0, 3);
    GetParam(kMode)->SetDisplayText(0, "Sine");
    GetParam(kMode)->SetDisplayText(1, "Tri");
    GetParam(kMode)->SetDisplayText(2, "Square");
    GetParam(kBypass)->InitBool("Bypass", false);
    GetParam(kOffset)->InitDouble("Offset", 15.0, 10.0, 20.0, 0.01);
    GetParam(kOffset)->NegateDisplay();
  }

  // What the editor reported, in order.
  std::vector<std::pair<int, double>> fromGUI;
  std::vector<int> begins, ends;
  int resizedW = 0, resizedH = 0;

  void SetParameterFromGUI(int idx, double normalizedValue) override
  {
    fromGUI.emplace_back(idx, normalizedValue);
    IPlugBase::SetParameterFromGUI(idx, normalizedValue);
  }
  void BeginInformHostOfParamChange(int idx) override { begins.push_back(idx); }
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int idx) override { ends.push_back(idx); }
  void InformHostOfProgramChange() override {}
  int GetSamplePos() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSig(int* num, int* denom) override
  {
    if (num) *num = 4;
    if (denom) *denom = 4;
  }
  void GetTime(ITimeInfo*) override {}
  void ResizeGraphics(int w, int h) override
  {
    resizedW = w;
    resizedH = h;
  }
  bool SendMidiMsg(IMidiMsg*) override { return false; }
};

// A control that counts its draws and optionally paints its rectangle, or runs
// a drawing routine given by the test.
class RecordingControl : public IControl
{
public:
  RecordingControl(IPlugBase* plug, IRECT rect, int paramIdx = -1) : IControl(plug, rect, paramIdx) {}

  bool Draw(IGraphics* g) override
  {
    ++draws;
    if (paint) g->FillIRect(&color, &mRECT);
    if (routine) routine(g);
    return true;
  }
  bool OnKeyDown(int, int, int key) override
  {
    keys.push_back(key);
    return true;
  }
  void OnMouseDown(int x, int y, IMouseMod* mod) override
  {
    events.push_back("down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int, int, IMouseMod*) override { events.push_back("up"); }
  void OnMouseDrag(int, int, int dX, int dY, IMouseMod*) override
  {
    events.push_back("drag " + std::to_string(dX) + " " + std::to_string(dY));
  }
  void OnMouseDblClick(int, int, IMouseMod*) override { events.push_back("dbl"); }
  void OnMouseWheel(int, int, IMouseMod*, int d) override { events.push_back("wheel " + std::to_string(d)); }
  void OnMouseOver(int, int, IMouseMod*) override { events.push_back("over"); }
  void OnMouseOut() override { events.push_back("out"); }
  void TextFromTextEntry(const char* text) override { typed = text; }

  int draws = 0;
  bool paint = false;
  IColor color = COLOR_WHITE;
  std::function<void(IGraphics*)> routine;
  std::vector<int> keys;
  std::vector<std::string> events;
  std::string typed;
};

// A headless editor whose images are made in memory: image `id` is a
// `id` x (2 * id) bitmap filled with a colour derived from the id. Ids below 0
// fail to load. Counts the platform loads.
class MemoryGraphics : public IGraphicsHeadless
{
public:
  using IGraphicsHeadless::IGraphicsHeadless;
  int loads = 0;

protected:
  LICE_IBitmap* OSLoadBitmap(int id, const char*) override
  {
    ++loads;
    if (id < 0) return nullptr;
    LICE_MemBitmap* bitmap = new LICE_MemBitmap(id, 2 * id, 4);
    LICE_Clear(bitmap, LICE_MakePixel(id & 0xFF, 1, 2, 255));
    return bitmap;
  }
};

// A bitmap of w x h whose pixel (x, y) has red = x, green = y, blue = tag and
// alpha 255. Owned by the caller until handed to the cache.
inline LICE_MemBitmap* MakeGradientBitmap(int w, int h, int tag = 0)
{
  LICE_MemBitmap* bitmap = new LICE_MemBitmap(w, h, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) LICE_PutPixel(bitmap, x, y, LICE_MakePixel(x, y, tag, 255), 1.0f, LICE_COMBINE_COPY);
  return bitmap;
}

// A 16 x 16 bitmap, red on its top half and blue on its bottom half, to see
// which way it was turned. Owned by the caller until handed to the cache.
inline LICE_MemBitmap* MakeTwoToneBitmap()
{
  LICE_MemBitmap* bitmap = new LICE_MemBitmap(16, 16, 4);
  LICE_Clear(bitmap, IColorToPixel(COLOR_RED));
  LICE_FillRect(bitmap, 0, 8, 16, 8, IColorToPixel(COLOR_BLUE), 1.0f, LICE_COMBINE_COPY);
  return bitmap;
}

// The three 10 x 10 layers of a rotating mask: a green base, a mask opaque
// black (alpha only, no colour) on its left half, and a transparent top.
// Owned by the caller (Free) until handed to the cache.
struct MaskLayers
{
  LICE_MemBitmap *base = new LICE_MemBitmap(10, 10, 4), *mask = new LICE_MemBitmap(10, 10, 4),
                 *top = new LICE_MemBitmap(10, 10, 4);
  IBitmap b{base, 10, 10}, m{mask, 10, 10}, t{top, 10, 10};

  MaskLayers()
  {
    LICE_Clear(base, IColorToPixel(COLOR_GREEN));
    LICE_Clear(mask, 0);
    LICE_FillRect(mask, 0, 0, 5, 10, LICE_MakePixel(0, 0, 0, 255), 1.0f, LICE_COMBINE_COPY);
    LICE_Clear(top, 0);
  }
  void Free()
  {
    delete base;
    delete mask;
    delete top;
  }
};

// The full-editor rectangle.
inline IRECT Whole(const IGraphics& g) { return IRECT(0, 0, g.Width(), g.Height()); }
