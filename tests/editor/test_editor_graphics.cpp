// Graphics core: control list, parameter plumbing, the redraw cycle in both
// drawing modes, and the process-wide bitmap cache.
#include <gtest/gtest.h>

#include <thread>

#include "EditorTestSupport.h"
#include "editor/IStandardControls.h"

namespace
{

struct GraphicsTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 100, 80, 30);

  RecordingControl* Add(IRECT r, int paramIdx = -1)
  {
    RecordingControl* control = new RecordingControl(&plug, r, paramIdx);
    g->AttachControl(control);
    return control;
  }
  void Attach() { plug.AttachGraphics(g); }
  // One timer tick: asks for the dirty area and redraws it.
  bool Tick()
  {
    IRECT r;
    if (!g->IsDirty(&r)) return false;
    g->Draw(&r);
    return true;
  }
  // Attaches, switches to non-strict drawing and draws the first frame.
  void AttachNonStrictAndSettle()
  {
    Attach();
    g->SetStrictDrawing(false);
    EXPECT_TRUE(Tick()) << "everything is dirty at first";
    EXPECT_FALSE(Tick()) << "the first frame cleans everything";
  }
  ~GraphicsTest() override
  {
    if (!plug.GetEditor()) delete g;
  }
};

TEST_F(GraphicsTest, AFrameRateOfZeroOrLessGivesTwentyFive)
{
  MemoryGraphics zero(&plug, 10, 10, 0), negative(&plug, 10, 10, -5);
  EXPECT_EQ(25, zero.FPS());
  EXPECT_EQ(25, negative.FPS());
  EXPECT_EQ(30, g->FPS());
}

TEST_F(GraphicsTest, AttachControlReturnsConsecutiveIndexesAndRejectsNull)
{
  EXPECT_EQ(0, g->AttachControl(new RecordingControl(&plug, IRECT(0, 0, 1, 1))));
  EXPECT_EQ(1, g->AttachControl(new RecordingControl(&plug, IRECT(0, 0, 1, 1))));
  EXPECT_EQ(-1, g->AttachControl(nullptr));
  EXPECT_EQ(2, g->GetNControls());
}

TEST_F(GraphicsTest, AttachingToThePlugInPushesEveryValueAndCreatesTheBackBuffer)
{
  RecordingControl* gain = Add(IRECT(0, 0, 10, 10), kGain);
  RecordingControl* steps = Add(IRECT(0, 0, 10, 10), kSteps);
  EXPECT_EQ(nullptr, g->GetBits());
  Attach();
  EXPECT_DOUBLE_EQ(0.5, gain->GetValue());
  EXPECT_DOUBLE_EQ(0.5, gain->GetDefaultValue());
  EXPECT_DOUBLE_EQ(0.0, steps->GetValue());
  ASSERT_NE(nullptr, g->GetBits());
  EXPECT_EQ(100, g->GetDrawBitmap()->getWidth());
  EXPECT_EQ(80, g->GetDrawBitmap()->getHeight());
  EXPECT_EQ(g, plug.GetGUI());
}

TEST_F(GraphicsTest, PlainValuesAreNormalizedBeforeAnyControlSeesThemAndAuxiliaryBindingsGetThemToo)
{
  RecordingControl* both = Add(IRECT(0, 0, 10, 10), kGain);
  both->AddAuxParam(kSteps);
  both->AddAuxParam(kGain);
  RecordingControl* auxOnly = Add(IRECT(0, 0, 10, 10), kMode);
  auxOnly->AddAuxParam(kGain);
  Attach();

  g->SetParameterFromPlug(kGain, 25.0, false);
  EXPECT_DOUBLE_EQ(0.25, both->GetValue());
  EXPECT_DOUBLE_EQ(0.25, both->GetAuxParam(1)->mValue);
  EXPECT_DOUBLE_EQ(0.0, both->GetAuxParam(0)->mValue);
  EXPECT_DOUBLE_EQ(0.25, auxOnly->GetAuxParam(0)->mValue);
  EXPECT_DOUBLE_EQ(0.0, auxOnly->GetValue());

  g->SetParameterFromPlug(kGain, 250.0, false);  // clamped by the parameter
  EXPECT_DOUBLE_EQ(1.0, both->GetValue());
  g->SetParameterFromPlug(99, 1.0, false);  // unknown parameter: nothing
  g->SetParameterFromPlug(99, 1.0, true);
}

