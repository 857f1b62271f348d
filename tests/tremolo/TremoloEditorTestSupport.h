// Shared helpers of the tremolo editor tests: a tremolo to bind controls to,
// an off-screen editor to draw them in, and film strips made in memory whose
// frames can be told apart by their pixels.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TremoloTestSupport.h"
#include "editor/IGraphicsHeadless.h"
#include "raster/Raster.h"
#include "tremolo/QuillbarTremolo.h"

namespace tremolotest {

// Opaque pixel whose red byte numbers a frame and whose green byte tags the image.
inline LICE_pixel FramePixel(int frame, int tag) { return LICE_MakePixel(frame & 0xFF, tag, 0, 255); }

// A w x (h * frames) strip (or (w * frames) x h with `horizontal`), frame k
// filled with FramePixel(k, tag). The pixels belong to the test.
struct Strip {
  std::unique_ptr<LICE_MemBitmap> pixels;
  IBitmap bitmap;
  Strip(int w, int h, int frames, int tag, bool horizontal = false)
      : pixels(new LICE_MemBitmap(horizontal ? w * frames : w, horizontal ? h : h * frames)) {
    for (int k = 0; k < frames; ++k) {
      if (horizontal)
        LICE_FillRect(pixels.get(), k * w, 0, w, h, FramePixel(k + 1, tag), 1.0f, LICE_COMBINE_COPY);
      else
        LICE_FillRect(pixels.get(), 0, k * h, w, h, FramePixel(k + 1, tag), 1.0f, LICE_COMBINE_COPY);
    }
    bitmap = IBitmap(pixels.get(), pixels->getWidth(), pixels->getHeight(), frames, horizontal);
  }
};

// An off-screen editor (not attached to the plug-in) with a back buffer.
struct Canvas {
  std::unique_ptr<IGraphicsHeadless> gui;
  Canvas(IPlugBase* plug, int w, int h) : gui(new IGraphicsHeadless(plug, w, h, 30)) { gui->PrepDraw(); }
  // Clears the back buffer to `color` and draws every visible control over
  // the whole area (a strict pass).
  void DrawAll(LICE_pixel color = 0) {
    LICE_Clear(gui->GetDrawBitmap(), color);
    IRECT all(0, 0, gui->Width(), gui->Height());
    gui->Draw(&all);
  }
  LICE_pixel At(int x, int y) const {
    LICE_IBitmap* b = gui->GetDrawBitmap();
    return b->getBits()[y * b->getRowSpan() + x];
  }
};

// A tremolo and an off-screen editor of the tremolo's size for its controls.
struct ControlOnCanvasTest : ::testing::Test {
  std::unique_ptr<QuillbarTremolo> plug = MakeTremolo();
  Canvas canvas{plug.get(), 863, 468};
  // Attaches `c` to the editor (which owns it from then on).
  template <class C>
  C* Attach(C* c) {
    canvas.gui->AttachControl(c);
    return c;
  }
};

}  // namespace tremolotest
