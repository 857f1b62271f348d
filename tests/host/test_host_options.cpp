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

// What a parser answers: its message, "help" for --help, or "" when it
// accepted the arguments.
template <class Options>
std::string Run(bool (*parse)(const Args&, Options*, bool*, std::string*), const Args& args)
{
  Options options;
  bool help = false;
  std::string error;
  if (!parse(args, &options, &help, &error)) return error.empty() ? "refused without a message" : error;
  return help ? "help" : "";
}

std::string Outcome(const std::string& command, const Args& args)
{
  if (command == "render") return Run(ParseRenderOptions, args);
  if (command == "snapshot") return Run(ParseSnapshotOptions, args);
  if (command == "edit") return Run(ParseEditOptions, args);
  if (command == "info") return Run(ParseInfoOptions, args);
  if (command == "presets") return Run(ParsePresetsOptions, args);
  return Run(ParseDemoOptions, args);
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
