// The assembled editor: what CreateGraphics attaches, in which order and
// where; what the parameter changes show and hide on it; and snapshots of it
// drawn off-screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "TremoloEditorTestSupport.h"
#include "raster/lice_png.h"
#include "tremolo/EditorSnapshot.h"
#include "tremolo/IKnobMultiControlCap.h"
#include "tremolo/IPlotControl.h"
#include "tremolo/IRadioButtonCap.h"
#include "tremolo/QuillbarTremoloUIConfig.h"

using namespace tremolotest;

namespace {

// Control indices in attach order: background, the parameters, cover, plot.
constexpr int kFirstParamControl = 1;
constexpr int kCoverControl = 12;
constexpr int kPlotControl = 13;

IControl* ParamControl(IGraphics* gui, int paramIdx) { return gui->GetControl(kFirstParamControl + paramIdx); }

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "/editor_" + std::to_string(getpid()) + "_" + name;
}

LICE_pixel PixelOf(LICE_IBitmap* b, int x, int y) { return b->getBits()[y * b->getRowSpan() + x]; }

// Sum of absolute channel differences over a rectangle of two images.
long Difference(LICE_IBitmap* a, LICE_IBitmap* b, IRECT r) {
  long sum = 0;
  for (int y = r.T; y < r.B; ++y)
    for (int x = r.L; x < r.R; ++x) {
      const LICE_pixel p = PixelOf(a, x, y), q = PixelOf(b, x, y);
      sum += std::abs(LICE_PixelR(p) - LICE_PixelR(q)) + std::abs(LICE_PixelG(p) - LICE_PixelG(q)) +
             std::abs(LICE_PixelB(p) - LICE_PixelB(q));
    }
  return sum;
}

}  // namespace

TEST(TremoloEditorAssembly, AttachesBackgroundElevenControlsCoverAndPlotInOrder) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  ASSERT_NE(gui, nullptr);
  EXPECT_EQ(gui->Width(), kTremoloEditorWidth);
  EXPECT_EQ(gui->Height(), kTremoloEditorHeight);
  ASSERT_EQ(gui->GetNControls(), 14);
  EXPECT_EQ(gui->GetControl(0)->ParamIdx(), -1);
  EXPECT_EQ(*gui->GetControl(0)->GetRECT(), IRECT(0, 0, 863, 468));
  for (int i = 0; i < kNumParams; ++i) {
    IControl* c = ParamControl(gui, i);
    EXPECT_EQ(c->ParamIdx(), i);
    if (i <= kShape)
      EXPECT_NE(dynamic_cast<IKnobMultiControlCap*>(c), nullptr) << i;
    else if (i == kPrefix)
      EXPECT_NE(dynamic_cast<IRadioButtonCap*>(c), nullptr);
    else
      EXPECT_NE(dynamic_cast<IRadioButtonsControl*>(c), nullptr) << i;
  }
  EXPECT_EQ(gui->GetControl(kCoverControl), plug->GetPrefixCover());
  EXPECT_EQ(gui->GetControl(kPlotControl), plug->GetPlotControl());
  EXPECT_EQ(*plug->GetPlotControl()->GetRECT(), IRECT(542, 46, 817, 211));
  EXPECT_EQ(plug->GetPrefixCover()->GetRECT()->L, 242);
  EXPECT_EQ(plug->GetPrefixCover()->GetRECT()->T, 391);
}

