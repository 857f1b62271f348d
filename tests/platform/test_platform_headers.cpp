// The stand-in answers the platform's own header names, and its codes are
// the platform's: four-character codes, selectors and error codes that a
// host and a unit built elsewhere exchange as plain numbers.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cstring>

TEST(PlatformHeaders, FourCharCodesAreBigEndianPackedCharacters)
{
  EXPECT_EQ(static_cast<UInt32>(kAudioUnitType_Effect), 1635083896u);
  EXPECT_EQ(static_cast<UInt32>(kAudioFormatLinearPCM), 0x6C70636Du);
  EXPECT_EQ(QUILL_FOUR_CC('T', 'r', 'm', 'l'), 1416785260u);
  EXPECT_EQ(QUILL_FOUR_CC('Q', 'l', 'b', 'r'), 1366057586u);
  EXPECT_EQ(static_cast<UInt32>(kAudioUnitCarbonViewComponentType), 0x61757677u);
}

TEST(PlatformHeaders, StatusCodesKeepTheirSignedThirtyTwoBitValues)
{
  EXPECT_EQ(static_cast<OSStatus>(badComponentSelector), -2147450878);
  EXPECT_EQ(static_cast<OSStatus>(badComponentInstance), -2147450879);
  EXPECT_EQ(static_cast<OSStatus>(kAudioUnitErr_InvalidPropertyValue), -10851);
}

TEST(PlatformHeaders, CompositeFlagsAreTheUnionOfTheirParts)
{
  EXPECT_EQ(static_cast<UInt32>(kAudioFormatFlagsAudioUnitCanonical), 0x29u);
  EXPECT_EQ(static_cast<UInt32>(kAudioFormatFlagsNativeFloatPacked), 0x9u);
  EXPECT_EQ(static_cast<UInt32>(kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString |
                                kAudioUnitParameterFlag_CFNameRelease),
            0x48000010u);
  EXPECT_EQ(AudioChannelLayoutTag_GetNumberOfChannels(kAudioChannelLayoutTag_Stereo), 2u);
  EXPECT_EQ(static_cast<UInt32>(kAudioChannelLayoutTag_Stereo), 0x650002u);
}

TEST(PlatformHeaders, HostVersionRecordsShareTheirBytesWithThePackedForm)
{
  AUHostIdentifier id = {};
  id.hostVersion.majorRev = 3;
  id.hostVersion.minorAndBugRev = 0x21;
  id.hostVersion.stage = 0x80;
  id.hostVersion.nonRelRev = 4;
  AUHostVersionIdentifier packed;
  memcpy(&packed, &id, sizeof packed);
  EXPECT_EQ(packed.hostVersion, 0x03218004u);
}
