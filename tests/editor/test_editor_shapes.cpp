// Shape drawing through IGraphics: the translation onto the raster shapes and
// the seven pieces of FillRoundRect.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"

namespace
{

struct ShapesTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 64, 48);
  LICE_MemBitmap reference{64, 48};

  ShapesTest()
  {
    g->AttachControl(new RecordingControl(&plug, IRECT(0, 0, 64, 48)));
    plug.AttachGraphics(g);
    LICE_Clear(g->GetDrawBitmap(), 0);
    LICE_Clear(&reference, 0);
  }
  bool SameAsReference() { return LICE_BitmapCmp(g->GetDrawBitmap(), &reference) == 0; }
};

}  // namespace

TEST_F(ShapesTest, EachOperationIsItsRasterShapeWithTheBlendTranslated)
{
  const IColor c(200, 10, 220, 30);
  const LICE_PackedPixel p = IColorToPixel(c);
  IChannelBlend add(IChannelBlend::kBlendAdd, 0.75f);
  IRECT r(5, 6, 40, 30);
  int xs[4] = {3, 50, 60, 10}, ys[4] = {2, 5, 40, 44};

  g->DrawCircle(&c, 20.5f, 20.0f, 9.3f, &add, true);
  LICE_Circle(&reference, 20.5f, 20.0f, 9.3f, p, 0.75f, LICE_COMBINE_ADD, true);
  g->DrawArc(&c, 30.0f, 25.0f, 12.0f, 0.5f, 2.5f, nullptr, false);
  LICE_Arc(&reference, 30.0f, 25.0f, 12.0f, 0.5f, 2.5f, p, 1.0f, LICE_COMBINE_COPY, false);
  g->RoundRect(&c, &r, &add, 6, false);
  LICE_RoundRect(&reference, 5, 6, 35, 24, 6, p, 0.75f, LICE_COMBINE_ADD, false);
  g->FillCircle(&c, 50, 10, 6.5f, &add, false);
  LICE_FillCircle(&reference, 50, 10, 6.5f, p, 0.75f, LICE_COMBINE_ADD, false);
  g->FillTriangle(&c, 1, 40, 20, 47, 9, 30, &add);
  LICE_FillTriangle(&reference, 1, 40, 20, 47, 9, 30, p, 0.75f, LICE_COMBINE_ADD);
  g->FillIConvexPolygon(&c, xs, ys, 4, &add);
  LICE_FillConvexPolygon(&reference, xs, ys, 4, p, 0.75f, LICE_COMBINE_ADD);
  EXPECT_TRUE(SameAsReference());
  EXPECT_NE(LICE_GetPixel(&reference, 50, 10), 0u);

  // Null colours, rectangles and short polygons draw nothing.
  g->DrawCircle(nullptr, 20, 20, 5);
  g->FillRoundRect(&c, nullptr, nullptr, 3, false);
  g->FillIConvexPolygon(&c, xs, ys, 2);
  EXPECT_TRUE(SameAsReference());
}

TEST_F(ShapesTest, FillRoundRectPiecesOverlapAndSitOnePixelIn)
{
  const IColor solid(255, 255, 255, 255);
  IRECT r(10, 8, 50, 40);  // w 40, h 32
  const int c = 6;
  IChannelBlend half(IChannelBlend::kBlendNone, 0.5f);
  g->FillRoundRect(&solid, &r, &half, c, false);
  // Each piece is blended on its own: on black, one piece at half weight
  // gives half white, where the middle rectangle and a corner circle overlap
  // three quarters.
  EXPECT_NEAR(g->GetPoint(30, 20).R, 128, 1);           // middle rectangle only
  EXPECT_NEAR(g->GetPoint(r.L + c, r.T + c + 3).R, 192, 1);  // and the top-left circle
  LICE_Clear(g->GetDrawBitmap(), 0);
  IChannelBlend copy(IChannelBlend::kBlendNone, 1.0f);

  // The right-hand corner circles are centred at x1 + w - c - 1: their rightmost
  // column is R - 1; the left-hand ones at x1 + c reach L exactly.
  g->FillRoundRect(&solid, &r, &copy, c, false);
  EXPECT_NE(g->GetPoint(r.R - 1, r.T + c).R, 0);
  EXPECT_EQ(g->GetPoint(r.R, r.T + c).R, 0);
  EXPECT_NE(g->GetPoint(r.L, r.T + c).R, 0);
  EXPECT_EQ(g->GetPoint(r.L - 1, r.T + c).R, 0);
  EXPECT_NE(g->GetPoint(r.L + c, r.B - 1).R, 0);
  EXPECT_EQ(g->GetPoint(r.L, r.T).R, 0);  // corners are round
}