TEST_F(GraphicsTest, RedrawParamControlsCarriesPlainValuesToTheControls)
{
  RecordingControl* steps = Add(IRECT(0, 0, 10, 10), kSteps);
  Attach();
  plug.GetParam(kSteps)->Set(4.0);
  plug.RedrawParamControls();
  EXPECT_DOUBLE_EQ(0.4, steps->GetValue());
}

TEST_F(GraphicsTest, SetControlFromPlugIgnoresIndexesOutsideTheList)
{
  RecordingControl* c = Add(IRECT(0, 0, 10, 10));
  g->SetControlFromPlug(-1, 0.7);
  g->SetControlFromPlug(1, 0.7);
  EXPECT_DOUBLE_EQ(0.0, c->GetValue());
  g->SetControlFromPlug(0, 0.3);
  g->SetControlFromPlug(0, 0.7);
  EXPECT_DOUBLE_EQ(0.7, c->GetValue());
}

TEST_F(GraphicsTest, SetParameterFromGUIActsAsAUserGestureOnEveryBoundControl)
{
  Add(IRECT(0, 0, 10, 10), kSteps);
  Add(IRECT(0, 0, 10, 10), kSteps);
  Add(IRECT(0, 0, 10, 10), kGain);
  Attach();
  g->SetParameterFromGUI(kSteps, 0.3);
  ASSERT_EQ(2u, plug.fromGUI.size());
  EXPECT_EQ(kSteps, plug.fromGUI[1].first);
  EXPECT_DOUBLE_EQ(3.0, plug.GetParam(kSteps)->Value());
}

TEST_F(GraphicsTest, ClampControlNormalizesPlainBoundsAndAppliesThemAtTheNextChange)
{
  RecordingControl* gain = Add(IRECT(0, 0, 10, 10), kGain);
  Attach();
  g->ClampControl(kGain, 20.0, 60.0, false);
  EXPECT_DOUBLE_EQ(0.2, gain->GetClampLo());
  EXPECT_DOUBLE_EQ(0.6, gain->GetClampHi());
  EXPECT_DOUBLE_EQ(0.5, gain->GetValue()) << "clamping alone does not change or redraw the value";
  gain->SetValueFromUserInput(0.9);
  EXPECT_DOUBLE_EQ(0.6, gain->GetValue());
}

TEST_F(GraphicsTest, HideGrayAndTooltipsActOnTheControlsBoundToTheParameter)
{
  RecordingControl* gain = Add(IRECT(0, 0, 10, 10), kGain);
  RecordingControl* other = Add(IRECT(0, 0, 10, 10), kSteps);
  RecordingControl* unbound = Add(IRECT(0, 0, 10, 10));
  g->HideControl(kGain, true);
  g->GrayOutControl(kGain, true);
  EXPECT_TRUE(gain->IsHidden());
  EXPECT_TRUE(gain->IsGrayed());
  EXPECT_FALSE(other->IsHidden());
  EXPECT_FALSE(other->IsGrayed());
  g->AssignParamNameToolTips();
  EXPECT_STREQ("Gain", gain->GetTooltip());
  EXPECT_STREQ("Steps", other->GetTooltip());
  EXPECT_STREQ("", unbound->GetTooltip());
}

TEST_F(GraphicsTest, IsDirtyLeavesTheRectangleAloneWhenNothingIsDirty)
{
  Add(IRECT(0, 0, 10, 10));
  Attach();
  Tick();
  IRECT r(1, 2, 3, 4);
  EXPECT_FALSE(g->IsDirty(&r));
  EXPECT_EQ(IRECT(1, 2, 3, 4), r);
  EXPECT_FALSE(g->IsDirty(nullptr));
}

TEST_F(GraphicsTest, IsDirtyUnitesTheRectanglesOfDirtyControlsHiddenOnesIncluded)
{
  Add(IRECT(0, 0, 100, 80));
  RecordingControl* a = Add(IRECT(10, 10, 20, 20));
  RecordingControl* b = Add(IRECT(50, 40, 60, 70));
  Attach();
  Tick();
  a->SetDirty(false);
  b->Hide(true);
  IRECT r;
  EXPECT_TRUE(g->IsDirty(&r));
  EXPECT_EQ(IRECT(10, 10, 60, 70), r);
}

