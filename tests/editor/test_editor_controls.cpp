// Standard controls: frame selection, switches, radio buttons, knobs, fader.
#include <gtest/gtest.h>

#include <cmath>

#include "EditorTestSupport.h"
#include "editor/IStandardControls.h"

namespace
{

struct ControlsTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 200, 150);
  IMouseMod left{true}, right{false, true}, shift{true, false, true}, control{true, false, false, true};

  ~ControlsTest() override
  {
    if (!plug.GetEditor()) delete g;
  }
  template <class C>
  C* Add(C* c)
  {
    g->AttachControl(c);
    return c;
  }
  void Attach()
  {
    plug.AttachGraphics(g);
    LICE_Clear(g->GetDrawBitmap(), 0);
  }
  double LastReported() const { return plug.fromGUI.empty() ? -1.0 : plug.fromGUI.back().second; }
  // A film strip of `frames` vertical frames of w x h, frame k (1-based) filled with red = k.
  IBitmap Strip(int w, int h, int frames, bool horizontal = false)
  {
    const int W = horizontal ? w * frames : w, H = horizontal ? h : h * frames;
    LICE_MemBitmap* bitmap = new LICE_MemBitmap(W, H, 4);
    for (int k = 0; k < frames; ++k)
    {
      if (horizontal)
        LICE_FillRect(bitmap, k * w, 0, w, h, LICE_MakePixel(k + 1, 0, 0, 255), 1.0f, LICE_COMBINE_COPY);
      else
        LICE_FillRect(bitmap, 0, k * h, w, h, LICE_MakePixel(k + 1, 0, 0, 255), 1.0f, LICE_COMBINE_COPY);
    }
    IBitmap b(bitmap, W, H, frames, horizontal);
    g->RetainBitmap(&b);
    return b;
  }
  void DrawAll()
  {
    IRECT r = Whole(*g);
    g->SetAllControlsDirty();
    g->Draw(&r);
  }
};

TEST(FrameSelection, EndsMapToTheFirstAndLastFrameAndFramesNeverDecrease)
{
  EXPECT_EQ(1, FrameForValue(0.0, 150));
  EXPECT_EQ(150, FrameForValue(1.0, 150));
  EXPECT_EQ(1, FrameForValue(0.7, 1));
  EXPECT_EQ(1, FrameForValue(-5.0, 7));
  EXPECT_EQ(7, FrameForValue(9.0, 7));
  EXPECT_EQ(1, FrameForValue(std::nan(""), 7));
  EXPECT_EQ(7, FrameForValue(1e300, 7));
  int previous = 1;
  for (int i = 0; i <= 1000; ++i)
  {
    const int frame = FrameForValue(i / 1000.0, 7);
    ASSERT_GE(frame, previous);
    ASSERT_LE(frame - previous, 1);
    previous = frame;
  }
  // Each frame owns an equal share of the range, half a share at the ends.
  EXPECT_EQ(1, FrameForValue(1.0 / 12.0 - 1e-9, 7));
  EXPECT_EQ(2, FrameForValue(1.0 / 12.0 + 1e-9, 7));
}

TEST_F(ControlsTest, AControlFromAStripCoversOneFrame)
{
  IBitmap vertical = Strip(30, 20, 5);
  IBitmap horizontal = Strip(30, 20, 5, true);
  IBitmapControl v(&plug, 3, 4, &vertical);
  IBitmapControl h(&plug, 3, 4, -1, &horizontal);
  EXPECT_EQ(IRECT(3, 4, 33, 24), *v.GetRECT());
  EXPECT_EQ(IRECT(3, 4, 33, 24), *h.GetRECT());
  IBitmap broken = vertical;
  broken.N = 0;
  IBitmapControl b(&plug, 0, 0, &broken);  // a zero frame count must not divide by zero
  EXPECT_EQ(IRECT(0, 0, 30, 100), *b.GetRECT());
}

TEST_F(ControlsTest, BitmapControlsDrawTheFrameForTheirValue)
{
  IBitmap strip = Strip(10, 10, 5);
  IBitmapControl* c = Add(new IBitmapControl(&plug, 20, 20, kGain, &strip));
  IKnobMultiControl* knob = Add(new IKnobMultiControl(&plug, 40, 20, kSteps, &strip));
  Attach();
  c->SetValueFromPlug(0.5);
  knob->SetValueFromPlug(1.0);
  DrawAll();
  EXPECT_EQ(3, g->GetPoint(25, 25).R);
  EXPECT_EQ(5, g->GetPoint(45, 25).R);
}

