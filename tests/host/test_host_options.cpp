// The command parsers on their own: the spellings every command shares
// (--name=value, --, --help with a value, aliases) and the exact refusals a
// user reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Options.h"

namespace
{

using Args = std::vector<std::string>;

// Runs the parser of `command` and returns its message, "help" for --help,
// or "" when it accepted the arguments.
std::string Outcome(const std::string& command, const Args& args)
{
  bool help = false, ok = false;
  std::string error;
  if (command == "render")
  {
    RenderOptions o;
    ok = ParseRenderOptions(args, &o, &help, &error);
  }
  else if (command == "snapshot")
  {
    SnapshotOptions o;
    ok = ParseSnapshotOptions(args, &o, &help, &error);
  }
  else if (command == "edit")
  {
    EditOptions o;
    ok = ParseEditOptions(args, &o, &help, &error);
  }
  else if (command == "info")
  {
    InfoOptions o;
    ok = ParseInfoOptions(args, &o, &help, &error);
  }
  else if (command == "presets")
  {
    PresetsOptions o;
    ok = ParsePresetsOptions(args, &o, &help, &error);
  }
  else
  {
    DemoOptions o;
    ok = ParseDemoOptions(args, &o, &help, &error);
  }
  if (!ok) return error.empty() ? "refused without a message" : error;
  return help ? "help" : "";
}

} // namespace

TEST(HostOptions, EachMistakeGetsItsOwnMessage)
{
  struct Case
  {
    const char* command;
    Args args;
    const char* outcome;
  };
  const Case cases[] = {
      {"render", {"a", "b", "--quiet=1"}, "option --quiet takes no value"},
      {"snapshot", {"x.png", "--preset"}, "option --preset needs a value"},
      {"render", {"a", "b", "--tempo", "fast"}, "option --tempo needs a number, not \"fast\""},
      {"render", {"a", "b", "--block=1.5"}, "--block must be a whole number of frames from 1 to 65536"},
      {"render", {"a", "b", "--set", "=1"}, "--set needs NAME=VALUE, not \"=1\""},
      {"render", {"a", "b", "c"}, "render takes two files, IN and OUT"},
      {"info", {"--frobnicate"}, "unknown option --frobnicate"},
      {"info", {"-q"}, "unknown option -q"},
      {"edit", {"extra"}, "edit takes no operands, only options"},
      {"presets", {"import", "bank.fxb"}, "presets import needs --save-state OUT"},
      {"demo", {"a", "b"}, "demo takes at most one folder"},
      // --help wins over what follows it, and ignores a value.
      {"info", {"--help=now", "extra"}, "help"},
      {"demo", {"-h", "--frobnicate"}, "help"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.command, c.args), c.outcome) << c.command << " " << c.args.size();
}

TEST(HostOptions, ValuesComeInlineOrNextAndOperandsFollowDoubleDash)
{
  RenderOptions r;
  bool help = false;
  std::string error;
  ASSERT_TRUE(ParseRenderOptions({"--tempo=90", "in.wav", "-q", "--state", "--help", "--", "-out.wav"}, &r, &help,
                                 &error))
      << error;
  EXPECT_FALSE(help);
  EXPECT_EQ(r.tempoBpm, 90.0);
  EXPECT_TRUE(r.quiet);
  EXPECT_EQ(r.settings.stateFile, "--help"); // a value, even when it looks like an option
  EXPECT_EQ(r.input, "in.wav");
  EXPECT_EQ(r.output, "-out.wav");

  DemoOptions d;
  ASSERT_TRUE(ParseDemoOptions({"--", "--odd"}, &d, &help, &error)) << error;
  EXPECT_EQ(d.folder, "--odd");
}