TEST(TremoloEditorAssembly, KnobsAreCentredOnTheirAnchorsAndSwitchesFillTheirRectangles) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  QuillbarTremoloUIConfig config;
  for (int i = 0; i <= kShape; ++i) {
    auto* knob = static_cast<IKnobMultiControlCap*>(ParamControl(gui, i));
    const IRECT anchor = config.FindParam(i)->rects[0];
    const IRECT* r = knob->GetRECT();
    EXPECT_GT(r->W(), 0) << "skin image of parameter " << i << " missing";
    EXPECT_LE(std::abs((r->L + r->R) / 2 - anchor.L), 1) << i;
    EXPECT_LE(std::abs((r->T + r->B) / 2 - anchor.T), 1) << i;
    EXPECT_EQ(knob->GetGearing(), 4.0);
    EXPECT_FALSE(knob->IsCaptionHidden());
  }
  auto* prefix = static_cast<IRadioButtonCap*>(ParamControl(gui, kPrefix));
  EXPECT_EQ(prefix->NButtons(), 3);
  EXPECT_EQ(prefix->GetCaptionRECT().T, 407 - 53);
  EXPECT_EQ(prefix->GetCaptionRECT().L, 243);
  for (int i : {kTempoSync, kOnOff, kMode}) {
    auto* sw = static_cast<IRadioButtonsControl*>(ParamControl(gui, i));
    ASSERT_EQ(sw->NButtons(), 2);
    EXPECT_EQ(sw->GetButtonRECT(0)->T, sw->GetRECT()->T) << i;
    EXPECT_EQ(sw->GetButtonRECT(1)->B, sw->GetRECT()->B) << i;
  }
}

TEST(TremoloEditorAssembly, SharedSkinImagesAreLoadedOnce) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  auto* phase = static_cast<IKnobMultiControl*>(ParamControl(gui, kPhase));
  auto* shape = static_cast<IKnobMultiControl*>(ParamControl(gui, kShape));
  EXPECT_EQ(phase->GetBitmap()->mData, shape->GetBitmap()->mData);
  EXPECT_EQ(phase->GetBitmap()->N, 150);
  auto second = MakeTremolo();
  EXPECT_EQ(static_cast<IKnobMultiControl*>(ParamControl(second->GetGUI(), kPhase))->GetBitmap()->mData,
            phase->GetBitmap()->mData);
}

TEST(TremoloEditorAssembly, OpeningForAudioDecodesNoSkinImageAndDrawingDecodesTheSamePixels) {
  const long long before = LICE_PNGDecodeCount();
  auto plug = MakeTremolo();
  double in[64] = {}, out[64];
  double* ins[2] = {in, in};
  double* outs[2] = {out, out};
  plug->ProcessDoubleReplacing(ins, outs, 64);
  EXPECT_EQ(LICE_PNGDecodeCount(), before) << "a render never shows the editor";

  IGraphics* gui = plug->GetGUI();
  IRECT all(0, 0, gui->Width(), gui->Height());
  gui->Draw(&all);
  const QuillbarTremoloUIConfig config;
  std::vector<std::pair<int, std::string>> images = {{kTremoloBackgroundId, kTremoloBackgroundPath}};
  for (int i = 0; i < config.Size(); ++i)
    for (size_t b = 0; b < config.Get(i)->bitmapIds.size(); ++b)
      images.push_back({config.Get(i)->bitmapIds[b], config.Get(i)->bitmapPaths[b]});
  for (const auto& image : images) {
    LICE_IBitmap* cached = IGraphics::BitmapCache().Find(image.first);
    std::unique_ptr<LICE_IBitmap> direct(
        LICE_LoadPNG((std::string(QUILL_SOURCE_DIR) + "/tremolo/" + image.second).c_str()));
    ASSERT_TRUE(cached && direct) << image.second;
    EXPECT_EQ(LICE_BitmapCmp(cached, direct.get()), 0) << image.second;
  }
}

TEST(TremoloEditorState, FirstParameterPassShowsFrequencyAndTheCoverAndPlotsTheCurve) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  EXPECT_FALSE(ParamControl(gui, kFrequency)->IsHidden());
  EXPECT_TRUE(ParamControl(gui, kNote)->IsHidden());
  EXPECT_TRUE(ParamControl(gui, kPrefix)->IsHidden());
  EXPECT_FALSE(plug->GetPrefixCover()->IsHidden());
  ASSERT_TRUE(plug->GetPlotControl()->HasData());
  // The controls show the parameters' values.
  EXPECT_NEAR(ParamControl(gui, kFrequency)->GetValue(), plug->GetParam(kFrequency)->GetNormalized(), 1e-12);
}