TEST_F(ControlsTest, PanelFillsItsRectangle)
{
  Add(new IPanelControl(&plug, IRECT(5, 5, 10, 10), &COLOR_ORANGE));
  Attach();
  DrawAll();
  EXPECT_EQ(COLOR_ORANGE, g->GetPoint(9, 9));
  EXPECT_NE(COLOR_ORANGE, g->GetPoint(10, 9));
}

TEST_F(ControlsTest, APanelBackgroundRepaintsOnlyTheAreaBeingRedrawn)
{
  IBitmap strip = Strip(10, 10, 5);
  g->AttachPanelBackground(&COLOR_BLUE);
  Add(new IBitmapControl(&plug, 20, 20, kGain, &strip));
  IPanelControl* patch = Add(new IPanelControl(&plug, IRECT(100, 100, 120, 120), &COLOR_GREEN));
  Attach();
  DrawAll();
  ASSERT_EQ(3, g->GetPoint(25, 25).R);

  // Only the patch changes; the strict pass redraws just its area.
  patch->SetDirty(false);
  IRECT r;
  ASSERT_TRUE(g->IsDirty(&r));
  g->Draw(&r);
  EXPECT_EQ(3, g->GetPoint(25, 25).R) << "the bitmap outside the redrawn area must survive the background";
  EXPECT_EQ(COLOR_GREEN, g->GetPoint(110, 110));
  EXPECT_EQ(COLOR_BLUE, g->GetPoint(99, 110));
}

TEST_F(ControlsTest, ASingleFrameSwitchTogglesBetweenZeroAndOne)
{
  IBitmap one = Strip(10, 10, 1);
  ISwitchControl* s = Add(new ISwitchControl(&plug, 0, 0, kBypass, &one));
  Attach();
  s->OnMouseDown(1, 1, &left);
  EXPECT_DOUBLE_EQ(1.0, s->GetValue());
  s->OnMouseDblClick(1, 1, &left);
  EXPECT_DOUBLE_EQ(0.0, s->GetValue());
  EXPECT_DOUBLE_EQ(0.0, LastReported());
  EXPECT_EQ(2u, plug.fromGUI.size());
}

TEST_F(ControlsTest, AThreeFrameSwitchStepsThroughHalfAndWrapsToZero)
{
  IBitmap three = Strip(10, 10, 3);
  ISwitchControl* s = Add(new ISwitchControl(&plug, 0, 0, kSteps, &three));
  const double expected[] = {0.5, 1.0, 0.0, 0.5};
  for (double e : expected)
  {
    s->OnMouseDown(1, 1, &left);
    EXPECT_DOUBLE_EQ(e, s->GetValue());
  }
}

TEST_F(ControlsTest, AContactStepsOnPressAndFallsBackOnRelease)
{
  IBitmap two = Strip(10, 10, 2);
  IContactControl* c = Add(new IContactControl(&plug, 0, 0, kBypass, &two));
  c->OnMouseDown(1, 1, &left);
  EXPECT_DOUBLE_EQ(1.0, c->GetValue());
  c->OnMouseUp(1, 1, &left);
  EXPECT_DOUBLE_EQ(0.0, c->GetValue());
  EXPECT_DOUBLE_EQ(0.0, LastReported());
}

TEST_F(ControlsTest, AnOverlayIsOnlyClickableInItsTargetAreaWhileOff)
{
  IBitmap two = Strip(50, 50, 2);
  IBitmapOverlayControl* o = Add(new IBitmapOverlayControl(&plug, 0, 0, kBypass, &two, IRECT(0, 0, 10, 10)));
  Attach();
  DrawAll();
  EXPECT_FALSE(o->IsHit(30, 30));
  EXPECT_TRUE(o->IsHit(5, 5));
  EXPECT_NE(2, g->GetPoint(30, 30).R) << "nothing is drawn while off";
  o->OnMouseDown(5, 5, &left);
  DrawAll();
  EXPECT_TRUE(o->IsHit(30, 30));
  EXPECT_EQ(2, g->GetPoint(30, 30).R);
}

