// IControl: values, clamping, the dirty / redraw-pending protocol, hiding,
// graying, auxiliary parameters, prompts and the report of user changes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "EditorTestSupport.h"
#include "editor/ITextControl.h"

namespace
{

struct ControlTest : ::testing::Test
{
  TestPlug plug;
  RecordingControl control{&plug, IRECT(10, 20, 50, 40), kGain};

  // Runs the SetClean() the graphics core calls after each pass and reports
  // whether the control was due to be drawn in that pass.
  bool Pass()
  {
    const bool due = control.IsDirty();
    control.SetClean();
    return due;
  }
};

TEST_F(ControlTest, AFreshControlIsDrawnOnceAndNeverAgainUntilChanged)
{
  EXPECT_TRUE(Pass());
  EXPECT_FALSE(Pass());
}

TEST_F(ControlTest, AValueChangeFromThePlugInIsDrawnOnTwoConsecutivePasses)
{
  Pass();
  control.SetValueFromPlug(0.3);  // first push: becomes the default, no change
  control.SetValueFromPlug(0.7);
  EXPECT_TRUE(Pass());
  EXPECT_TRUE(Pass());
  EXPECT_FALSE(Pass());
  EXPECT_TRUE(plug.fromGUI.empty()) << "a value from the plug-in must not be echoed back to it";
}

TEST_F(ControlTest, TheSameValueFromThePlugInTwiceMarksTheControlDirtyOnlyOnce)
{
  Pass();
  control.SetValueFromPlug(0.2);
  control.SetValueFromPlug(0.6);
  Pass();
  Pass();
  control.SetValueFromPlug(0.6);
  EXPECT_FALSE(control.IsDirty());
}

TEST_F(ControlTest, TheFirstValueFromThePlugInBecomesTheDoubleClickDefault)
{
  control.SetValueFromPlug(0.25);
  EXPECT_DOUBLE_EQ(0.25, control.GetDefaultValue());
  EXPECT_DOUBLE_EQ(0.25, control.GetValue());
  control.SetValueFromPlug(0.9);
  EXPECT_DOUBLE_EQ(0.25, control.GetDefaultValue());

  IMouseMod mod;
  control.IControl::OnMouseDblClick(0, 0, &mod);
  EXPECT_DOUBLE_EQ(0.25, control.GetValue());
  ASSERT_EQ(1u, plug.fromGUI.size());
  EXPECT_EQ(kGain, plug.fromGUI[0].first);
  EXPECT_DOUBLE_EQ(0.25, plug.fromGUI[0].second);
}

TEST_F(ControlTest, DoubleClickWithoutAKnownDefaultDoesNothing)
{
  Pass();
  IMouseMod mod;
  control.IControl::OnMouseDblClick(0, 0, &mod);
  EXPECT_DOUBLE_EQ(0.0, control.GetValue());
  EXPECT_FALSE(control.IsDirty());
  EXPECT_TRUE(plug.fromGUI.empty());
}

TEST_F(ControlTest, SetDirtyClampsTheValueAndReportsTheClampedValueToThePlugIn)
{
  control.Clamp(0.2, 0.8);
  control.SetValueFromUserInput(0.95);
  EXPECT_DOUBLE_EQ(0.8, control.GetValue());
  control.SetValueFromUserInput(-3.0);
  EXPECT_DOUBLE_EQ(0.2, control.GetValue());
  ASSERT_EQ(2u, plug.fromGUI.size());
  EXPECT_DOUBLE_EQ(0.8, plug.fromGUI[0].second);
  EXPECT_DOUBLE_EQ(0.2, plug.fromGUI[1].second);
  // The plug-in's parameter follows the reported value through its shape.
  EXPECT_NEAR(20.0, plug.GetParam(kGain)->Value(), 1e-9);
}

TEST_F(ControlTest, SetDirtyWithoutPushOrWithoutParameterReportsNothing)
{
  control.SetDirty(false);
  RecordingControl unbound(&plug, IRECT(0, 0, 5, 5));
  unbound.SetDirty(true);
  EXPECT_TRUE(plug.fromGUI.empty());
}

TEST_F(ControlTest, ANanValueLandsOnTheLowClamp)
{
  control.Clamp(0.1, 0.9);
  control.SetValueFromUserInput(std::nan(""));
  EXPECT_DOUBLE_EQ(0.1, control.GetValue());
}

TEST_F(ControlTest, GrayingDimsTheBlendWithoutTouchingTheValueAndUngrayingRestoresFullWeight)
{
  control.SetValueFromPlug(0.4);
  control.SetBlendWeight(0.6f);
  control.GrayOut(true);
  EXPECT_FLOAT_EQ(0.25f, control.GetBlend()->mWeight);
  EXPECT_DOUBLE_EQ(0.4, control.GetValue());
  control.GrayOut(false);
  EXPECT_FLOAT_EQ(1.0f, control.GetBlend()->mWeight);
}

TEST_F(ControlTest, HidingDirtiesTheControlForTwoPassesSoTheAreaUnderItIsRepainted)
{
  Pass();
  control.Hide(true);
  EXPECT_TRUE(control.IsHidden());
  EXPECT_TRUE(Pass());
  EXPECT_TRUE(Pass());
  EXPECT_FALSE(Pass());
}

TEST_F(ControlTest, AuxiliaryParametersAreFoundByParameterAndReportedInOrder)
{
  control.AddAuxParam(kSteps);
  control.AddAuxParam(kMode);
  control.AddAuxParam(kSteps);
  EXPECT_EQ(0, control.AuxParamIdx(kSteps));
  EXPECT_EQ(1, control.AuxParamIdx(kMode));
  EXPECT_EQ(-1, control.AuxParamIdx(kBypass));
  EXPECT_EQ(nullptr, control.GetAuxParam(3));
  EXPECT_EQ(nullptr, control.GetAuxParam(-1));

  Pass();
  control.SetAuxParamValueFromPlug(1, 0.5);
  EXPECT_TRUE(Pass());
  EXPECT_TRUE(Pass()) << "an auxiliary change is drawn twice like a value change";
  control.SetAuxParamValueFromPlug(1, 0.5);
  EXPECT_FALSE(control.IsDirty());
  control.SetAuxParamValueFromPlug(7, 0.5);  // ignored

  control.SetAllAuxParamsFromGUI();
  ASSERT_EQ(3u, plug.fromGUI.size());
  EXPECT_EQ(kSteps, plug.fromGUI[0].first);
  EXPECT_EQ(kMode, plug.fromGUI[1].first);
  EXPECT_DOUBLE_EQ(0.5, plug.fromGUI[1].second);
}

TEST_F(ControlTest, TheTargetRectangleExcludesTheRightAndBottomEdges)
{
  EXPECT_TRUE(control.IsHit(10, 20));
  EXPECT_TRUE(control.IsHit(49, 39));
  EXPECT_FALSE(control.IsHit(50, 30));
  EXPECT_FALSE(control.IsHit(30, 40));
  control.SetTargetArea(IRECT(0, 0, 5, 5));
  EXPECT_TRUE(control.IsHit(1, 1));
  EXPECT_FALSE(control.IsHit(30, 30));
}

TEST(ControlPrompt, ARightClickPromptsOnlyWhenPromptsAreEnabled)
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 100, 100);
  RecordingControl* control = new RecordingControl(&plug, IRECT(10, 20, 51, 40), kGain);
  g->AttachControl(control);
  plug.AttachGraphics(g);

  IMouseMod right(false, true);
  control->IControl::OnMouseDown(15, 25, &right);
  EXPECT_EQ(0, g->TextEntriesShown()) << "prompts start disabled";

  control->DisablePrompt(false);
  control->IControl::OnMouseDown(15, 25, &right);
  ASSERT_EQ(1, g->TextEntriesShown());
  // A 40 x 16 field centred on the control (centre truncated: (30, 30)).
  EXPECT_EQ(IRECT(10, 22, 50, 38), g->LastTextEntryRECT());
  EXPECT_TRUE(control->IsRedrawPending());

  IMouseMod left(true);
  control->IControl::OnMouseDown(15, 25, &left);
  EXPECT_EQ(1, g->TextEntriesShown());
}