TEST(TremoloEditorState, TempoSyncOnSwapsFrequencyForNoteAndUncoversThePrefix) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  SetParam(*plug, kTempoSync, 1.0);
  EXPECT_TRUE(ParamControl(gui, kFrequency)->IsHidden());
  EXPECT_FALSE(ParamControl(gui, kNote)->IsHidden());
  EXPECT_FALSE(ParamControl(gui, kPrefix)->IsHidden());
  EXPECT_TRUE(plug->GetPrefixCover()->IsHidden());
  IRECT r;
  EXPECT_TRUE(gui->IsDirty(&r));
  EXPECT_EQ(r, IRECT(0, 0, 863, 468));
  SetParam(*plug, kTempoSync, 0.0);
  EXPECT_FALSE(ParamControl(gui, kFrequency)->IsHidden());
  EXPECT_TRUE(ParamControl(gui, kNote)->IsHidden());
  EXPECT_FALSE(plug->GetPrefixCover()->IsHidden());
}

TEST(TremoloEditorState, ShapeChangeRedrawsThePlotWithTheNewCurve) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  IRECT all(0, 0, 863, 468);
  IRECT r;
  // Hidden controls ask for a second pass; two leave everything clean.
  gui->Draw(&all);
  gui->Draw(&all);
  ASSERT_FALSE(gui->IsDirty(&r));
  SetParam(*plug, kShape, 2.0);
  ASSERT_TRUE(gui->IsDirty(&r));
  EXPECT_TRUE(r.Contains(plug->GetPlotControl()->GetRECT()));
  // Volume changes the gain only: the plot stays clean.
  gui->Draw(&all);
  SetParam(*plug, kVolume, 1.5);
  EXPECT_FALSE(plug->GetPlotControl()->IsDirty());
}

TEST(TremoloEditorState, ReplacingTheEditorForgetsTheOldControls) {
  auto plug = MakeTremolo();
  plug->AttachGraphics(new IGraphicsHeadless(plug.get(), 100, 100, 30));
  EXPECT_EQ(plug->GetPlotControl(), nullptr);
  EXPECT_EQ(plug->GetPrefixCover(), nullptr);
  // Changes that would talk to the old controls now leave them alone.
  SetParams(*plug, {{kTempoSync, 1.0}, {kShape, 0.5}});
  EXPECT_EQ(plug->GetGUI()->Width(), 100);
}

TEST(TremoloEditorState, ABuiltAgainEditorIsTheOneTheParametersTalkTo) {
  auto plug = MakeTremolo();
  plug->CreateGraphics();
  IGraphics* gui = plug->GetGUI();
  ASSERT_NE(gui, nullptr);
  ASSERT_EQ(gui->GetNControls(), 14);
  EXPECT_EQ(plug->GetPrefixCover(), gui->GetControl(kCoverControl));
  EXPECT_EQ(plug->GetPlotControl(), gui->GetControl(kPlotControl));
  ASSERT_NE(plug->GetPlotControl(), nullptr);
  EXPECT_FALSE(plug->GetPlotControl()->HasData());
  SetParam(*plug, kShape, 0.5);
  EXPECT_TRUE(plug->GetPlotControl()->HasData());
  SetParam(*plug, kTempoSync, 1.0);
  EXPECT_TRUE(plug->GetPrefixCover()->IsHidden());
}

TEST(TremoloEditorState, MakeGraphicsRefusesBadSizes) {
  auto plug = MakeTremolo();
  EXPECT_EQ(MakeGraphics(nullptr, 10, 10), nullptr);
  EXPECT_EQ(MakeGraphics(plug.get(), 0, 10), nullptr);
  EXPECT_EQ(MakeGraphics(plug.get(), 10, -1), nullptr);
  std::unique_ptr<IGraphics> g(MakeGraphics(plug.get(), 20, 10, 30));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Width(), 20);
}