TEST_F(ControlsTest, SwitchFramesPickTheFrameUnderTheMouse)
{
  IBitmap four = Strip(40, 10, 4);  // control is 40 x 10
  ISwitchFramesControl* s = Add(new ISwitchFramesControl(&plug, 0, 0, kSteps, &four, true));
  ASSERT_EQ(4, s->NFrameRECTs());
  EXPECT_EQ(IRECT(20, 0, 30, 10), *s->GetFrameRECT(2));
  EXPECT_FALSE(s->IsPromptDisabled());
  s->OnMouseDown(25, 5, &left);
  EXPECT_DOUBLE_EQ(2.0 / 3.0, s->GetValue());
  s->OnMouseDown(39, 9, &left);
  EXPECT_DOUBLE_EQ(1.0, s->GetValue());
  const size_t reports = plug.fromGUI.size();
  s->OnMouseDown(100, 100, &left);
  EXPECT_DOUBLE_EQ(1.0, s->GetValue());
  EXPECT_EQ(reports + 1, plug.fromGUI.size()) << "a miss still reports the unchanged value";

  ISwitchFramesControl vertical(&plug, 0, 0, kSteps, &four, false);
  EXPECT_EQ(IRECT(0, 4, 40, 6), *vertical.GetFrameRECT(2));
}

TEST_F(ControlsTest, AnInvisibleSwitchTogglesAroundOneHalf)
{
  IInvisibleSwitchControl* s = Add(new IInvisibleSwitchControl(&plug, IRECT(0, 0, 10, 10), kBypass));
  EXPECT_EQ(IChannelBlend::kBlendClobber, s->GetBlend()->mMethod);
  s->OnMouseDown(1, 1, &left);
  EXPECT_DOUBLE_EQ(1.0, s->GetValue());
  s->OnMouseDown(1, 1, &left);
  EXPECT_DOUBLE_EQ(0.0, s->GetValue());
}

// ---------------------------------------------------------------------------
// Radio buttons

TEST_F(ControlsTest, HorizontalRadioButtonsTouchBothEdgesWithEqualGaps)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl r(&plug, IRECT(0, 0, 50, 8), kMode, 3, &two, kHorizontal);
  EXPECT_EQ(IRECT(0, 0, 10, 8), *r.GetButtonRECT(0));
  EXPECT_EQ(IRECT(20, 0, 30, 8), *r.GetButtonRECT(1));
  EXPECT_EQ(IRECT(40, 0, 50, 8), *r.GetButtonRECT(2));
  EXPECT_EQ(nullptr, r.GetButtonRECT(3));
}

TEST_F(ControlsTest, VerticalRadioButtonsStackFromTheTop)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl r(&plug, IRECT(5, 10, 15, 50), kMode, 3, &two);
  EXPECT_EQ(IRECT(5, 10, 15, 18), *r.GetButtonRECT(0));
  EXPECT_EQ(IRECT(5, 26, 15, 34), *r.GetButtonRECT(1));
  EXPECT_EQ(IRECT(5, 42, 15, 50), *r.GetButtonRECT(2));
}

TEST_F(ControlsTest, ReversedRadioButtonsMirrorTheUnreversedLayout)
{
  IBitmap two = Strip(10, 8, 2);
  for (EDirection direction : {kHorizontal, kVertical})
  {
    const IRECT area = direction == kHorizontal ? IRECT(0, 0, 50, 8) : IRECT(0, 0, 10, 40);
    IRadioButtonsControl plain(&plug, area, kMode, 3, &two, direction, false);
    IRadioButtonsControl reversed(&plug, area, kMode, 3, &two, direction, true);
    for (int i = 0; i < 3; ++i)
    {
      EXPECT_EQ(*plain.GetButtonRECT(2 - i), *reversed.GetButtonRECT(i)) << "direction " << direction << " button " << i;
      EXPECT_TRUE(area.Contains(reversed.GetButtonRECT(i))) << "reversed buttons stay inside the control";
    }
  }
}

TEST_F(ControlsTest, APressPicksTheButtonAndAMissReportsTheUnchangedValue)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl* r = Add(new IRadioButtonsControl(&plug, IRECT(0, 0, 50, 8), kMode, 3, &two, kHorizontal));
  Attach();
  r->OnMouseDown(45, 3, &left);
  EXPECT_DOUBLE_EQ(1.0, r->GetValue());
  r->OnMouseDown(25, 3, &left);
  EXPECT_DOUBLE_EQ(0.5, r->GetValue());
  const size_t reports = plug.fromGUI.size();
  r->OnMouseDown(15, 3, &left);  // in the gap
  EXPECT_DOUBLE_EQ(0.5, r->GetValue());
  EXPECT_EQ(reports + 1, plug.fromGUI.size());
  EXPECT_DOUBLE_EQ(0.5, LastReported());
}

