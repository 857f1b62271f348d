// The LFO plot: the curve's geometry in the private line bitmap, the glow it
// adds to the back buffer (and only near the curve), and the hand-over of the
// plotted values between a parameter thread and the editor thread.
#include "tremolo/IPlotControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "TremoloEditorTestSupport.h"

using namespace tremolotest;

namespace {

const IColor kLineColor(255, 110, 255, 110);

LICE_pixel PixelOf(LICE_IBitmap* b, int x, int y) { return b->getBits()[y * b->getRowSpan() + x]; }

void Clear(LICE_IBitmap* b) { LICE_ClearRect(b, 0, 0, b->getWidth(), b->getHeight()); }

struct Lit {
  int x, y;
};
std::vector<Lit> LitPixels(LICE_IBitmap* b) {
  std::vector<Lit> out;
  for (int y = 0; y < b->getHeight(); ++y)
    for (int x = 0; x < b->getWidth(); ++x)
      if (PixelOf(b, x, y) != 0) out.push_back({x, y});
  return out;
}

// Distance from the pixel centre (x + 0.5, y + 0.5) to the segment a-b.
double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

struct PlotFixture : ::testing::Test {
  std::unique_ptr<QuillbarTremolo> plug = MakeTremolo();
  Canvas canvas{plug.get(), 300, 200};
  // The editor's plot size, 275 x 165, placed at (10, 10).
  IPlotControl* plot = nullptr;
  std::vector<double> values;

  void SetUp() override {
    plot = new IPlotControl(plug.get(), IRECT(10, 10, 285, 175), nullptr, kLineColor, -1);
    canvas.gui->AttachControl(plot);
  }
  // The sharp curve alone, as DrawLine leaves it in a cleared line bitmap.
  LICE_IBitmap* DrawSharp() {
    Clear(plot->GetLineBitmap());
    plot->DrawLine(canvas.gui.get());
    return plot->GetLineBitmap();
  }
};

}  // namespace

TEST_F(PlotFixture, WithoutDataOnlyTheBackgroundIsDrawnAndTheLineReportsNothing) {
  EXPECT_FALSE(plot->Draw(canvas.gui.get()));
  EXPECT_FALSE(plot->DrawLine(canvas.gui.get()));
  canvas.DrawAll(0x40404040u);
  for (int y = 0; y < 200; y += 7)
    for (int x = 0; x < 300; x += 7) ASSERT_EQ(canvas.At(x, y), 0x40404040u);
}

TEST_F(PlotFixture, OneValueDrawsNothingAndAddsNothing) {
  values = {0.5};
  plot->AddData(values);
  EXPECT_TRUE(plot->DrawLine(canvas.gui.get()));
  EXPECT_TRUE(LitPixels(DrawSharp()).empty());
  canvas.DrawAll(0x40404040u);
  EXPECT_TRUE(LitPixels(plot->GetBlurTarget()).empty());
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) ASSERT_EQ(canvas.At(x, y), 0x40404040u);
}

TEST_F(PlotFixture, ValuesZeroAndOneGiveOneSegmentFromBottomLeftToTheMiddleTop) {
  values = {0.0, 1.0};
  plot->AddData(values);
  LICE_IBitmap* line = DrawSharp();
  const std::vector<Lit> lit = LitPixels(line);
  ASSERT_FALSE(lit.empty());
  // Every lit pixel is on the thickened segment (2, 160)-(137.5, 5): four
  // lines half a pixel apart, each anti-aliased over two pixels.
  for (const Lit& p : lit)
    ASSERT_LE(DistanceToSegment(p.x + 0.5, p.y + 0.5, 2.0, 160.0, 137.5, 5.0), 2.0) << p.x << "," << p.y;
  // And the segment is drawn all along: a lit pixel within one pixel of
  // every point of it.
  for (int i = 0; i <= 100; ++i) {
    const double t = i / 100.0;
    const double x = 2.0 + t * 135.5, y = 160.0 + t * -155.0;
    bool found = false;
    for (const Lit& p : lit)
      if (std::abs(p.x + 0.5 - x) <= 1.5 && std::abs(p.y + 0.5 - y) <= 1.5) found = true;
    EXPECT_TRUE(found) << "gap near " << x << "," << y;
  }
  // The line colour is what is drawn, added up where the four copies
  // overlap: green never below red, red equal to blue.
  const LICE_pixel mid = PixelOf(line, 70, 82);
  const LICE_pixel top = PixelOf(line, 137, 5);
  for (LICE_pixel p : {mid, top})
    if (p) {
      EXPECT_GE(LICE_PixelG(p), LICE_PixelR(p));
      EXPECT_GT(LICE_PixelG(p), 0);
      EXPECT_EQ(LICE_PixelR(p), LICE_PixelB(p));
    }
}