TEST_F(GraphicsTest, AValueChangeIsRedrawnOnTwoTimerTicksThenTheEditorIsClean)
{
  Add(IRECT(0, 0, 100, 80));
  RecordingControl* knob = Add(IRECT(10, 10, 30, 30), kGain);
  Attach();
  EXPECT_TRUE(Tick());
  EXPECT_FALSE(Tick());
  const int before = knob->draws;
  g->SetParameterFromPlug(kGain, 0.9, true);
  EXPECT_TRUE(Tick());
  EXPECT_TRUE(Tick());
  EXPECT_FALSE(Tick());
  EXPECT_EQ(before + 2, knob->draws);
}

TEST_F(GraphicsTest, TheStrictPassDrawsEveryVisibleControlAndCleansHiddenOnes)
{
  RecordingControl* bg = Add(IRECT(0, 0, 100, 80));
  RecordingControl* a = Add(IRECT(10, 10, 20, 20));
  RecordingControl* hidden = Add(IRECT(50, 50, 60, 60));
  Attach();
  hidden->Hide(true);
  hidden->SetClean();
  hidden->SetDirty(false);
  IRECT r(0, 0, 100, 80);
  EXPECT_TRUE(g->Draw(&r));
  EXPECT_EQ(1, bg->draws);
  EXPECT_EQ(1, a->draws);
  EXPECT_EQ(0, hidden->draws);
  EXPECT_FALSE(hidden->IsDirty());
  EXPECT_EQ(1, g->DrawScreenCalls());
  EXPECT_EQ(r, g->LastDrawScreenRECT());
}

TEST_F(GraphicsTest, TheNonStrictPassWithAHiddenDirtyControlDrawsItsNeighboursAndCleansIt)
{
  RecordingControl* bg = Add(IRECT(0, 0, 100, 80));
  RecordingControl* under = Add(IRECT(5, 5, 25, 25));
  RecordingControl* hidden = Add(IRECT(10, 10, 30, 30));
  RecordingControl* far = Add(IRECT(70, 60, 90, 75));
  AttachNonStrictAndSettle();  // everything was dirty: the background pass draws all
  const int bgDraws = bg->draws, underDraws = under->draws, farDraws = far->draws;

  hidden->Hide(true);
  hidden->SetClean();  // only the plain dirty flag remains
  ASSERT_TRUE(hidden->IsDirty());
  ASSERT_TRUE(Tick());
  EXPECT_EQ(1, hidden->draws) << "the hidden control is not drawn in this pass";
  EXPECT_EQ(bgDraws + 1, bg->draws);
  EXPECT_EQ(underDraws + 1, under->draws);
  EXPECT_EQ(farDraws, far->draws);
  EXPECT_FALSE(hidden->IsDirty());
}

TEST_F(GraphicsTest, TheNonStrictPassCleansOnlyTheDirtyControlNotTheNeighboursItDrew)
{
  Add(IRECT(0, 0, 100, 80));
  RecordingControl* a = Add(IRECT(10, 10, 30, 30));
  RecordingControl* b = Add(IRECT(20, 20, 40, 40));
  AttachNonStrictAndSettle();

  a->SetDirty(false);
  b->SetDirty(false);
  b->SetRedrawPending();
  ASSERT_TRUE(Tick());
  // a's turn draws a and b; b's turn draws a and b again; b keeps its pending redraw.
  EXPECT_FALSE(a->IsDirty());
  EXPECT_TRUE(b->IsDirty());
}

TEST_F(GraphicsTest, TheNonStrictPassRedrawsNeighboursTouchingTheDirtyAreaOnTheirRightOrBottomEdge)
{
  Add(IRECT(0, 0, 100, 80));
  RecordingControl* dirty = Add(IRECT(30, 30, 50, 50));
  // A control's outline is drawn on its R and B columns, inside the dirty area
  // of a neighbour starting there; one starting at the dirty area's own R or B
  // does not reach into it.
  RecordingControl* left = Add(IRECT(10, 35, 30, 45));
  RecordingControl* above = Add(IRECT(35, 10, 45, 30));
  RecordingControl* right = Add(IRECT(50, 35, 70, 45));
  RecordingControl* below = Add(IRECT(35, 50, 45, 70));
  AttachNonStrictAndSettle();
  const int before[] = {left->draws, above->draws, right->draws, below->draws};
  dirty->SetDirty(false);
  Tick();
  EXPECT_EQ(before[0] + 1, left->draws);
  EXPECT_EQ(before[1] + 1, above->draws);
  EXPECT_EQ(before[2], right->draws);
  EXPECT_EQ(before[3], below->draws);
}