TEST_F(ControlsTest, TwoButtonsExactlyTwoBitmapsWideHaveNoGapAndOneHalfShowsTheSecond)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl* r = Add(new IRadioButtonsControl(&plug, IRECT(0, 0, 20, 8), kBypass, 2, &two, kHorizontal));
  EXPECT_EQ(IRECT(10, 0, 20, 8), *r->GetButtonRECT(1));
  Attach();
  r->SetValueFromPlug(0.5);
  DrawAll();
  EXPECT_EQ(1, g->GetPoint(5, 4).R) << "button 0 shows its off frame";
  EXPECT_EQ(2, g->GetPoint(15, 4).R) << "button 1 shows its on frame";
}

TEST_F(ControlsTest, ARadioRightClickOnlyPrompts)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl* r = Add(new IRadioButtonsControl(&plug, IRECT(0, 0, 30, 8), kMode, 3, &two, kHorizontal));
  r->DisablePrompt(false);
  Attach();
  g->QueueMenuChoice(2);
  const size_t reports = plug.fromGUI.size();
  r->OnMouseDown(1, 1, &right);
  EXPECT_EQ(1, g->MenusShown());
  EXPECT_DOUBLE_EQ(1.0, r->GetValue()) << "the menu's answer, not the button under the mouse";
  EXPECT_EQ(reports + 1, plug.fromGUI.size());
}

TEST_F(ControlsTest, ASingleRadioButtonDoesNotDivideByZero)
{
  IBitmap two = Strip(10, 8, 2);
  IRadioButtonsControl r(&plug, IRECT(0, 0, 30, 30), kBypass, 1, &two, kVertical, true);
  ASSERT_EQ(1, r.NButtons());
  r.OnMouseDown(5, 25, &left);
  EXPECT_DOUBLE_EQ(0.0, r.GetValue());
  IRadioButtonsControl none(&plug, IRECT(0, 0, 30, 30), kBypass, 0, &two);
  EXPECT_EQ(1, none.NButtons());
}

// ---------------------------------------------------------------------------
// Knobs

TEST_F(ControlsTest, AKnobWithGearingOneDraggedUpByItsHeightGoesFromZeroToOne)
{
  IKnobControl* knob = Add(new IKnobLineControl(&plug, IRECT(0, 0, 40, 40), kGain, &COLOR_WHITE, 0, 0, 0, 1,
                                                kVertical, 1.0));
  knob->OnMouseDrag(0, 0, 0, -40, &left);
  EXPECT_DOUBLE_EQ(1.0, knob->GetValue());
  knob->OnMouseDrag(0, 0, 0, 40, &shift);
  EXPECT_NEAR(0.9, knob->GetValue(), 1e-12);
  knob->OnMouseDrag(0, 0, 0, 40, &control);
  EXPECT_NEAR(0.8, knob->GetValue(), 1e-12);
  knob->OnMouseDrag(0, 0, 0, 400, &left);
  EXPECT_DOUBLE_EQ(0.0, knob->GetValue()) << "clamped";
  knob->OnMouseDrag(0, 0, 500, 0, &left);
  EXPECT_DOUBLE_EQ(0.0, knob->GetValue()) << "a vertical knob ignores sideways movement";
}

TEST_F(ControlsTest, AHorizontalKnobFollowsSidewaysMovementWithItsGearing)
{
  IKnobControl* knob = Add(new IKnobLineControl(&plug, IRECT(0, 0, 50, 10), kGain, &COLOR_WHITE, 0, 0, 0, 1,
                                                kHorizontal, 4.0));
  knob->OnMouseDrag(0, 0, 100, 0, &left);
  EXPECT_DOUBLE_EQ(0.5, knob->GetValue());
}

TEST_F(ControlsTest, TheWheelMovesAKnobByHundredthsOrThousandthsWithAModifier)
{
  IKnobControl* knob = Add(new IKnobLineControl(&plug, IRECT(0, 0, 50, 10), kGain, &COLOR_WHITE));
  knob->OnMouseWheel(0, 0, &left, 3);
  EXPECT_NEAR(0.03, knob->GetValue(), 1e-12);
  knob->OnMouseWheel(0, 0, &shift, -2);
  EXPECT_NEAR(0.028, knob->GetValue(), 1e-12);
  EXPECT_NEAR(0.028, LastReported(), 1e-12);
}

