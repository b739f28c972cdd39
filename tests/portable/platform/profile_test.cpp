// The profile functions as the settings file uses them; both backends must
// answer alike, so the same files are read and written by Windows and by the
// POSIX backend.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/profile.h"
#include "support/system_quirks.h"
#include "support/temp_folder.h"

namespace kestrove::platform {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  struct Answer {
    std::uint32_t length;
    std::string value;
  };
  Answer get(const char* section, const char* key, const char* default_value = "", std::uint32_t size = 128) {
    Answer a{0, "untouched"};
    a.length = profile.get_string(section, key, default_value, a.value, size, ini);
    return a;
  }
  std::string on_disk() { return folder.read_file("qevlink.ini"); }

  kestrove::testing::TempFolder folder;
  Path ini = folder / "qevlink.ini";
  Profile& profile = system_profile();
};

TEST_F(ProfileTest, WritesTheFileWindowsWrites) {
  ASSERT_TRUE(profile.write_string("OPTION", "FOLDERALL", "1", ini));
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=1\r\n");

  ASSERT_TRUE(profile.write_string("OPTION", "OVERWRITECHECK", "0", ini));
  ASSERT_TRUE(profile.write_string("ACCESS", "ACCESSTIME", "001002", ini));
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=1\r\nOVERWRITECHECK=0\r\n[ACCESS]\r\nACCESSTIME=001002\r\n");

  // An existing key keeps its place and its spelling; the section is found
  // without regard to case.
  ASSERT_TRUE(profile.write_string("option", "FolderAll", "0", ini));
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=0\r\nOVERWRITECHECK=0\r\n[ACCESS]\r\nACCESSTIME=001002\r\n");

  ASSERT_TRUE(profile.write_string("OPTION", "OVERWRITECHECK", nullptr, ini));  // removes the key
  ASSERT_TRUE(profile.write_string("ACCESS", nullptr, nullptr, ini));           // removes the section
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=0\r\n");
  EXPECT_TRUE(profile.write_string(nullptr, nullptr, nullptr, ini));  // a flush is no failure

  // Removing what is not there changes nothing and is no failure.
  EXPECT_TRUE(profile.write_string("ACCESS", nullptr, nullptr, ini));
  EXPECT_TRUE(profile.write_string("OPTION", "FILEDEL", nullptr, ini));
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=0\r\n");
}

