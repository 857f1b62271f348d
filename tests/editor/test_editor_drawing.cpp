// Drawing API, checked on the pixels of a small back buffer.
#include <gtest/gtest.h>

#include <cmath>

#include "EditorTestSupport.h"

namespace
{

const IColor kBackdrop(255, 20, 20, 20);

struct DrawingTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 64, 48);
  RecordingControl* canvas = new RecordingControl(&plug, IRECT(0, 0, 64, 48));

  DrawingTest()
  {
    g->AttachControl(canvas);
    plug.AttachGraphics(g);
    LICE_Clear(g->GetDrawBitmap(), IColorToPixel(kBackdrop));
  }

  // Runs `routine` inside a strict drawing pass whose draw rectangle is `clip`.
  void DrawIn(IRECT clip, std::function<void(IGraphics*)> routine)
  {
    canvas->routine = std::move(routine);
    g->Draw(&clip);
    canvas->routine = nullptr;
  }
  void DrawAll(std::function<void(IGraphics*)> routine) { DrawIn(Whole(*g), std::move(routine)); }

  IColor At(int x, int y) { return g->GetPoint(x, y); }
  // Number of back-buffer pixels that differ from the backdrop.
  int Touched()
  {
    int n = 0;
    for (int y = 0; y < g->Height(); ++y)
      for (int x = 0; x < g->Width(); ++x) n += At(x, y) != kBackdrop;
    return n;
  }
};

TEST(ColourTranslation, ChannelsArePackedAlphaLowBlueHighAndClampedToEightBits)
{
  EXPECT_EQ(0x04030201u, IColorToPixel(IColor(1, 2, 3, 4)));
  EXPECT_EQ(0x040302FFu, IColorToPixel(IColor(0x1FF, 2, 3, 4)));
  EXPECT_EQ(0x04030200u, IColorToPixel(IColor(-5, 2, 3, 4))) << "a negative channel is clamped to 0, not wrapped";
  for (int v : {0, 1, 127, 128, 254, 255})
  {
    const IColor c(v, 255 - v, v / 2, 200);
    EXPECT_EQ(c, PixelToIColor(IColorToPixel(c)));
  }
}

TEST(BlendTranslation, EachMethodMapsToItsCombineModeAndWeight)
{
  float w;
  int mode;
  BlendToLice(nullptr, &w, &mode);
  EXPECT_FLOAT_EQ(1.0f, w);
  EXPECT_EQ(LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA, mode);

  const struct
  {
    IChannelBlend::EBlendMethod method;
    int mode;
  } table[] = {
    {IChannelBlend::kBlendNone, LICE_COMBINE_COPY | LICE_COMBINE_SOURCE_ALPHA},
    {IChannelBlend::kBlendClobber, LICE_COMBINE_COPY},
    {IChannelBlend::kBlendAdd, LICE_COMBINE_ADD | LICE_COMBINE_SOURCE_ALPHA},
    {IChannelBlend::kBlendColorDodge, LICE_COMBINE_DODGE | LICE_COMBINE_SOURCE_ALPHA},
  };
  for (const auto& row : table)
  {
    IChannelBlend blend(row.method, 0.5f);
    BlendToLice(&blend, &w, &mode);
    EXPECT_FLOAT_EQ(0.5f, w);
    EXPECT_EQ(row.mode, mode) << "method " << row.method;
  }
}

TEST_F(DrawingTest, FillIRectCoversExactlyTheRectangle)
{
  IRECT r(10, 5, 20, 12);
  DrawAll([&](IGraphics* gr) { gr->FillIRect(&COLOR_RED, &r); });
  EXPECT_EQ(COLOR_RED, At(10, 5));
  EXPECT_EQ(COLOR_RED, At(19, 11));
  EXPECT_EQ(kBackdrop, At(20, 11));
  EXPECT_EQ(kBackdrop, At(19, 12));
  EXPECT_EQ(10 * 7, Touched());
}

TEST_F(DrawingTest, FrameThreeOfAFiveFrameStripStartsAtSourceRowForty)
{
  IBitmap strip(MakeGradientBitmap(10, 100), 10, 100, 5);
  IRECT dest(0, 0, 10, 20);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&strip, &dest, 3); });
  EXPECT_EQ(40, At(0, 0).G);
  EXPECT_EQ(59, At(3, 19).G);
  EXPECT_EQ(3, At(3, 19).R);
  delete strip.mData;
}