TEST_F(PlotFixture, ConstantHalfLiesOnRowEightyTwoPointFiveAcrossThePlot) {
  values.assign(200, 0.5);
  plot->AddData(values);
  const std::vector<Lit> lit = LitPixels(DrawSharp());
  ASSERT_FALSE(lit.empty());
  int minX = 1000, maxX = -1;
  for (const Lit& p : lit) {
    // y = 82.5 and the half-pixel copy at 82.0 cover rows 81 to 83 at most.
    ASSERT_GE(p.y, 81);
    ASSERT_LE(p.y, 83);
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
  }
  // From x = 2 (less the half-pixel copy) to 199 * 271 / 200 + 2 = 271.645.
  EXPECT_LE(minX, 2);
  EXPECT_GE(minX, 1);
  EXPECT_GE(maxX, 270);
  EXPECT_LE(maxX, 272);
}

TEST_F(PlotFixture, GlowIsAddedAroundTheCurveAndNowhereFarFromIt) {
  values.assign(200, 0.5);
  plot->AddData(values);
  const LICE_pixel bg = LICE_MakePixel(30, 30, 30, 255);
  canvas.DrawAll(bg);
  const int curveY = 10 + 82;
  // On the curve: brighter, green most of all.
  for (int x = 40; x < 250; x += 20) {
    const LICE_pixel p = canvas.At(x, curveY);
    EXPECT_GT(LICE_PixelG(p), LICE_PixelG(bg) + 40) << x;
    EXPECT_GT(LICE_PixelG(p), LICE_PixelR(p)) << x;
  }
  // The glow falls off away from the curve.
  EXPECT_GT(LICE_PixelG(canvas.At(150, curveY)), LICE_PixelG(canvas.At(150, curveY + 3)));
  // Far from it (five blur passes reach five pixels past the thick line)
  // and outside the control nothing changes.
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      const bool nearCurve = std::abs(y - curveY) <= 8 && x >= 10 && x < 285;
      if (!nearCurve) {
        ASSERT_EQ(canvas.At(x, y), bg) << x << "," << y;
      }
    }
}

TEST_F(PlotFixture, PassesThatRedrawOtherAreasDoNotStackGlowOnTheCurve) {
  values.assign(200, 0.5);
  plot->AddData(values);
  canvas.DrawAll();
  const LICE_pixel before = canvas.At(150, 92);
  ASSERT_NE(before, 0u);
  // Strict passes over a small area elsewhere draw every control clipped to it.
  for (int i = 0; i < 5; ++i) {
    IRECT elsewhere(0, 180, 20, 200);
    canvas.gui->Draw(&elsewhere);
  }
  EXPECT_EQ(canvas.At(150, 92), before);
  // Nor do they redo the curve and its blur: the private bitmaps stay as they are.
  LICE_Clear(plot->GetBlurTarget(), 0x12345678u);
  IRECT elsewhere(0, 180, 20, 200);
  canvas.gui->Draw(&elsewhere);
  EXPECT_EQ(LICE_GetPixel(plot->GetBlurTarget(), 150, 82), 0x12345678u);
}

TEST_F(PlotFixture, SmallerWorkingAreaShrinksTheCurveButKeepsTheBitmapSize) {
  values = {0.0, 1.0};
  plot->AddData(values);
  IRECT small(20, 20, 120, 100);
  plot->SetWorkingRect(small);
  const std::vector<Lit> lit = LitPixels(DrawSharp());
  ASSERT_FALSE(lit.empty());
  // 100 x 80: from (2, 75) to (2 + 96 / 2, 5) = (50, 5).
  for (const Lit& p : lit) ASSERT_LE(DistanceToSegment(p.x + 0.5, p.y + 0.5, 2.0, 75.0, 50.0, 5.0), 2.0);
  EXPECT_EQ(plot->GetBlurTarget()->getWidth(), 275);
  EXPECT_EQ(plot->GetBlurTarget()->getHeight(), 165);

  // The glow lands shifted by the working area's corner.
  canvas.DrawAll();
  EXPECT_NE(canvas.At(10 + 20 + 26, 10 + 20 + 40), 0u);
  EXPECT_EQ(canvas.At(10 + 5, 10 + 160), 0u);
}

TEST_F(PlotFixture, AddDataMarksThePlotDirty) {
  IRECT all(0, 0, 300, 200);
  canvas.gui->Draw(&all);
  IRECT r;
  ASSERT_FALSE(canvas.gui->IsDirty(&r));
  values.assign(10, 0.3);
  plot->AddData(values);
  ASSERT_TRUE(canvas.gui->IsDirty(&r));
  EXPECT_EQ(r, IRECT(10, 10, 285, 175));
}

TEST_F(PlotFixture, ACurveRewrittenUnderThePluginMutexIsNeverDrawnHalfOldHalfNew) {
  values.assign(200, 0.2);
  plot->AddData(values);
  // y(0.2) = 129 and y(0.8) = 36 on the 165-pixel plot.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    bool high = false;
    while (!stop.load()) {
      IMutexLock lock(plug.get());
      high = !high;
      for (double& v : values) v = high ? 0.8 : 0.2;
    }
  });
  int torn = 0;
  for (int i = 0; i < 200; ++i) {
    LICE_IBitmap* line = DrawSharp();
    bool low = false, high = false;
    for (int x = 0; x < 275; ++x) {
      if (PixelOf(line, x, 129) || PixelOf(line, x, 128)) low = true;
      if (PixelOf(line, x, 36) || PixelOf(line, x, 35)) high = true;
    }
    if (low && high) ++torn;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(torn, 0);
}
