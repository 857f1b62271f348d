// The captioned film-strip knob: where it sits when centred on a point, which
// frame it shows for a value, and its caption under it.
#include "tremolo/IKnobMultiControlCap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TremoloEditorTestSupport.h"

using namespace tremolotest;

namespace {

constexpr int kKnobTag = 7, kCaptionTag = 200;

struct KnobFixture : ControlOnCanvasTest {
  Strip knob{60, 60, 150, kKnobTag};
  Strip caption{100, 90, 1, kCaptionTag};

  using ControlOnCanvasTest::Attach;
  IKnobMultiControlCap* Attach(int x, int y, IBitmap* cap, EAlignment alignment, IBitmap* k = nullptr) {
    return Attach(new IKnobMultiControlCap(plug.get(), x, y, kVolume, k ? k : &knob.bitmap, cap, alignment,
                                           kVertical, 4.0, false));
  }
  int FrameAt(int x, int y) const { return LICE_PixelR(canvas.At(x, y)); }
};

}  // namespace

TEST_F(KnobFixture, CentredOnAPointTheStripFrameAndItsHitAreaSurroundThePoint) {
  IKnobMultiControlCap* c = Attach(770, 357, &caption.bitmap, kAlignCentred);
  EXPECT_EQ(*c->GetRECT(), IRECT(740, 327, 800, 387));
  EXPECT_EQ(*c->GetTargetRECT(), IRECT(740, 327, 800, 387));
  // Caption 100 x 90 centred on the same point, integer halves.
  EXPECT_EQ(c->GetCaptionRECT(), IRECT(720, 312, 820, 402));
  EXPECT_TRUE(c->IsHit(770, 357));
  EXPECT_FALSE(c->IsHit(800, 357));
}

TEST_F(KnobFixture, RepeatedCentringDoesNotWalkTheHitArea) {
  IKnobMultiControlCap* c = Attach(770, 357, &caption.bitmap, kAlignCentred);
  c->SetAlignment(kAlignCentred);
  EXPECT_EQ(*c->GetTargetRECT(), IRECT(740, 327, 800, 387));
  c->SetAlignment(kAlignTopLeft);
  EXPECT_EQ(*c->GetRECT(), IRECT(770, 357, 830, 417));
  EXPECT_EQ(*c->GetTargetRECT(), IRECT(770, 357, 830, 417));
  EXPECT_EQ(c->GetCaptionRECT(), IRECT(770, 357, 870, 447));
}

TEST_F(KnobFixture, TopLeftAlignmentKeepsTheBasePlaceAndPutsTheCaptionThere) {
  IKnobMultiControlCap* c = Attach(10, 20, &caption.bitmap, kAlignTopLeft);
  EXPECT_EQ(*c->GetRECT(), IRECT(10, 20, 70, 80));
  EXPECT_EQ(c->GetCaptionRECT(), IRECT(10, 20, 110, 110));
}

TEST_F(KnobFixture, HorizontalStripsCentreOneFrameWidth) {
  Strip wide(40, 30, 5, kKnobTag, true);
  IKnobMultiControlCap* c = Attach(100, 100, nullptr, kAlignCentred, &wide.bitmap);
  EXPECT_EQ(*c->GetRECT(), IRECT(80, 85, 120, 115));
}

TEST_F(KnobFixture, CentringMatchesTheStripFormulaForOddSizesBothWays) {
  // Control rectangle written out from the strip's size: (x - W/2, y - H/2N)
  // for stacked frames, (x - W/2N, y - H/2) for side-by-side ones, integer
  // divisions; the hit area is the same rectangle.
  const int x = 300, y = 200;
  for (bool horizontal : {false, true})
    for (int w : {1, 7, 61})
      for (int h : {1, 9, 33})
        for (int n : {1, 3, 7}) {
          Strip strip(w, h, n, kKnobTag, horizontal);
          const int W = strip.bitmap.W, H = strip.bitmap.H;
          const IRECT expected = horizontal
                                     ? IRECT(x - W / (2 * n), y - H / 2, x - W / (2 * n) + W / n, y - H / 2 + H)
                                     : IRECT(x - W / 2, y - H / (2 * n), x - W / 2 + W, y - H / (2 * n) + H / n);
          IKnobMultiControlCap* c = Attach(x, y, nullptr, kAlignCentred, &strip.bitmap);
          EXPECT_EQ(*c->GetRECT(), expected) << horizontal << " " << w << "x" << h << "x" << n;
          EXPECT_EQ(*c->GetTargetRECT(), expected) << horizontal << " " << w << "x" << h << "x" << n;
        }
}

