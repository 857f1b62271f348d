// Input dispatch: lookup, capture, gestures, drags, double clicks, wheel,
// mouse-over, keys, the automation lookup and prompts with scripted answers.
#include <gtest/gtest.h>

#include "EditorTestSupport.h"

namespace
{

struct InputTest : ::testing::Test
{
  TestPlug plug;
  MemoryGraphics* g = new MemoryGraphics(&plug, 100, 100);
  IMouseMod left{true};
  RecordingControl* background = Add(IRECT(0, 0, 100, 100));
  RecordingControl* lower = Add(IRECT(10, 10, 50, 50), kGain);
  RecordingControl* upper = Add(IRECT(30, 30, 70, 70), kSteps);

  RecordingControl* Add(IRECT r, int paramIdx = -1)
  {
    RecordingControl* c = new RecordingControl(&plug, r, paramIdx);
    g->AttachControl(c);
    return c;
  }
  InputTest() { plug.AttachGraphics(g); }
};

TEST_F(InputTest, TheTopmostVisibleHittableControlWins)
{
  EXPECT_EQ(2, g->GetMouseControlIdx(40, 40));
  EXPECT_EQ(1, g->GetMouseControlIdx(20, 20));
  EXPECT_EQ(0, g->GetMouseControlIdx(90, 90));
  EXPECT_EQ(-1, g->GetMouseControlIdx(100, 100));
  upper->Hide(true);
  EXPECT_EQ(1, g->GetMouseControlIdx(40, 40));
  upper->Hide(false);
  upper->GrayOut(true);
  EXPECT_EQ(1, g->GetMouseControlIdx(40, 40));
}

TEST_F(InputTest, AGrayedControlWithMouseOverWhenGrayedGetsMouseOverButNotPresses)
{
  upper->GrayOut(true);
  upper->SetMOWhenGrayed(true);
  EXPECT_EQ(1, g->GetMouseControlIdx(40, 40));
  EXPECT_EQ(2, g->GetMouseControlIdx(40, 40, true));
  g->HandleMouseOver(true);
  EXPECT_TRUE(g->OnMouseOver(40, 40, &left));
  EXPECT_EQ(std::vector<std::string>{"over"}, upper->events);
  g->OnMouseDown(40, 40, &left);
  EXPECT_EQ(std::vector<std::string>{"over"}, upper->events);
  EXPECT_EQ(std::vector<std::string>{"down"}, lower->events);
}

TEST_F(InputTest, APressCapturesAndBeginsAGestureAndTheReleaseEndsIt)
{
  g->OnMouseDown(40, 40, &left);
  EXPECT_EQ(2, g->GetMouseCapture());
  EXPECT_EQ(std::vector<int>{kSteps}, plug.begins);
  EXPECT_TRUE(plug.ends.empty());
  // Anywhere, even over another control, the captured one answers.
  EXPECT_EQ(2, g->GetMouseControlIdx(15, 15));
  g->OnMouseUp(15, 15, &left);
  EXPECT_EQ(-1, g->GetMouseCapture());
  EXPECT_EQ(-1, g->GetMouseX());
  EXPECT_EQ((std::vector<std::string>{"down", "up"}), upper->events);
  EXPECT_TRUE(lower->events.empty());
  EXPECT_EQ(std::vector<int>{kSteps}, plug.ends);
}

TEST_F(InputTest, AReleaseWithoutAPressStillEndsAGestureOnTheControlUnderTheMouse)
{
  g->OnMouseUp(20, 20, &left);
  EXPECT_EQ(std::vector<std::string>{"up"}, lower->events);
  EXPECT_EQ(std::vector<int>{kGain}, plug.ends);
  EXPECT_TRUE(plug.begins.empty());
}

TEST_F(InputTest, PressesOnUnboundControlsOrNothingSendNoGesture)
{
  g->OnMouseDown(90, 90, &left);
  g->OnMouseUp(90, 90, &left);
  g->OnMouseDown(150, 150, &left);
  EXPECT_EQ(-1, g->GetMouseCapture());
  EXPECT_TRUE(plug.begins.empty());
  EXPECT_TRUE(plug.ends.empty());
}

TEST_F(InputTest, DragsFollowTheCaptureOutsideTheControlAndSkipUnchangedPositions)
{
  g->OnMouseDrag(40, 40, &left);  // no capture: ignored
  g->OnMouseDown(40, 40, &left);
  g->OnMouseDrag(40, 40, &left);  // same position: no call
  g->OnMouseDrag(95, 35, &left);  // leaves the control
  g->OnMouseDrag(95, 35, &left);
  g->OnMouseDrag(90, 38, &left);
  EXPECT_EQ((std::vector<std::string>{"down", "drag 55 -5", "drag -5 3"}), upper->events);
  EXPECT_TRUE(background->events.empty());
}

TEST_F(InputTest, ADoubleClickGoesToTheControlsHandlerWithoutCapture)
{
  EXPECT_FALSE(g->OnMouseDblClick(40, 40, &left));
  EXPECT_EQ(std::vector<std::string>{"dbl"}, upper->events);
  EXPECT_EQ(-1, g->GetMouseCapture());
  EXPECT_FALSE(g->OnMouseDblClick(200, 200, &left));
}

TEST_F(InputTest, ADoubleClickAsSingleIsAPressThatCapturesWithoutBeginningAGesture)
{
  upper->SetDblAsSingleClick(true);
  EXPECT_TRUE(g->OnMouseDblClick(40, 40, &left));
  EXPECT_EQ(std::vector<std::string>{"down"}, upper->events);
  EXPECT_EQ(2, g->GetMouseCapture());
  EXPECT_TRUE(plug.begins.empty());
  g->OnMouseDrag(41, 40, &left);
  EXPECT_EQ(2u, upper->events.size());
}

TEST_F(InputTest, TheWheelGoesToTheControlUnderTheMouse)
{
  g->OnMouseWheel(20, 20, &left, -3);
  g->OnMouseWheel(200, 20, &left, 1);
  EXPECT_EQ(std::vector<std::string>{"wheel -3"}, lower->events);
}

TEST_F(InputTest, MouseOverIsOffUnlessEnabledAndMovesTellTheOldControlItWasLeft)
{
  EXPECT_FALSE(g->OnMouseOver(40, 40, &left));
  EXPECT_TRUE(upper->events.empty());
  g->HandleMouseOver(true);
  EXPECT_TRUE(g->OnMouseOver(40, 40, &left));
  EXPECT_TRUE(g->OnMouseOver(45, 45, &left));
  EXPECT_TRUE(g->OnMouseOver(15, 15, &left));
  EXPECT_EQ((std::vector<std::string>{"over", "over", "out"}), upper->events);
  EXPECT_EQ(1, g->GetMouseOver());
  EXPECT_TRUE(g->OnMouseOver(500, 500, &left));  // nothing there: nothing changes
  EXPECT_EQ(1, g->GetMouseOver());
  EXPECT_EQ(std::vector<std::string>{"over"}, lower->events);
  g->OnMouseOut();
  EXPECT_EQ(-1, g->GetMouseOver());
  EXPECT_EQ((std::vector<std::string>{"over", "out"}), lower->events);
  EXPECT_EQ(std::vector<std::string>{"out"}, background->events);
}

TEST_F(InputTest, KeysGoToTheControlUnderTheMouseAndOverTheBackgroundToTheKeyCatcher)
{
  EXPECT_FALSE(g->OnKeyDown(90, 90, KEY_SPACE)) << "no key catcher yet";
  EXPECT_TRUE(background->keys.empty()) << "the background never receives keys";
  RecordingControl* catcher = new RecordingControl(&plug, IRECT());
  g->AttachKeyCatcher(catcher);
  EXPECT_TRUE(g->OnKeyDown(90, 90, KEY_ALPHA_A));
  EXPECT_TRUE(g->OnKeyDown(300, 300, KEY_UPARROW));
  EXPECT_TRUE(g->OnKeyDown(40, 40, KEY_DIGIT_0 + 3));
  EXPECT_EQ((std::vector<int>{KEY_ALPHA_A, KEY_UPARROW}), catcher->keys);
  EXPECT_EQ(std::vector<int>{8}, upper->keys);
}

TEST_F(InputTest, TheAutomationLookupReportsTheParameterUnderThePointOnce)
{
  EXPECT_EQ(kGain, g->GetParamIdxForPTAutomation(20, 20));
  EXPECT_EQ(kGain, g->GetLastClickedParamForPTAutomation());
  EXPECT_EQ(-1, g->GetLastClickedParamForPTAutomation());
  EXPECT_EQ(-1, g->GetParamIdxForPTAutomation(90, 90)) << "the background counts as nothing";
  EXPECT_EQ(-1, g->GetParamIdxForPTAutomation(300, 300));
}

// ---------------------------------------------------------------------------
// Prompts

struct PromptTest : InputTest
{
  RecordingControl* Bound(int paramIdx)
  {
    RecordingControl* c = Add(IRECT(0, 80, 20, 100), paramIdx);
    g->SetControlFromPlug(g->GetNControls() - 1, plug.GetParam(paramIdx)->GetNormalized());
    c->DisablePrompt(false);
    return c;
  }
  IRECT area{1, 2, 3, 4};
};

TEST_F(PromptTest, AnEnumerationIsPromptedWithAMenuOfItsTextsWithTheCurrentOneChecked)
{
  plug.GetParam(kMode)->Set(1.0);
  RecordingControl* c = Bound(kMode);
  g->QueueMenuChoice(2);
  g->PromptUserInput(c, plug.GetParam(kMode), &area);
  ASSERT_EQ(3u, g->LastMenu().size());
  EXPECT_EQ("Sine", g->LastMenu()[0].title);
  EXPECT_EQ("Square", g->LastMenu()[2].title);
  EXPECT_FALSE(g->LastMenu()[0].flags & IPopupMenuItem::kChecked);
  EXPECT_TRUE(g->LastMenu()[1].flags & IPopupMenuItem::kChecked);
  EXPECT_DOUBLE_EQ(1.0, c->GetValue());
  EXPECT_DOUBLE_EQ(2.0, plug.GetParam(kMode)->Value());
  EXPECT_EQ(0, g->TextEntriesShown());
}

TEST_F(PromptTest, ACancelledMenuChangesNothing)
{
  RecordingControl* c = Bound(kMode);
  g->QueueMenuChoice(-1);
  g->PromptUserInput(c, plug.GetParam(kMode), &area);
  g->PromptUserInput(c, plug.GetParam(kMode), &area);  // nothing queued: also a cancel
  EXPECT_EQ(2, g->MenusShown());
  EXPECT_DOUBLE_EQ(0.0, c->GetValue());
  EXPECT_TRUE(plug.fromGUI.empty());
}

TEST_F(PromptTest, ABooleanWithTextsIsPromptedWithAMenu)
{
  RecordingControl* c = Bound(kBypass);
  g->QueueMenuChoice(1);
  c->PromptUserInput();
  ASSERT_EQ(2u, g->LastMenu().size());
  EXPECT_EQ("off", g->LastMenu()[0].title);
  EXPECT_TRUE(g->LastMenu()[0].flags & IPopupMenuItem::kChecked);
  EXPECT_DOUBLE_EQ(1.0, plug.GetParam(kBypass)->Value());
}

TEST_F(PromptTest, ADoubleIsPromptedWithATextEntryStartingFromItsDisplay)
{
  RecordingControl* c = Bound(kGain);
  g->QueueTextEntry("25");
  g->PromptUserInput(c, plug.GetParam(kGain), &area);
  EXPECT_EQ(0, g->MenusShown());
  EXPECT_STREQ("50.0", g->LastTextEntryInitial());
  EXPECT_EQ(area, g->LastTextEntryRECT());
  EXPECT_DOUBLE_EQ(0.25, c->GetValue());
  EXPECT_DOUBLE_EQ(25.0, plug.GetParam(kGain)->Value());
}

TEST_F(PromptTest, TypedTextIsReadAsFarAsItIsANumberClampedIntoTheRangeAndNegatedBackForANegatedDisplay)
{
  const struct
  {
    int param;
    const char* typed;
    double value;
  } cases[] = {
    {kGain, "  12.5dB", 12.5},
    {kGain, "1e9", 100.0},
    {kGain, "loud", 0.0},     // no number: zero,
    {kOffset, "abc", 10.0},   // which may lie below the minimum
    {kOffset, "-17.25", 17.25},
  };
  for (const auto& c : cases)
  {
    g->QueueTextEntry(c.typed);
    Bound(c.param)->PromptUserInput();
    EXPECT_DOUBLE_EQ(c.value, plug.GetParam(c.param)->Value()) << c.typed;
  }
}

TEST_F(PromptTest, TypedTextForAnEnumerationIsMatchedAgainstItsTexts)
{
  RecordingControl* c = Bound(kMode);
  char tri[] = "Tri", unknown[] = "tri";
  g->SetFromStringAfterPrompt(c, plug.GetParam(kMode), tri);
  EXPECT_DOUBLE_EQ(1.0, plug.GetParam(kMode)->Value());
  g->SetFromStringAfterPrompt(c, plug.GetParam(kMode), unknown);
  EXPECT_DOUBLE_EQ(0.0, plug.GetParam(kMode)->Value()) << "no match gives 0";
  g->SetFromStringAfterPrompt(c, nullptr, tri);
  g->SetFromStringAfterPrompt(nullptr, plug.GetParam(kMode), tri);
  g->SetFromStringAfterPrompt(c, plug.GetParam(kMode), nullptr);
  EXPECT_DOUBLE_EQ(0.0, plug.GetParam(kMode)->Value());
}

TEST_F(PromptTest, AnOpenEntryWaitsForItsTextAndCanBeAbandoned)
{
  RecordingControl* c = Bound(kGain);
  c->PromptUserInput();
  EXPECT_TRUE(g->TextEntryOpen());
  EXPECT_TRUE(plug.fromGUI.empty());
  EXPECT_TRUE(g->CommitTextEntry("75"));
  EXPECT_FALSE(g->TextEntryOpen());
  EXPECT_DOUBLE_EQ(75.0, plug.GetParam(kGain)->Value());
  c->PromptUserInput();
  g->ForceEndUserEdit();
  EXPECT_FALSE(g->CommitTextEntry("10"));
  EXPECT_DOUBLE_EQ(75.0, plug.GetParam(kGain)->Value());
}

TEST_F(PromptTest, AnEntryOpenedWithoutAParameterHandsTheTextToTheControl)
{
  RecordingControl* c = Add(IRECT(0, 0, 5, 5));
  g->QueueTextEntry("hello world, this is long");
  g->CreateTextEntry(c, c->GetText(), c->GetRECT(), "", nullptr);
  EXPECT_EQ("hello w", c->typed) << "cut to the control's text-entry length of 7";
}

TEST_F(PromptTest, NullArgumentsPromptNothing)
{
  RecordingControl* c = Bound(kMode);
  g->PromptUserInput(nullptr, plug.GetParam(kMode), &area);
  g->PromptUserInput(c, nullptr, &area);
  g->PromptUserInput(c, plug.GetParam(kMode), nullptr);
  EXPECT_EQ(0, g->MenusShown());
  EXPECT_EQ(0, g->TextEntriesShown());
}

}  // namespace
