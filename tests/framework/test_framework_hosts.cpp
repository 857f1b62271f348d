#include <gtest/gtest.h>

#include <string>

#include "framework/Hosts.h"

namespace
{
std::string HostName(EHost h)
{
  char buf[32];
  GetHostNameStr(h, buf, (int)sizeof(buf));
  return buf;
}
} // namespace

TEST(LookUpHost, MatchesSubstringsIgnoringCase)
{
  EXPECT_EQ(LookUpHost("com.apple.logic10"), kHostLogic);
  EXPECT_EQ(LookUpHost("com.example.reaper"), kHostReaper);
  EXPECT_EQ(LookUpHost("Cubase LE"), kHostCubase);
  EXPECT_EQ(LookUpHost("GarageBand"), kHostGarageBand);
  EXPECT_EQ(LookUpHost("com.apple.audio.aulab"), kHostAULab);
  EXPECT_EQ(LookUpHost("Ardour"), kHostArdour);
  EXPECT_EQ(LookUpHost(""), kHostUnknown);
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
  EXPECT_EQ(LookUpHost("Some Other App"), kHostUnknown);
}

TEST(LookUpHost, EarlierTextsWinOverLive)
{
  EXPECT_EQ(LookUpHost("com.ableton.live"), kHostAbletonLive);
  // "live" hides in many identifiers; anything tested after it loses
  EXPECT_EQ(LookUpHost("com.example.livelogic"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("org.deliverance.protools"), kHostAbletonLive);
  // ... while the texts tested before it win
  EXPECT_EQ(LookUpHost("Cubase Live Edition"), kHostCubase);
  EXPECT_EQ(LookUpHost("Fruity Live"), kHostFL);
  // and "reaper" is tested before "nuendo" even though its value is lower
  EXPECT_EQ(LookUpHost("nuendo-reaper"), kHostReaper);
}

TEST(LookUpHost, OnlyTheFirst263CharactersCount)
{
  std::string inside(257, 'x');
  inside += "reaper"; // ends at character 263
  EXPECT_EQ(LookUpHost(inside.c_str()), kHostReaper);
  std::string beyond(258, 'x');
  beyond += "reaper";
  EXPECT_EQ(LookUpHost(beyond.c_str()), kHostUnknown);
}

TEST(GetHostNameStr, SomeIdentifiedHostsHaveNoDisplayName)
{
  EXPECT_EQ(HostName(kHostUnknown), "Unknown");
  EXPECT_EQ(LookUpHost("Melodyne"), kHostMelodyneStudio);
  EXPECT_EQ(HostName(kHostMelodyneStudio), "Unknown");
  EXPECT_EQ(HostName(kHostVegas), "Vegas");
  EXPECT_EQ(HostName(kHostSonar), "Sonar");
  EXPECT_EQ(HostName(kHostVST3TestHost), "VST3PluginTestHost");
  EXPECT_EQ(HostName(kHostUninit), "Unknown");
  // An unnamed value the enum can still hold (it spans -32..31).
  EXPECT_EQ(HostName(static_cast<EHost>(31)), "Unknown");

  // every selectable host's display name (where it has one) identifies it again
  for (int h = 1; h <= 28; ++h)
  {
    std::string name = HostName((EHost)h);
    if (name == "Unknown" || name == "Vegas" || name == "Sonar" || name == "FLStudio" || name == "StudioOne" ||
        name == "DigitalPerformer" || name == "VSTScanner")
      continue; // selected by a different text than their display name
    EXPECT_EQ(LookUpHost(name.c_str()), (EHost)h) << name;
  }

  char tiny[4];
  GetHostNameStr(kHostGarageBand, tiny, (int)sizeof(tiny));
  EXPECT_STREQ(tiny, "Gar");
}

TEST(Versions, PackedVersionsSplitFormatAndConvertToDecimal)
{
  char buf[32];
  GetVersionStr(0x10000, buf);
  EXPECT_STREQ(buf, "v1.0.0");
  GetVersionStr(0x0A0B0C, buf);
  EXPECT_STREQ(buf, "v10.11.12");
  EXPECT_EQ(GetDecimalVersion(0x10203), 10203);
  int maj = -1, min = -1, rel = -1;
  GetVersionParts(0x00020305, &maj, &min, &rel);
  EXPECT_EQ(maj, 2);
  EXPECT_EQ(min, 3);
  EXPECT_EQ(rel, 5);
  GetVersionParts(0x00020305, nullptr, nullptr, nullptr); // skipped, no crash
}

TEST(ToLower, CopiesLowerCasedAndBounded)
{
  char buf[8];
  ToLower(buf, "MiXeD CaSe", (int)sizeof(buf));
  EXPECT_STREQ(buf, "mixed c");
  ToLower(buf, nullptr, (int)sizeof(buf));
  EXPECT_STREQ(buf, "");
}
