// The X11 view's rules that need no display, and what happens without one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "../host/HostTestSupport.h"
#include "bridge/IGraphicsLinux.h"
#include "tremolo/QuillbarTremolo.h"

#include "bridge/X11Library.h"
#include "bridge/X11Support.h"
#include <X11/keysym.h>

namespace
{

TEST(BridgeRules, KeysMapToEditorCodes)
{
  const struct
  {
    unsigned long sym;
    const char* text;
    int code;
  } cases[] = {
      {XK_space, " ", KEY_SPACE},         {XK_Up, "", KEY_UPARROW},       {XK_Down, "", KEY_DOWNARROW},
      {XK_Left, "", KEY_LEFTARROW},       {XK_KP_Right, "", KEY_RIGHTARROW}, {XK_0, "0", KEY_DIGIT_0},
      {XK_9, "9", KEY_DIGIT_0 + 9},       {XK_a, "a", KEY_ALPHA_A},       {XK_Z, "Z", KEY_ALPHA_A + 25},
      {XK_comma, ",", -1},                {XK_F5, "", -1},                {XK_dead_acute, "ab", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(X11KeyCode(c.sym, c.text), c.code) << c.text << " " << c.sym;
}

TEST(BridgeRules, ScaleFromEnvironmentThenResource)
{
  const struct
  {
    const char* env;
    const char* resources;
    int scale;
  } cases[] = {
      {nullptr, nullptr, 1},
      {nullptr, "Xft.antialias:\t1\nXft.dpi:\t192\n", 2},
      {nullptr, "Xft.dpi:\t144\n", 1},
      {nullptr, "Xft.dpi: 96\n", 1},
      {nullptr, "*Xft.dpi:\t192\n", 1},  // another resource's name, not Xft.dpi itself
      {"2", nullptr, 2},
      {"1", "Xft.dpi:\t192\n", 1},
      {"3", "Xft.dpi:\t200\n", 2},  // only 1 and 2 are honoured
  };
  for (const auto& c : cases)
    EXPECT_EQ(X11ScaleFor(c.env, c.resources), c.scale) << (c.env ? c.env : "-") << " " << (c.resources ? c.resources : "-");
}

TEST(BridgeRules, TextFieldKeepsToItsCharactersAndLength)
{
  const char* const number = "0123456789.-+";
  EXPECT_TRUE(TextFieldAccepts(number, 7, "-12.5"));
  EXPECT_FALSE(TextFieldAccepts(number, 7, "12a"));
  EXPECT_FALSE(TextFieldAccepts(number, 7, "12345678"));
  EXPECT_FALSE(TextFieldAccepts("", 7, "1"));  // a parameter of no type takes nothing
  EXPECT_TRUE(TextFieldAccepts(nullptr, 0, "any text, any length"));
  EXPECT_TRUE(TextFieldAccepts(nullptr, 3, "\xC3\xA9\xE2\x82\xAC" "b"));  // "é€b": three characters, six bytes
}

// Word moves and erasing stop at word boundaries (a decimal point inside a
// number is part of it) and never inside a character; a paste keeps what the
// field may hold and what fits.
TEST(BridgeRules, TextFieldWordsAndPaste)
{
  const char* const number = "0123456789.-+";
  const struct
  {
    const char* initial;  // caret at the end, nothing selected
    std::function<void(TextFieldEdit&)> act;
    const char* text;
    size_t selectionStart, selectionEnd;
  } cases[] = {
      {"gain 12.5 dB", [](TextFieldEdit& e) { e.Left(false, true), e.Left(false, true); }, "gain 12.5 dB", 5, 5},
      {"gain 12.5 dB", [](TextFieldEdit& e) { e.Home(false), e.Right(false, true), e.Right(false, true); },
       "gain 12.5 dB", 9, 9},
      {"gain 12.5 dB", [](TextFieldEdit& e) { e.Left(true, true); }, "gain 12.5 dB", 10, 12},
      {"x Ã©â¬", [](TextFieldEdit& e) { e.Backspace(true); }, "x ", 2, 2},  // "x é€"
      {"12.5 dB  ", [](TextFieldEdit& e) { e.Backspace(true); }, "12.5 ", 5, 5},
      {"  -3 Hz", [](TextFieldEdit& e) { e.Home(false), e.Delete(true); }, " Hz", 0, 0},
      {"ab cd", [](TextFieldEdit& e) { e.Left(true), e.Backspace(true); }, "ab c", 4, 4},  // the selection only
      // Pastes: filtered, then cut to the length; the selection is replaced.
      {"50", [=](TextFieldEdit& e) { e.SelectAll(), e.Paste("1a2.5x\n99999", number, 7); }, "12.5999", 7, 7},
      {"12", [=](TextFieldEdit& e) { e.Left(false), e.Paste("3456", number, 4); }, "1342", 3, 3},
      {"1234567", [=](TextFieldEdit& e) { e.Paste("8", number, 7); }, "1234567", 7, 7},
      {"", [](TextFieldEdit& e) { e.Paste("a\xFF\tb\xC3\xA9\xE2\x82", nullptr, 0); }, "ab\xC3\xA9", 4, 4},
      {"", [](TextFieldEdit& e) { e.Paste("\xC3\xA9\xE2\x82\xAC" "bc", nullptr, 3); }, "\xC3\xA9\xE2\x82\xAC" "b", 6, 6},
  };
  for (const auto& c : cases)
  {
    TextFieldEdit edit;
    edit.Reset(c.initial, false);
    c.act(edit);
    const std::string where = std::string(c.initial) + " -> " + c.text;
    EXPECT_EQ(edit.Text(), c.text) << where;
    EXPECT_EQ(edit.SelectionStart(), c.selectionStart) << where;
    EXPECT_EQ(edit.SelectionEnd(), c.selectionEnd) << where;
  }
}

// What a key types reaches the field as UTF-8, whatever encoding the
// locale gives XLookupString; control characters and Control combinations type nothing.
TEST(BridgeRules, KeysTypeUtf8Text)
{
  const struct
  {
    unsigned long sym;
    const char* lookedUp;
    bool control;
    const char* typed;
  } cases[] = {
      {XK_a, "a", false, "a"},
      {XK_KP_5, "5", false, "5"},
      {XK_eacute, "\xE9", false, "\xC3\xA9"},         // Latin-1 byte from the C locale
      {XK_eacute, "\xC3\xA9", false, "\xC3\xA9"},    // UTF-8 from a UTF-8 locale
      {XK_EuroSign, "", false, "\xE2\x82\xAC"},
      {0x01000444, "", false, "\xD1\x84"},          // a Unicode key symbol (Cyrillic ef)
      {XK_a, "\x01", true, ""},
      {XK_BackSpace, "\b", false, ""},
      {XK_F5, "", false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(X11TypedText(c.sym, c.lookedUp, c.control), c.typed) << std::hex << c.sym;
}

// Without DISPLAY the plug-in's editor is the headless one, and the edit
// command says why it cannot open a window.
TEST(BridgeRules, WithoutDisplayTheEditorIsHeadlessAndEditRefuses)
{
  const char* saved = std::getenv("DISPLAY");
  const std::string display = saved ? saved : "";
  unsetenv("DISPLAY");
  std::unique_ptr<IPlugAU> plug(MakePlug());
  ASSERT_TRUE(plug && plug->GetGUI());
  EXPECT_EQ(dynamic_cast<IGraphicsLinux*>(plug->GetGUI()), nullptr);
  EXPECT_STREQ(plug->GetGUI()->GetGUIAPI(), "Headless");

  hosttest::ScratchDir dir;
  const hosttest::RunResult r = hosttest::RunHost(dir, {"edit", "--save-state", dir / "s.aupreset"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no X display"), std::string::npos) << r.err;
  EXPECT_FALSE(hosttest::FileExists(dir / "s.aupreset"));
  if (saved) setenv("DISPLAY", display.c_str(), 1);
}

// A display that cannot be reached: the window fails with the reason, and
// the editor keeps working as the headless one.
TEST(BridgeRules, UnreachableDisplayFailsCleanly)
{
  const char* saved = std::getenv("DISPLAY");
  const std::string display = saved ? saved : "";
  setenv("DISPLAY", ":4095", 1);
  IPlugAU* plug = MakePlug();
  ASSERT_TRUE(plug);
  IGraphicsLinux* g = dynamic_cast<IGraphicsLinux*>(plug->GetGUI());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->OpenWindow(nullptr), nullptr);
  EXPECT_NE(std::string(g->LastError()).find(":4095"), std::string::npos) << g->LastError();
  EXPECT_FALSE(g->Idle());
  // A host's scale wins over the environment; other values leave the choice to it.
  setenv("QUILL_UI_SCALE", "1", 1);
  g->SetPreferredScale(2);
  EXPECT_EQ(g->Scale(), 2);
  g->SetPreferredScale(3);
  EXPECT_EQ(g->Scale(), 1);
  unsetenv("QUILL_UI_SCALE");
  g->QueueMessageBoxAnswer(4);
  EXPECT_EQ(g->ShowMessageBox("text", "caption", 4), 4);
  delete plug;
  if (saved)
    setenv("DISPLAY", display.c_str(), 1);
  else
    unsetenv("DISPLAY");
}

// Without Xlib on the machine the plug-in still works: the library table is
// all or nothing, the editor is the headless one even with a display named,
// and a live view refuses to open. The process-wide table loads once, so
// the missing library is seen in a fresh process.
TEST(BridgeRules, MissingX11LibrariesMeanAHeadlessEditor)
{
  struct Case { const char* x11; const char* xext; };
  const Case missing[] = {{"libquill-missing-x11.so.6", "libXext.so.6"}, {"libX11.so.6", "libquill-missing-xext.so.6"}};
  for (const Case& c : missing)
  {
    X11Functions table;
    EXPECT_FALSE(LoadX11Library(c.x11, c.xext, &table)) << c.x11 << " " << c.xext;
    EXPECT_EQ(table.XOpenDisplay, nullptr);
  }

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child names what it got: the kind of editor and how the window failed.
  const auto childSees = [] {
    if (X11Library("libquill-missing-x11.so.6")) return std::string("a table");
    setenv("DISPLAY", ":4095", 1);
    std::unique_ptr<IPlugAU> plug(MakePlug());
    if (!plug || !plug->GetGUI()) return std::string("no editor");
    IGraphicsLinux live(plug.get(), 10, 10);
    if (live.OpenWindow(nullptr)) return std::string("an open window");
    return std::string(dynamic_cast<IGraphicsLinux*>(plug->GetGUI()) ? "live" : "headless") + " editor; " +
           live.LastError();
  };
  EXPECT_EXIT(
      {
        std::fprintf(stderr, "%s\n", childSees().c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "headless editor; cannot open the X display \":4095\": the X11 libraries");
}

}  // namespace