TEST_F(KnobFixture, FrameShownTruncatesTheValueOntoTheStrip) {
  IKnobMultiControlCap* c = Attach(770, 357, nullptr, kAlignCentred);
  const struct { double value; int frame; } cases[] = {{0.0, 1}, {0.999, 149}, {1.0, 150}, {0.5, 75}};
  for (const auto& tc : cases) {
    c->SetValueFromPlug(tc.value);
    canvas.DrawAll();
    EXPECT_EQ(FrameAt(770, 357), tc.frame) << "value " << tc.value;
    EXPECT_EQ(LICE_PixelG(canvas.At(770, 357)), kKnobTag);
  }
}

TEST(KnobFrame, OutOfRangeAndNonNumericValuesStayOnTheStrip) {
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(-0.5, 150), 1);
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(7.0, 150), 150);
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(std::numeric_limits<double>::quiet_NaN(), 150), 1);
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(1e300, 150), 150);
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(0.99, 1), 1);
  EXPECT_EQ(IKnobMultiControlCap::KnobFrame(0.5, 0), 1);
  // Seven positions of the Note knob: each value k / 6 shows frame k + 1.
  for (int k = 0; k <= 6; ++k) EXPECT_EQ(IKnobMultiControlCap::KnobFrame(k / 6.0, 7), k + 1);
}

TEST_F(KnobFixture, CaptionLiesUnderTheKnobAndHidingItLeavesTheKnobAlone) {
  IKnobMultiControlCap* c = Attach(400, 200, &caption.bitmap, kAlignCentred);
  canvas.DrawAll();
  EXPECT_EQ(LICE_PixelG(canvas.At(400, 200)), kKnobTag);   // knob over caption
  EXPECT_EQ(LICE_PixelG(canvas.At(355, 160)), kCaptionTag); // caption outside the knob
  EXPECT_EQ(canvas.At(349, 200), 0u);                       // left of the caption

  c->HideCaption(true);
  canvas.DrawAll();
  EXPECT_EQ(canvas.At(355, 160), 0u);
  EXPECT_EQ(LICE_PixelG(canvas.At(400, 200)), kKnobTag);

  // Hiding the whole control is the framework's; nothing of it is drawn.
  c->Hide(true);
  canvas.DrawAll();
  EXPECT_EQ(canvas.At(400, 200), 0u);
}

TEST_F(KnobFixture, KnobWithoutCaptionDrawsOnlyTheKnob) {
  IKnobMultiControlCap* c = Attach(400, 200, nullptr, kAlignCentred);
  EXPECT_TRUE(c->GetCaptionRECT().Empty());
  canvas.DrawAll();
  EXPECT_EQ(LICE_PixelG(canvas.At(400, 200)), kKnobTag);
  EXPECT_EQ(canvas.At(365, 200), 0u);
}

TEST_F(KnobFixture, DraggingUpTurnsTheBoundParameterUp) {
  IKnobMultiControlCap* c = Attach(770, 357, nullptr, kAlignCentred);
  c->SetValueFromPlug(0.25);
  IMouseMod mod(true);
  c->OnMouseDrag(770, 340, 0, -30, &mod);
  EXPECT_GT(c->GetValue(), 0.25);
  EXPECT_NEAR(plug->GetParam(kVolume)->GetNormalized(), c->GetValue(), 1e-9);
}
