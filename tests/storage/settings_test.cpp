#include "storage/ini_text.h"
#include "storage/settings.h"
#include "storage/settings_keys.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vantaro;
using vantaro::test::entryCount;
using vantaro::test::fileBytes;
using vantaro::test::putBytes;
using vantaro::test::TempFolder;
namespace fs = std::filesystem;

TEST(SettingsFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    TempFolder dir;
    const fs::path ini = settingsPathIn(dir.path());
    EXPECT_EQ(ini.filename(), "jmconfig.ini");
    EXPECT_EQ(readSetting(ini, "General", "config"), "");
    EXPECT_EQ(readSettingNumber(ini, settings::config), 0);
    EXPECT_EQ(readSettingInt32(ini, settings::centerWidth), 0);
    EXPECT_FALSE(fs::exists(ini)); // reading never creates the file

    ASSERT_TRUE(writeSettingValue(ini, settings::centerWidth, 7000));
    EXPECT_EQ(fileBytes(ini), "[Joystick]\nCenterWidth= 7000\n");
    EXPECT_EQ(entryCount(dir.path()), 1); // no temporary file left beside it
}

TEST(SettingsFile, ValuesAreStoredInTheNumberFormOrPlain) {
    TempFolder dir;
    const fs::path ini = settingsPathIn(dir.path());
    ASSERT_TRUE(writeSettingValue(ini, settings::wrap, 1));
    ASSERT_TRUE(writeSettingValue(ini, settings::controller, 64));
    ASSERT_TRUE(writeSettingValue(ini, settings::increment, -1600));
    ASSERT_TRUE(writeSettingValue(ini, settings::toggle, 0));
    ASSERT_TRUE(writeSettingValue(ini, settings::midiDevice, 0));
    EXPECT_EQ(fileBytes(ini), "[General]\nWrap=1\nController= 64\nIncrement=-1600\nToggle=0\n"
                              "[Midi]\nDeviceNumber= 0\n");
    EXPECT_EQ(readSettingInteger(ini, settings::controller), 64);
    EXPECT_EQ(readSettingInteger(ini, settings::increment), -1600);
    EXPECT_EQ(readSettingInteger(ini, settings::wrap), 1);
}

TEST(SettingsFile, WriteChangesOneLineAndKeepsEveryOtherByteAsItWas) {
    TempFolder dir;
    const fs::path ini = dir / "jmconfig.ini";
    putBytes(ini, "; made by hand\r\n"
                  "[ general ]\r\n"
                  "  WRAP = 0 ; old\r\n"
                  "High= 127\r\n"
                  "\r\n"
                  "; joystick follows\r\n"
                  "[Joystick]\r\n"
                  "dwXpos= 32767");
    ASSERT_TRUE(writeSetting(ini, "General", "Wrap", "1"));
    ASSERT_TRUE(writeSetting(ini, "GENERAL", "Low", " 5"));     // new key: after the section's last key
    ASSERT_TRUE(writeSetting(ini, "Joystick", "dwYpos", " 9")); // the last line had no line break
    ASSERT_TRUE(writeSetting(ini, "Midi", "DeviceNumber", " 2"));
    EXPECT_EQ(fileBytes(ini), "; made by hand\r\n"
                              "[ general ]\r\n"
                              "WRAP=1\r\n"
                              "High= 127\r\n"
                              "Low= 5\r\n"
                              "\r\n"
                              "; joystick follows\r\n"
                              "[Joystick]\r\n"
                              "dwXpos= 32767\r\n"
                              "dwYpos= 9\r\n"
                              "[Midi]\r\n"
                              "DeviceNumber= 2\r\n");
}

TEST(SettingsFile, ReadingMatchesWithoutCaseAndStripsBlanksAndQuotes) {
    TempFolder dir;
    const fs::path ini = dir / "jmconfig.ini";
    const std::string longValue(300, '7');
    putBytes(ini, "\xEF\xBB\xBF[general]\n" // saved by an editor that marks UTF-8
                  "high =  \t 100 \t\n"
                  "Low=\" 12 \"\n"
                  "Delay='x\"\n"
                  "Channel\n"
                  "Controller=" +
                      longValue +
                      "\n"
                      "high=5\n"
                      "[Other]\n"
                      "Increment=3\n"
                      "[General]\n"
                      "Increment=4\n");
    EXPECT_EQ(readSetting(ini, "General", "HIGH"), "100");   // first of two
    EXPECT_EQ(readSetting(ini, "General", "Low"), " 12 ");   // one pair of quotes, inner blanks kept
    EXPECT_EQ(readSetting(ini, "General", "Delay"), "'x\""); // quotes that do not pair stay
    EXPECT_EQ(readSetting(ini, "General", "Channel"), "");
    EXPECT_EQ(readSetting(ini, "General", "Controller"), std::string(254, '7'));
    EXPECT_EQ(readSetting(ini, "General", "Increment"), ""); // only the first [General] counts
    EXPECT_EQ(readSetting(ini, "other", "increment"), "3");
}