TEST_F(ProfileTest, ReadsAsGetPrivateProfileString) {
  folder.write_file("qevlink.ini",
                    "[OPTION]\r\n"
                    "FOLDERALL=1\r\n"
                    "  OverWriteCheck  =  0  \r\n"
                    "EMPTY=\r\n"
                    "QUOTED=\" two words \"\r\n"
                    "SINGLE='x'\r\n"
                    "MISMATCH=\"x'\r\n"
                    "LONG=123456789\r\n"
                    "DUP=first\r\n"
                    "DUP=second\r\n"
                    ";FILEDEL=1\r\n"
                    "[option]\r\n"
                    "FILEDEL=7\r\n"
                    "  [ Spaced ]\r\n"
                    "KEY=v\r\n"
                    "[GROUP]\r\n"
                    "GROUPID1=営業部の表\r\n");
  struct Row {
    const char* label;
    const char* section;
    const char* key;
    const char* default_value;
    std::uint32_t size;
    std::string expected;
  };
  const Row rows[] = {
      {"plain", "OPTION", "FOLDERALL", "", 128, "1"},
      {"names without case", "option", "folderall", "", 128, "1"},
      {"blanks around name and value", "OPTION", "OVERWRITECHECK", "", 128, "0"},
      {"spaces around the asked names", " OPTION ", " FOLDERALL ", "", 128, "1"},
      {"empty value is no default", "OPTION", "EMPTY", "d", 128, ""},
      {"missing key: default without trailing spaces", "OPTION", "FILEDEL", "1  ", 128, "1"},
      {"missing section", "NOSUCH", "FOLDERALL", "x", 128, "x"},
      {"null default", "NOSUCH", "FOLDERALL", nullptr, 128, ""},
      {"double quotes removed", "OPTION", "QUOTED", "", 128, " two words "},
      {"single quotes removed", "OPTION", "SINGLE", "", 128, "x"},
      {"unmatched quotes kept", "OPTION", "MISMATCH", "", 128, "\"x'"},
      {"cut to the buffer", "OPTION", "LONG", "", 5, "1234"},
      {"default cut too", "NOSUCH", "K", "abcdef", 4, "abc"},
      {"room for the NUL only", "OPTION", "LONG", "", 1, ""},
      {"first of two entries", "OPTION", "DUP", "", 128, "first"},
      {"a second section of a name is not read", "OPTION", "FILEDEL", "-", 128, "-"},
      {"blanks inside the brackets", "Spaced", "KEY", "", 128, "v"},
      {"CP932 value", "GROUP", "GROUPID1", "", 128, "営業部の表"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const Answer a = get(row.section, row.key, row.default_value, row.size);
    EXPECT_EQ(a.value, row.expected);
    EXPECT_EQ(a.length, row.expected.size());
  }
}

TEST_F(ProfileTest, MissingFileGivesTheDefault) {
  const Answer a = get("OPTION", "FOLDERALL", "1");
  EXPECT_EQ(a.value, "1");
  EXPECT_EQ(a.length, 1u);
  EXPECT_FALSE(folder.exists("qevlink.ini"));
}

TEST_F(ProfileTest, SurvivesAFileThatIsNoIniFile) {
  std::string junk("\0\xff\xfe[\x81\n=\r\r\x82]\0=\0", 14);
  junk += std::string(300000, 'A') + "=" + std::string(300000, '[') + "\r\n[";
  for (int i = 0; i < 256; ++i) junk.push_back(static_cast<char>(i));
  folder.write_file("qevlink.ini", junk);

  EXPECT_EQ(get("OPTION", "FOLDERALL", "1").value, "1");
  ASSERT_TRUE(profile.write_string("OPTION", "FOLDERALL", "0", ini));
  EXPECT_EQ(get("OPTION", "FOLDERALL", "1").value, "0");
  const std::string after = on_disk();
  EXPECT_NE(after.find("[OPTION]\r\nFOLDERALL=0\r\n"), std::string::npos);
}

TEST_F(ProfileTest, ReadOnlyFileRefusesWrites) {
  folder.write_file("qevlink.ini", "[OPTION]\r\nFOLDERALL=1\r\n");
  FileSystem& fs = system_file_system();
  ASSERT_TRUE(fs.set_attributes(ini, attribute::read_only | attribute::hidden));

  if (!kestrove::testing::read_only_files_are_writable()) {
    set_last_error(0xdeadbeef);
    EXPECT_FALSE(profile.write_string("OPTION", "FOLDERALL", "0", ini));
    EXPECT_EQ(last_error(), error::access_denied);
    EXPECT_FALSE(profile.write_string("ACCESS", nullptr, nullptr, ini));
  }
  EXPECT_EQ(get("OPTION", "FOLDERALL").value, "1");  // still readable

  // What the settings writers do: attributes to normal, write, back to read-only.
  ASSERT_TRUE(fs.set_attributes(ini, attribute::normal));
  ASSERT_TRUE(profile.write_string("OPTION", "FOLDERALL", "0", ini));
  ASSERT_TRUE(fs.set_attributes(ini, attribute::read_only | attribute::hidden));
  EXPECT_EQ(on_disk(), "[OPTION]\r\nFOLDERALL=0\r\n");
  EXPECT_NE(fs.get_attributes(ini) & attribute::read_only, 0u);
  ASSERT_TRUE(fs.set_attributes(ini, attribute::normal));  // so that the folder can go
}

TEST_F(ProfileTest, MissingFolderFailsWithPathNotFound) {
  set_last_error(0xdeadbeef);
  EXPECT_FALSE(profile.write_string("OPTION", "FOLDERALL", "1", folder / "nosuch\\qevlink.ini"));
  EXPECT_EQ(last_error(), error::path_not_found);
}

}  // namespace
}  // namespace kestrove::platform