TEST(TremoloEditorSnapshot, DefaultAndGatedSnapshotsDifferWhereTheSyncControlsAre) {
  const std::string plain = TempPath("default.png"), gated = TempPath("gated.png");
  ASSERT_TRUE(WriteTremoloSnapshot(nullptr, plain.c_str()));
  ASSERT_TRUE(WriteTremoloSnapshot("Gated", gated.c_str()));
  std::unique_ptr<LICE_IBitmap> a(LICE_LoadPNG(plain.c_str())), b(LICE_LoadPNG(gated.c_str()));
  ASSERT_TRUE(a && b);
  ASSERT_EQ(a->getWidth(), 863);
  ASSERT_EQ(a->getHeight(), 468);
  // Frequency knob vs Note knob, cover vs Prefix buttons, and the plot.
  EXPECT_GT(Difference(a.get(), b.get(), IRECT(160, 225, 210, 275)), 1000);
  EXPECT_GT(Difference(a.get(), b.get(), IRECT(243, 407, 329, 432)), 1000);
  EXPECT_GT(Difference(a.get(), b.get(), IRECT(542, 46, 817, 211)), 1000);
  // The Volume knob is at 1.0 in both: the same pixels.
  EXPECT_EQ(Difference(a.get(), b.get(), IRECT(745, 332, 795, 382)), 0);
  // The plot glows green.
  long green = 0, red = 0;
  for (int y = 46; y < 211; ++y)
    for (int x = 542; x < 817; ++x) {
      green += LICE_PixelG(PixelOf(a.get(), x, y));
      red += LICE_PixelR(PixelOf(a.get(), x, y));
    }
  EXPECT_GT(green, red);
  std::remove(plain.c_str());
  std::remove(gated.c_str());
}

TEST(TremoloEditorSnapshot, SnapshotMatchesTheBackBufferOfAStrictPass) {
  auto plug = MakeTremolo();
  const std::string path = TempPath("direct.png");
  ASSERT_TRUE(WriteEditorSnapshot(plug.get(), path.c_str()));
  std::unique_ptr<LICE_IBitmap> img(LICE_LoadPNG(path.c_str()));
  ASSERT_TRUE(img);
  LICE_IBitmap* back = plug->GetGUI()->GetDrawBitmap();
  for (int y = 0; y < 468; y += 3)
    for (int x = 0; x < 863; x += 3)
      ASSERT_EQ(PixelOf(img.get(), x, y) & 0xFFFFFF00u, PixelOf(back, x, y) & 0xFFFFFF00u) << x << "," << y;
  // A second snapshot of the same state is the same picture: no glow piles up.
  const std::string again = TempPath("again.png");
  ASSERT_TRUE(WriteEditorSnapshot(plug.get(), again.c_str()));
  std::unique_ptr<LICE_IBitmap> img2(LICE_LoadPNG(again.c_str()));
  ASSERT_TRUE(img2);
  EXPECT_EQ(Difference(img.get(), img2.get(), IRECT(0, 0, 863, 468)), 0);
  std::remove(path.c_str());
  std::remove(again.c_str());
}

TEST(TremoloEditorSnapshot, TheEditorKeepsItsOwnDrawingMode) {
  auto plug = MakeTremolo();
  IGraphics* gui = plug->GetGUI();
  ASSERT_NE(gui, nullptr);
  gui->SetStrictDrawing(false);
  const std::string path = TempPath("mode.png");
  ASSERT_TRUE(WriteEditorSnapshot(plug.get(), path.c_str()));
  EXPECT_FALSE(gui->GetStrictDrawing());
  gui->SetStrictDrawing(true);
  ASSERT_TRUE(WriteEditorSnapshot(plug.get(), path.c_str()));
  EXPECT_TRUE(gui->GetStrictDrawing());
  std::remove(path.c_str());
}

TEST(TremoloEditorSnapshot, BadArgumentsAreRefused) {
  EXPECT_FALSE(WriteEditorSnapshot(static_cast<IPlugBase*>(nullptr), TempPath("x.png").c_str()));
  EXPECT_FALSE(WriteEditorSnapshot(static_cast<IGraphics*>(nullptr), TempPath("x.png").c_str()));
  auto plug = MakeTremolo();
  // An editor that was never attached has no back buffer to write.
  std::unique_ptr<IGraphics> loose(MakeGraphics(plug.get(), 10, 10));
  EXPECT_FALSE(WriteEditorSnapshot(loose.get(), TempPath("z.png").c_str()));
  EXPECT_FALSE(WriteEditorSnapshot(plug.get(), nullptr));
  EXPECT_FALSE(WriteEditorSnapshot(plug.get(), "/nonexistent-folder/x.png"));
  EXPECT_FALSE(WriteTremoloSnapshot("No Such Preset", TempPath("y.png").c_str()));
}