TEST_F(GraphicsTest, TheNonStrictPassWithADirtyBackgroundDrawsItEvenWhenHidden)
{
  RecordingControl* bg = Add(IRECT(0, 0, 100, 80));
  RecordingControl* hidden = Add(IRECT(10, 10, 30, 30));
  AttachNonStrictAndSettle();
  bg->Hide(true);
  hidden->Hide(true);
  const int bgDraws = bg->draws;
  ASSERT_TRUE(Tick());
  EXPECT_EQ(bgDraws + 1, bg->draws);
  EXPECT_EQ(1, hidden->draws);  // only the first pass, before it was hidden
  EXPECT_TRUE(hidden->IsDirty()) << "hidden controls above the background are not cleaned by its pass";
}

TEST_F(GraphicsTest, DrawWithNoControlsDrawsNothingAndDoesNotCallDrawScreen)
{
  Attach();
  IRECT r(0, 0, 10, 10);
  EXPECT_TRUE(g->Draw(&r));
  EXPECT_EQ(0, g->DrawScreenCalls());
}

TEST_F(GraphicsTest, AttachBackgroundInsertsBelowControlsAttachedBefore)
{
  RecordingControl* a = Add(IRECT(0, 0, 1, 1));
  RecordingControl* b = Add(IRECT(0, 0, 1, 1));
  RecordingControl* c = Add(IRECT(0, 0, 1, 1));
  g->AttachBackground(40, "bg.png");
  ASSERT_EQ(4, g->GetNControls());
  EXPECT_EQ(a, g->GetControl(1));
  EXPECT_EQ(b, g->GetControl(2));
  EXPECT_EQ(c, g->GetControl(3));
  IControl* bg = g->GetControl(0);
  EXPECT_EQ(IRECT(0, 0, 40, 80), *bg->GetRECT());
  EXPECT_EQ(-1, bg->ParamIdx());
  EXPECT_EQ(IChannelBlend::kBlendClobber, bg->GetBlend()->mMethod);

  g->AttachPanelBackground(&COLOR_RED);
  EXPECT_EQ(5, g->GetNControls());
  EXPECT_EQ(IRECT(0, 0, 100, 80), *g->GetControl(0)->GetRECT());
  EXPECT_EQ(bg, g->GetControl(1));
}

TEST_F(GraphicsTest, ResizeResizesTheSurfacesAndTellsThePlugIn)
{
  Attach();
  g->Resize(120, 90);
  EXPECT_EQ(120, g->Width());
  EXPECT_EQ(120, g->GetDrawBitmap()->getWidth());
  EXPECT_EQ(90, g->GetDrawBitmap()->getHeight());
  EXPECT_EQ(120, plug.resizedW);
  EXPECT_EQ(90, plug.resizedH);
}

// ---------------------------------------------------------------------------
// Bitmap cache (process-wide: each test uses its own ids)

TEST_F(GraphicsTest, LoadingTheSameIdTwiceReturnsTheSamePixelsAndLoadsOnce)
{
  IBitmap first = g->LoadIBitmap(3, "a.png", 2);
  IBitmap second = g->LoadIBitmap(3, "b.png", 5, true);
  EXPECT_EQ(1, g->loads);
  EXPECT_EQ(first.mData, second.mData);
  EXPECT_EQ(3, second.W);
  EXPECT_EQ(6, second.H);
  EXPECT_EQ(5, second.N);
  EXPECT_TRUE(second.mFramesAreHorizontal);

  TestPlug otherPlug;
  MemoryGraphics other(&otherPlug, 10, 10);
  IBitmap third = other.LoadIBitmap(3, "c.png");
  EXPECT_EQ(0, other.loads) << "another editor in the process shares the cache";
  EXPECT_EQ(first.mData, third.mData);
}