TEST(ControlPrompt, AParameterWithDisplayTextsIsPromptedOverTheWholeControl)
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 100, 100);
  RecordingControl* control = new RecordingControl(&plug, IRECT(10, 20, 51, 40), kMode);
  control->DisablePrompt(false);
  g->AttachControl(control);
  plug.AttachGraphics(g);
  control->PromptUserInput();
  EXPECT_EQ(1, g->MenusShown());
  EXPECT_EQ(0, g->TextEntriesShown());

  RecordingControl unbound(&plug, IRECT(0, 0, 10, 10));
  unbound.DisablePrompt(false);
  unbound.PromptUserInput();
  unbound.PromptUserInput(nullptr);
  EXPECT_EQ(1, g->MenusShown());
  EXPECT_FALSE(unbound.IsRedrawPending());
}

TEST(ControlDisplays, AUserChangeRefreshesTheValueAndNameDisplays)
{
  TestPlug plug;
  RecordingControl control(&plug, IRECT(0, 0, 10, 10), kGain);
  ITextControl value(&plug, IRECT(0, 20, 50, 30), nullptr, "");
  ITextControl name(&plug, IRECT(0, 40, 50, 50), nullptr, "Gain");
  control.SetValDisplayControl(&value);
  control.SetNameDisplayControl(&name);
  value.SetClean();
  name.SetClean();

  control.SetValueFromUserInput(0.255);
  EXPECT_STREQ("25.5 %", value.GetTextForPlug());
  EXPECT_TRUE(value.IsDirty());
  EXPECT_STREQ("Gain", name.GetTextForPlug());
  EXPECT_FALSE(name.IsDirty()) << "an unchanged name is not redrawn";
}

TEST(ControlDisplays, AValueTooLongForTheDisplayBufferIsCutNotWrittenPastIt)
{
  TestPlug plug;
  // 1e100 printed with one decimal is over a hundred characters long
  plug.GetParam(kGain)->InitDouble("Gain", 0.0, 0.0, 1e100, 0.1, "%");
  RecordingControl control(&plug, IRECT(0, 0, 10, 10), kGain);
  ITextControl value(&plug, IRECT(0, 20, 50, 30), nullptr, "");
  control.SetValDisplayControl(&value);

  control.SetValueFromUserInput(1.0);
  char full[256];
  std::snprintf(full, sizeof(full), "%.1f", 1e100);
  const std::string expected = std::string(full, 32) + " %";
  EXPECT_EQ(expected, value.GetTextForPlug());
}

}  // namespace