TEST(SettingsFile, NumbersRoundHalfToEvenAndOverflowIsAFailure) {
    TempFolder dir;
    const fs::path ini = dir / "jmconfig.ini";
    putBytes(ini, "[General]\nChannel=12.5\nController=13.5\nLow=abc\nHigh=40000\nIncrement=3000000000\n"
                  "[Joystick]\nCenterWidth= 7000\ndwXpos=-2147483648\n");
    EXPECT_EQ(readSettingInteger(ini, settings::channel), 12);
    EXPECT_EQ(readSettingInteger(ini, settings::controller), 14);
    EXPECT_EQ(readSettingInteger(ini, settings::low), 0);
    EXPECT_EQ(readSettingInteger(ini, settings::centerWidth), 7000);
    EXPECT_EQ(readSettingInteger(ini, settings::xCentre), -2147483647 - 1);
    EXPECT_EQ(readSettingInt32(ini, settings::high), 40000);
    EXPECT_EQ(readSettingInt16(ini, settings::high), std::nullopt);
    EXPECT_EQ(readSettingInteger(ini, settings::increment), std::nullopt);
    EXPECT_EQ(readSettingNumber(ini, settings::increment), 3e9);
}

TEST(SettingsFile, FailedWritesAreReportedAndChangeNothing) {
    TempFolder dir;
    const fs::path ini = dir / "jmconfig.ini";
    putBytes(ini, "[General]\nWrap=0\n");

    // A file the user marked read-only is left alone, even though the folder would allow a rename.
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(writeSettingValue(ini, settings::wrap, 1));
    EXPECT_EQ(fileBytes(ini), "[General]\nWrap=0\n");
    fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write);

    // Texts that would break the file's lines apart are refused.
    EXPECT_FALSE(writeSetting(ini, "General", "Wrap", "1\n[Evil]\nx=1"));
    EXPECT_FALSE(writeSetting(ini, "General", "Bad=Key", "1"));
    EXPECT_FALSE(writeSetting(ini, "Gen]eral", "Wrap", "1"));
    EXPECT_FALSE(writeSetting(ini, "", "Wrap", "1"));
    EXPECT_EQ(fileBytes(ini), "[General]\nWrap=0\n");

    // A folder that cannot exist, and a folder standing where the file should be.
    EXPECT_FALSE(writeSetting(ini / "jmconfig.ini", "General", "Wrap", "1"));
    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(writeSetting(dir / "folder.ini", "General", "Wrap", "1"));
    EXPECT_EQ(readSetting(dir / "folder.ini", "General", "Wrap"), "");
    EXPECT_EQ(entryCount(dir.path()), 2);
}

TEST(SettingsFile, ReplacingKeepsTheFilePermissions) {
    TempFolder dir;
    const fs::path ini = dir / "jmconfig.ini";
    putBytes(ini, "[General]\nWrap=0\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(ini, mode);
    ASSERT_TRUE(writeSettingValue(ini, settings::wrap, 1));
    EXPECT_EQ(fs::status(ini).permissions(), mode);
}

// Found by the INI fuzzer: a last line that ends in a lone CR used to gain a second CR when a
// key was added after it, and its value then read back with a CR on the end.
TEST(IniText, AddingAfterALastLineEndingInABareCarriageReturnKeepsItsValue) {
    const std::string text = "[Joystick]\r\nCenterWidth=i\r";
    const std::optional<std::string> newSection = iniWrite(text, "General", "Wrap", "1");
    ASSERT_TRUE(newSection);
    EXPECT_EQ(*newSection, "[Joystick]\r\nCenterWidth=i\r\n[General]\r\nWrap=1\r\n");
    EXPECT_EQ(iniRead(*newSection, "Joystick", "CenterWidth"), "i");

    const std::optional<std::string> sameSection = iniWrite(text, "Joystick", "calibrated", " 1");
    ASSERT_TRUE(sameSection);
    EXPECT_EQ(*sameSection, "[Joystick]\r\nCenterWidth=i\r\ncalibrated= 1\r\n");
    EXPECT_EQ(iniRead(*sameSection, "Joystick", "CenterWidth"), "i");
}

// The profile reader's view of line ends and of lines that are not quite what they seem.
TEST(IniText, BareCarriageReturnsEndLinesAndMalformedLinesReadAsTheProfileReaderHasThem) {
    // A file from an editor that ends lines with CR alone: read line by line, and kept that way.
    const std::string cr = "[General]\rWrap=1\rHigh= 100\r";
    EXPECT_EQ(iniRead(cr, "General", "High"), "100");
    EXPECT_EQ(iniWrite(cr, "General", "Low", " 5"), "[General]\rWrap=1\rHigh= 100\rLow= 5\r");
    EXPECT_EQ(iniWrite(cr, "General", "Wrap", "0"), "[General]\rWrap=0\rHigh= 100\r");
    EXPECT_EQ(iniWrite(cr, "Midi", "DeviceNumber", " 2"), cr + "[Midi]\rDeviceNumber= 2\r");
    EXPECT_EQ(iniWrite("[General]\rHigh= 100", "General", "Low", " 5"), "[General]\rHigh= 100\rLow= 5\r");

    const std::string odd = "Wrap=7\r\n"   // before any section: in none, never found
                            "[General\r\n" // no "]": not a section
                            "High=1\r\n"
                            "[Y]]\r\n" // the name runs to the last "]"
                            "Low=2\r\n"
                            "[General]\r\n"
                            "Delay=3\r\n";
    EXPECT_EQ(iniRead(odd, "General", "Wrap"), "");
    EXPECT_EQ(iniRead(odd, "General", "High"), "");
    EXPECT_EQ(iniRead(odd, "Y]", "Low"), "2");
    EXPECT_EQ(iniRead(odd, "Y", "Low"), "");
    EXPECT_EQ(iniRead(odd, "General", "Delay"), "3");
    EXPECT_EQ(iniWrite(odd, "General", "Wrap", "1"), odd + "Wrap=1\r\n");
    EXPECT_EQ(iniWrite(odd, "general", "High", " 9"), odd + "High= 9\r\n");
}