TEST_F(GraphicsTest, EditorsOnTwoThreadsShareTheCacheSafely)
{
  BitmapStorage& cache = IGraphics::BitmapCache();
  const int before = cache.Count();
  const int firstId = 700, count = 40;
  auto loadAll = [&]() {
    TestPlug threadPlug;
    MemoryGraphics editor(&threadPlug, 10, 10);
    for (int id = firstId; id < firstId + count; ++id) editor.LoadIBitmap(id, "shared.png");
  };
  std::thread a(loadAll), b(loadAll);
  a.join();
  b.join();
  // A first load racing on both threads may store the image twice; never less than once.
  EXPECT_GE(cache.Count() - before, count);
  EXPECT_LE(cache.Count() - before, 2 * count);
  for (int id = firstId; id < firstId + count; ++id) ASSERT_NE(nullptr, cache.Find(id)) << id;
  IBitmap again = g->LoadIBitmap(firstId, "shared.png");
  EXPECT_EQ(cache.Find(firstId), again.mData);
  EXPECT_EQ(0, g->loads);
}

TEST_F(GraphicsTest, ReleaseBitmapFreesTheSharedPixelsOnce)
{
  BitmapStorage& cache = IGraphics::BitmapCache();
  IBitmap first = g->LoadIBitmap(5, "x.png");
  IBitmap copy = first;
  const int records = cache.Count();
  g->ReleaseBitmap(&copy);
  EXPECT_EQ(records - 1, cache.Count());
  EXPECT_EQ(nullptr, cache.Find(5));
  g->ReleaseBitmap(&first);  // already gone: left alone
  EXPECT_EQ(records - 1, cache.Count());
  IBitmap reloaded = g->LoadIBitmap(5, "x.png");
  EXPECT_EQ(2, g->loads);
  EXPECT_NE(nullptr, reloaded.mData);
}

TEST_F(GraphicsTest, AnImageThatCannotBeLoadedBecomesAnEmptyBitmapAndIsReported)
{
  testing::internal::CaptureStderr();
  IBitmap missing = g->LoadIBitmap(-7, "resources/img/nowhere.png", 3);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("nowhere.png")) << err;
  ASSERT_NE(nullptr, missing.mData);
  EXPECT_EQ(0, missing.W);
  EXPECT_EQ(0, missing.H);

  // The editor stays usable: a control on it draws nothing and does not crash.
  IBitmapControl* c = new IBitmapControl(&plug, 5, 5, kGain, &missing);
  g->AttachControl(c);
  Attach();
  IRECT r = Whole(*g);
  EXPECT_TRUE(g->Draw(&r));
}

TEST_F(GraphicsTest, CropCopiesTheAreaIntoANewCachedBitmap)
{
  LICE_MemBitmap* source = MakeGradientBitmap(8, 8, 9);
  IBitmap src(source, 8, 8, 2);
  g->RetainBitmap(&src);
  BitmapStorage& cache = IGraphics::BitmapCache();
  const int records = cache.Count();

  IRECT area(2, 3, 6, 8);
  IBitmap crop = g->CropBitmap(&src, &area);
  ASSERT_NE(nullptr, crop.mData);
  EXPECT_EQ(records + 1, cache.Count());
  EXPECT_EQ(4, crop.W);
  EXPECT_EQ(5, crop.H);
  EXPECT_EQ(2, crop.N);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(LICE_MakePixel(x + 2, y + 3, 9, 255), LICE_GetPixel(crop.mData, x, y)) << x << "," << y;

  IRECT empty(3, 3, 3, 9);
  EXPECT_EQ(nullptr, g->CropBitmap(&src, &empty).mData);
  EXPECT_EQ(nullptr, g->CropBitmap(nullptr, &area).mData);
  g->ReleaseBitmap(&crop);
  g->ReleaseBitmap(&src);
  EXPECT_EQ(records - 1, cache.Count());
}

TEST_F(GraphicsTest, ScaleDoublesAFlatImageWithoutChangingItsColour)
{
  LICE_MemBitmap* source = new LICE_MemBitmap(4, 4, 4);
  LICE_Clear(source, LICE_MakePixel(10, 200, 30, 255));
  IBitmap src(source, 4, 4, 3);
  g->RetainBitmap(&src);
  IBitmap big = g->ScaleBitmap(&src, 8, 6);
  ASSERT_NE(nullptr, big.mData);
  EXPECT_EQ(8, big.W);
  EXPECT_EQ(6, big.H);
  EXPECT_EQ(3, big.N);
  EXPECT_FALSE(big.mFramesAreHorizontal);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(LICE_MakePixel(10, 200, 30, 255), LICE_GetPixel(big.mData, x, y)) << x << "," << y;
  EXPECT_EQ(nullptr, g->ScaleBitmap(&src, 0, 5).mData);
  g->ReleaseBitmap(&big);
  g->ReleaseBitmap(&src);
}

}  // namespace