TEST_F(ControlsTest, ADegenerateKnobIgnoresDrags)
{
  IKnobLineControl knob(&plug, IRECT(5, 5, 5, 5), kGain, &COLOR_WHITE);
  knob.OnMouseDrag(0, 0, 0, -10, &left);
  EXPECT_DOUBLE_EQ(0.0, knob.GetValue());
  EXPECT_TRUE(std::isfinite(knob.GetValue()));
}

TEST_F(ControlsTest, ALineKnobDrawsFromItsInnerToItsOuterRadiusAlongTheAngle)
{
  // Angles 0 .. pi: value 0 points up, value 0.5 to the right. Outer radius 0 becomes half the width.
  IKnobLineControl* knob =
      Add(new IKnobLineControl(&plug, IRECT(60, 60, 100, 100), kGain, &COLOR_RED, 5.0, 0.0, 0.0, M_PI));
  EXPECT_EQ(IChannelBlend::kBlendClobber, knob->GetBlend()->mMethod);
  Attach();
  // The line is antialiased: look for a strong red, not an exact colour.
  auto redAt = [&](int x, int y) { return g->GetPoint(x, y).R > 100; };
  knob->SetValueFromPlug(0.0);
  DrawAll();
  EXPECT_TRUE(redAt(80, 62));
  EXPECT_FALSE(redAt(80, 80)) << "nothing inside the inner radius";
  EXPECT_FALSE(redAt(98, 80));
  knob->SetValueFromPlug(0.5);
  LICE_Clear(g->GetDrawBitmap(), 0);
  DrawAll();
  EXPECT_TRUE(redAt(98, 80) || redAt(98, 79));
  EXPECT_FALSE(redAt(80, 62));
}

TEST_F(ControlsTest, ARotaterKnobTurnsItsBitmapAcrossItsAngleRange)
{
  IBitmap image(MakeTwoToneBitmap(), 16, 16);
  g->RetainBitmap(&image);
  IKnobRotaterControl* knob = Add(new IKnobRotaterControl(&plug, 40, 40, kGain, &image, 0.0, M_PI));
  EXPECT_EQ(IRECT(40, 40, 56, 56), *knob->GetRECT());
  Attach();
  knob->SetValueFromPlug(0.0);
  DrawAll();
  EXPECT_EQ(COLOR_RED, g->GetPoint(48, 42));
  knob->SetValueFromPlug(1.0);
  DrawAll();
  EXPECT_EQ(COLOR_BLUE, g->GetPoint(48, 42)) << "value 1 is half a turn: the bottom half now on top";
}

TEST_F(ControlsTest, ARotatingMaskKnobTurnsItsMaskInDegreesAcrossItsAngleRange)
{
  // Green base, mask opaque on its left half, transparent top layer: the
  // green shows where the turned mask is.
  MaskLayers layers; // handed to the cache
  for (IBitmap* bitmap : {&layers.b, &layers.m, &layers.t}) g->RetainBitmap(bitmap);
  IKnobRotatingMaskControl* knob =
    Add(new IKnobRotatingMaskControl(&plug, 40, 30, kGain, &layers.b, &layers.m, &layers.t, 0.0, 180.0));
  EXPECT_EQ(IRECT(40, 30, 50, 40), *knob->GetRECT());
  Attach();
  auto greenAt = [&](int x, int y) { return g->GetPoint(x, y) == COLOR_GREEN; };
  // Turning clockwise: 0 degrees keeps the left half, 90 moves it to the top, 180 to the right.
  const struct
  {
    double value;
    bool topLeft, topRight, bottomLeft, bottomRight;
  } cases[] = {{0.0, true, false, true, false}, {0.5, true, true, false, false}, {1.0, false, true, false, true}};
  for (const auto& c : cases)
  {
    knob->SetValueFromPlug(c.value);
    LICE_Clear(g->GetDrawBitmap(), 0);
    DrawAll();
    EXPECT_EQ(c.topLeft, greenAt(41, 31)) << c.value;
    EXPECT_EQ(c.topRight, greenAt(48, 31)) << c.value;
    EXPECT_EQ(c.bottomLeft, greenAt(41, 38)) << c.value;
    EXPECT_EQ(c.bottomRight, greenAt(48, 38)) << c.value;
  }
}