TEST_F(DrawingTest, HorizontalFramesAdvanceAlongXAndLowFramesShowTheFirst)
{
  IBitmap strip(MakeGradientBitmap(50, 10), 50, 10, 5, true);
  IRECT dest(0, 0, 10, 10);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&strip, &dest, 2); });
  EXPECT_EQ(10, At(0, 0).R);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&strip, &dest, 0); });
  EXPECT_EQ(0, At(0, 0).R);
  IBitmap single(strip.mData, 50, 10, 1, true);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&single, &dest, 4); });
  EXPECT_EQ(0, At(0, 0).R);
  delete strip.mData;
}

TEST_F(DrawingTest, BitmapDrawingIsClippedToTheDrawRectangleAndTheSourceFollowsTheClip)
{
  IBitmap image(MakeGradientBitmap(20, 20), 20, 20);
  IRECT dest(10, 10, 30, 30);
  DrawIn(IRECT(15, 12, 64, 48), [&](IGraphics* gr) { gr->DrawBitmap(&image, &dest, 1); });
  EXPECT_EQ(kBackdrop, At(14, 20));
  EXPECT_EQ(kBackdrop, At(20, 11));
  EXPECT_EQ(5, At(15, 12).R);
  EXPECT_EQ(2, At(15, 12).G);
  EXPECT_EQ(15 * 18, Touched());

  IRECT outside(40, 30, 60, 45);
  DrawIn(outside, [&](IGraphics* gr) {
    IRECT away(0, 0, 10, 10);
    gr->DrawBitmap(&image, &away, 1);
  });
  EXPECT_EQ(15 * 18, Touched()) << "a destination wholly outside the draw rectangle copies nothing";
  delete image.mData;
}

TEST_F(DrawingTest, OutsideADrawingPassBitmapsCopyNothing)
{
  IBitmap image(MakeGradientBitmap(4, 4), 4, 4);
  IRECT dest(0, 0, 4, 4);
  g->DrawBitmap(&image, &dest, 1);
  EXPECT_EQ(0, Touched());
  delete image.mData;
}

TEST_F(DrawingTest, AnOpaqueCopyDrawsTransparentPixelsAsTheyAre)
{
  LICE_MemBitmap* clear = new LICE_MemBitmap(4, 4, 4);
  LICE_Clear(clear, LICE_MakePixel(200, 100, 50, 0));
  IBitmap image(clear, 4, 4);
  IRECT dest(0, 0, 4, 4);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&image, &dest, 1); });
  EXPECT_EQ(kBackdrop, At(1, 1)) << "the default blend honours the source alpha";
  IChannelBlend opaque(IChannelBlend::kBlendClobber);
  DrawAll([&](IGraphics* gr) { gr->DrawBitmap(&image, &dest, 1, &opaque); });
  EXPECT_EQ(IColor(0, 200, 100, 50), At(1, 1));
  delete clear;
}

TEST_F(DrawingTest, FractionalLinesSitOnTheEdgesTheirFractionNames)
{
  IRECT r(10, 10, 30, 20);
  DrawAll([&](IGraphics* gr) { gr->DrawHorizontalLine(&COLOR_RED, &r, 1.5f); });
  EXPECT_EQ(COLOR_RED, At(15, 10)) << "y above 1 is limited to the top edge";
  DrawAll([&](IGraphics* gr) { gr->DrawHorizontalLine(&COLOR_GREEN, &r, 0.0f); });
  EXPECT_EQ(COLOR_GREEN, At(15, 20)) << "y = 0 is the bottom edge";
  DrawAll([&](IGraphics* gr) { gr->DrawVerticalLine(&COLOR_BLUE, &r, 0.5f); });
  EXPECT_EQ(COLOR_BLUE, At(20, 15));
  DrawAll([&](IGraphics* gr) { gr->DrawVerticalLine(&COLOR_YELLOW, &r, -2.0f); });
  EXPECT_EQ(COLOR_YELLOW, At(10, 15));
  // A NaN fraction counts as 0, the left or bottom edge.
  DrawAll([&](IGraphics* gr) { gr->DrawVerticalLine(&COLOR_RED, &r, NAN); });
  EXPECT_EQ(COLOR_RED, At(10, 15));
  DrawAll([&](IGraphics* gr) { gr->DrawHorizontalLine(&COLOR_BLUE, &r, NAN); });
  EXPECT_EQ(COLOR_BLUE, At(15, 20));
}

TEST_F(DrawingTest, LinesWriteTheColourUnblendedEvenWhenTranslucent)
{
  const IColor translucent(10, 90, 80, 70);
  DrawAll([&](IGraphics* gr) { gr->DrawHorizontalLine(&translucent, 3, 2, 8); });
  EXPECT_EQ(translucent, At(5, 3));
}

