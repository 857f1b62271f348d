// Radio buttons with a caption: the caption's place, its drawing under the
// buttons' row, and the buttons' own behaviour kept from the base.
#include "tremolo/IRadioButtonCap.h"

#include <gtest/gtest.h>

#include "TremoloEditorTestSupport.h"

using namespace tremolotest;

namespace {

constexpr int kButtonTag = 9, kCaptionTag = 150;

struct RadioFixture : ControlOnCanvasTest {
  Strip button{24, 24, 2, kButtonTag};
  Strip caption{86, 20, 1, kCaptionTag};

  IRadioButtonCap* AttachPrefix(IBitmap* cap) {
    return Attach(new IRadioButtonCap(plug.get(), IRECT(243, 407, 329, 432), kPrefix, 3, &button.bitmap, cap, 0,
                                      -53, kHorizontal, false, false));
  }
};

}  // namespace

TEST_F(RadioFixture, PrefixCaptionSitsFiftyThreePixelsAboveTheButtons) {
  IRadioButtonCap* c = AttachPrefix(&caption.bitmap);
  EXPECT_EQ(c->GetCaptionRECT(), IRECT(243, 354, 329, 374));
  ASSERT_EQ(c->NButtons(), 3);
  EXPECT_EQ(*c->GetButtonRECT(0), IRECT(243, 407, 267, 431));
  EXPECT_EQ(*c->GetButtonRECT(2), IRECT(305, 407, 329, 431));
}

TEST_F(RadioFixture, CaptionIsDrawnWithTheButtonsAndCanBeHidden) {
  IRadioButtonCap* c = AttachPrefix(&caption.bitmap);
  c->SetValueFromPlug(0.5);  // middle button on
  canvas.DrawAll();
  EXPECT_EQ(LICE_PixelG(canvas.At(243, 354)), kCaptionTag);
  EXPECT_EQ(LICE_PixelG(canvas.At(328, 373)), kCaptionTag);
  EXPECT_EQ(canvas.At(243, 374), 0u);
  EXPECT_EQ(LICE_PixelR(canvas.At(250, 410)), 1);  // off
  EXPECT_EQ(LICE_PixelR(canvas.At(290, 410)), 2);  // on
  EXPECT_EQ(LICE_PixelR(canvas.At(310, 410)), 1);

  c->HideCaption(true);
  canvas.DrawAll();
  EXPECT_EQ(canvas.At(250, 360), 0u);
  EXPECT_EQ(LICE_PixelR(canvas.At(290, 410)), 2);
}

TEST_F(RadioFixture, CaptionFramesAndNegativeOffsetsFollowTheCaptionImage) {
  Strip twoFrames(40, 10, 2, kCaptionTag);
  auto* c = Attach(new IRadioButtonCap(plug.get(), IRECT(100, 100, 124, 148), kTempoSync, 2, &button.bitmap,
                                       &twoFrames.bitmap, -45, 5, kVertical, false, false));
  EXPECT_EQ(c->GetCaptionRECT(), IRECT(55, 105, 95, 115));
  canvas.DrawAll();
  EXPECT_EQ(LICE_PixelR(canvas.At(60, 110)), 1);  // always the first caption frame
}

TEST_F(RadioFixture, MissingCaptionGivesAPlainRowInsteadOfACrash) {
  IRadioButtonCap* c = AttachPrefix(nullptr);
  EXPECT_TRUE(c->GetCaptionRECT().Empty());
  canvas.DrawAll();
  EXPECT_EQ(LICE_PixelR(canvas.At(250, 410)), 2);  // value 0: first button on
  EXPECT_EQ(canvas.At(250, 360), 0u);
}

TEST_F(RadioFixture, ClickingAButtonSetsThePrefixParameter) {
  IRadioButtonCap* c = AttachPrefix(&caption.bitmap);
  IMouseMod mod(true);
  c->OnMouseDown(310, 415, &mod);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(plug->GetParam(kPrefix)->Value(), 2.0);
  // The caption is not a button.
  c->OnMouseDown(250, 360, &mod);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
}