TEST_F(ControlsTest, APopUpSwitchPromptsForItsValueOnPress)
{
  IBitmap three = Strip(10, 10, 3);
  ISwitchPopUpControl* s = Add(new ISwitchPopUpControl(&plug, 0, 0, kMode, &three));
  Attach();
  g->QueueMenuChoice(2);
  s->OnMouseDown(1, 1, &left);
  EXPECT_EQ(1, g->MenusShown());
  EXPECT_DOUBLE_EQ(1.0, s->GetValue());
  EXPECT_DOUBLE_EQ(2.0, plug.GetParam(kMode)->Value());
}

// ---------------------------------------------------------------------------
// Fader

TEST_F(ControlsTest, AFaderSpansItsTravelAndValueOnePutsTheHandleAtTheTop)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl f(&plug, 10, 20, 110, kGain, &handle);
  EXPECT_EQ(IRECT(10, 20, 30, 130), *f.GetRECT());
  EXPECT_EQ(10, f.GetHandleSize());
  EXPECT_EQ(IRECT(10, 20, 30, 30), f.GetHandleRECT(1.0));
  EXPECT_EQ(IRECT(10, 120, 30, 130), f.GetHandleRECT(0.0));
  EXPECT_EQ(IRECT(10, 120, 30, 130), f.GetHandleRECT()) << "a negative value means the current one (0)";

  IFaderControl h(&plug, 10, 20, 110, kGain, &handle, kHorizontal);
  EXPECT_EQ(IRECT(10, 20, 120, 30), *h.GetRECT());
  EXPECT_EQ(20, h.GetHandleSize());
  EXPECT_EQ(IRECT(100, 20, 120, 30), h.GetHandleRECT(1.0));
}

TEST_F(ControlsTest, AFaderPressCentresTheHandleOnTheMouse)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl* f = Add(new IFaderControl(&plug, 10, 20, 110, kGain, &handle));
  f->OnMouseDown(15, 20 + 5 + 50, &left);  // handle centre halfway down the travel
  EXPECT_DOUBLE_EQ(0.5, f->GetValue());
  f->OnMouseDrag(15, 25, 0, 0, &left);
  EXPECT_DOUBLE_EQ(1.0, f->GetValue());
  f->OnMouseDrag(15, 500, 0, 0, &left);
  EXPECT_DOUBLE_EQ(0.0, f->GetValue());
  f->OnMouseWheel(15, 25, &left, 10);
  EXPECT_NEAR(0.1, f->GetValue(), 1e-12);
}

TEST_F(ControlsTest, AFaderWithOnlyHandleHitIgnoresClicksOnItsTrack)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl* f = Add(new IFaderControl(&plug, 10, 20, 110, kGain, &handle, kVertical, true));
  Attach();
  g->SetControlFromPlug(0, 1.0);  // handle at the top
  EXPECT_TRUE(f->IsHit(15, 25));
  EXPECT_FALSE(f->IsHit(15, 100));
  g->OnMouseDown(15, 100, &left);
  EXPECT_DOUBLE_EQ(1.0, f->GetValue());
  IFaderControl plain(&plug, 10, 20, 110, kGain, &handle);
  EXPECT_TRUE(plain.IsHit(15, 100));
}

TEST_F(ControlsTest, AFaderWithNoTravelDoesNotDivideByZero)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl f(&plug, 0, 0, 10, kGain, &handle);
  f.SnapToMouse(5, 3);
  EXPECT_TRUE(std::isfinite(f.GetValue()));
}

TEST_F(ControlsTest, AFaderHandleStaysOnItsTrackForValuesOutsideTheRange)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl f(&plug, 10, 20, 110, kGain, &handle);
  EXPECT_EQ(f.GetHandleRECT(1.0), f.GetHandleRECT(5.0));
  EXPECT_EQ(f.GetHandleRECT(1.0), f.GetHandleRECT(1e300)) << "no int overflow for a wild value";
  EXPECT_EQ(f.GetHandleRECT(0.0), f.GetHandleRECT(std::nan("")));
  f.SetValueFromPlug(std::nan(""));  // the first push is stored unclamped
  EXPECT_EQ(f.GetHandleRECT(0.0), f.GetHandleRECT());
}

TEST_F(ControlsTest, AFaderDrawsItsHandleAtTheValue)
{
  IBitmap handle = Strip(20, 10, 1);
  IFaderControl* f = Add(new IFaderControl(&plug, 10, 20, 110, kGain, &handle));
  Attach();
  f->SetValueFromPlug(1.0);
  DrawAll();
  EXPECT_EQ(1, g->GetPoint(15, 25).R);
  EXPECT_NE(1, g->GetPoint(15, 125).R);
}

}  // namespace