TEST_F(DrawingTest, DrawRectOutlinesIncludingTheRightAndBottomColumns)
{
  IRECT r(5, 6, 15, 12);
  DrawAll([&](IGraphics* gr) { gr->DrawRect(&COLOR_WHITE, &r); });
  EXPECT_EQ(COLOR_WHITE, At(5, 6));
  EXPECT_EQ(COLOR_WHITE, At(15, 12));
  EXPECT_EQ(COLOR_WHITE, At(15, 9));
  EXPECT_EQ(COLOR_WHITE, At(10, 12));
  EXPECT_EQ(kBackdrop, At(10, 9));
  EXPECT_EQ(2 * 11 + 2 * 5, Touched());
}

TEST_F(DrawingTest, ForcePixelWritesExactlyAndIgnoresPointsOutsideTheBuffer)
{
  const IColor see(0, 1, 2, 3);
  g->ForcePixel(&see, 7, 8);
  EXPECT_EQ(see, At(7, 8));
  g->ForcePixel(&see, -1, 0);
  g->ForcePixel(&see, 64, 0);
  g->ForcePixel(&see, 0, 48);
  g->ForcePixel(&see, 1000000, 1000000);
  EXPECT_EQ(1, Touched());
  EXPECT_EQ(IColor(0, 0, 0, 0), g->GetPoint(-1, 3));
}

TEST_F(DrawingTest, PointsRoundToTheNearestPixel)
{
  DrawAll([&](IGraphics* gr) { gr->DrawPoint(&COLOR_RED, 2.6f, 3.4f); });
  EXPECT_EQ(COLOR_RED, At(3, 3));
  EXPECT_EQ(1, Touched());
}

TEST_F(DrawingTest, LineEndsAreTruncatedTowardZero)
{
  DrawAll([&](IGraphics* gr) { gr->DrawLine(&COLOR_RED, 1.9f, 5.2f, 6.7f, 5.9f); });
  EXPECT_EQ(COLOR_RED, At(1, 5));
  EXPECT_EQ(COLOR_RED, At(6, 5));
  EXPECT_EQ(kBackdrop, At(7, 5));
  EXPECT_EQ(kBackdrop, At(0, 5));
}

TEST_F(DrawingTest, RadialLinesPointUpAtZeroAndTurnClockwise)
{
  DrawAll([&](IGraphics* gr) { gr->DrawRadialLine(&COLOR_RED, 30.0f, 24.0f, 0.0f, 2.0f, 10.0f); });
  EXPECT_EQ(COLOR_RED, At(30, 14));
  EXPECT_EQ(COLOR_RED, At(30, 22));
  EXPECT_EQ(kBackdrop, At(30, 24));
  DrawAll([&](IGraphics* gr) {
    gr->DrawRadialLine(&COLOR_GREEN, 30.0f, 24.0f, float(M_PI / 2), 2.0f, 10.0f);
  });
  EXPECT_EQ(COLOR_GREEN, At(39, 24));
  EXPECT_EQ(kBackdrop, At(21, 24));
}

TEST_F(DrawingTest, ARotationByHalfATurnSwapsTopAndBottom)
{
  LICE_MemBitmap* twoTone = MakeTwoToneBitmap();
  IBitmap image(twoTone, 16, 16);
  DrawAll([&](IGraphics* gr) { gr->DrawRotatedBitmap(&image, 20, 20, 0.0); });
  EXPECT_EQ(COLOR_RED, At(20, 14));
  EXPECT_EQ(COLOR_BLUE, At(20, 25));
  DrawAll([&](IGraphics* gr) { gr->DrawRotatedBitmap(&image, 20, 20, M_PI); });
  EXPECT_EQ(COLOR_BLUE, At(20, 14));
  EXPECT_EQ(COLOR_RED, At(20, 25));
  EXPECT_EQ(kBackdrop, At(40, 40));
  delete twoTone;
}

TEST_F(DrawingTest, ARotatedMaskCutsTheBaseOutAndTheTopLayerGoesOverIt)
{
  MaskLayers layers;
  IBitmap &b = layers.b, &m = layers.m, &t = layers.t;

  DrawAll([&](IGraphics* gr) { gr->DrawRotatedMask(&b, &m, &t, 20, 10, 0.0); });
  EXPECT_EQ(COLOR_GREEN, At(21, 15));
  EXPECT_EQ(kBackdrop, At(28, 15));

  // Half a turn moves the opaque half of the mask to the right.
  LICE_Clear(g->GetDrawBitmap(), IColorToPixel(kBackdrop));
  DrawAll([&](IGraphics* gr) { gr->DrawRotatedMask(&b, &m, &t, 20, 10, 180.0); });
  EXPECT_EQ(kBackdrop, At(21, 15));
  EXPECT_EQ(COLOR_GREEN, At(28, 15));
  layers.Free();
}

}  // namespace
