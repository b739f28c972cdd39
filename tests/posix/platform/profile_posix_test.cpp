// The POSIX profile backend on disk: drive letters, untouched lines, file
// modes, atomic replacement and writers in several processes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/posix/profile_text.h"
#include "platform/profile.h"
#include "posix/platform/posix_test_support.h"

namespace kestrove::platform::posix {
namespace {

using test::native;

class ProfilePosixTest : public ::testing::Test {
 protected:
  std::vector<std::string> folder_names() {
    std::vector<std::string> names;
    DIR* dir = ::opendir(native(folder.path()).c_str());
    while (const dirent* d = dir ? ::readdir(dir) : nullptr) {
      if (std::string(d->d_name) != "." && std::string(d->d_name) != "..") names.push_back(d->d_name);
    }
    if (dir) ::closedir(dir);
    return names;
  }

  kestrove::testing::TempFolder folder;
  Path ini = folder / "qevlink.ini";
  Profile& profile = system_profile();
};

TEST_F(ProfilePosixTest, KeyDeviceLetterReachesTheMappedFolder) {
  kestrove::testing::ScopedEnv drives("KESTROVE_DRIVES", "E=" + native(folder.path()) + "/");
  ASSERT_TRUE(profile.write_string("OPTION", "FOLDERALL", "1", "E:\\qevlink.ini"));
  EXPECT_EQ(folder.read_file("qevlink.ini"), "[OPTION]\r\nFOLDERALL=1\r\n");
  std::string value;
  EXPECT_EQ(profile.get_string("OPTION", "FOLDERALL", "", value, 128, "e:\\qevlink.ini"), 1u);
  EXPECT_EQ(value, "1");

  set_last_error(0);
  EXPECT_FALSE(profile.write_string("OPTION", "FOLDERALL", "1", "Q:\\qevlink.ini"));
  EXPECT_EQ(last_error(), error::path_not_found);
}

TEST_F(ProfilePosixTest, EditsTouchOnlyTheirLines) {
  struct Row {
    const char* label;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
  };
  const Row rows[] = {
      {"comments, blank lines and LF line ends stay",
       "; made by hand\n[OPTION]\nFOLDERALL = 1\n\n[GROUP]\nGROUP_NUM=1\n", "OPTION", "FILEDEL", "0",
       "; made by hand\n[OPTION]\nFOLDERALL = 1\nFILEDEL=0\r\n\n[GROUP]\nGROUP_NUM=1\n"},
      {"a changed entry keeps its line end", "[OPTION]\nFOLDERALL = 1\n", "OPTION", "folderall", "0",
       "[OPTION]\nFOLDERALL=0\n"},
      {"an unchanged value leaves the line as it is", "[OPTION]\n FOLDERALL = 1 \n", "OPTION", "FOLDERALL", "1",
       "[OPTION]\n FOLDERALL = 1 \n"},
      {"last line without a line end", "[OPTION]\r\nFOLDERALL=1", "OPTION", "FILEDEL", "1",
       "[OPTION]\r\nFOLDERALL=1\r\nFILEDEL=1\r\n"},
      {"new section after a last line without a line end", "[OPTION]\r\nFOLDERALL=1", "ACCESS", "ACCESSTIME", "9",
       "[OPTION]\r\nFOLDERALL=1\r\n[ACCESS]\r\nACCESSTIME=9\r\n"},
      {"a section deleted keeps its comments", ";c0\r\n[S1]\r\n;c1\r\nK=1\r\n[S2]\r\n;c2\r\n", "S1", nullptr,
       nullptr, ";c0\r\n;c1\r\n[S2]\r\n;c2\r\n"},
      {"only the first of two sections of a name", "[A]\r\nK=1\r\n[a]\r\nK=2\r\n", "A", nullptr, nullptr,
       "[a]\r\nK=2\r\n"},
      {"a key deleted", "[A]\r\nK=1\r\nL=2\r\n", "A", "k", nullptr, "[A]\r\nL=2\r\n"},
      {"text before the first section is no entry", "K=1\r\n", "", "K", "2", "K=1\r\n[]\r\nK=2\r\n"},
      {"CP932 trail byte 0x5D is no closing bracket", "[\x83\x5D]\r\nK=1\r\n", "\x83\x5D", "K", "2",
       "[\x83\x5D]\r\nK=2\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    folder.write_file("qevlink.ini", row.before);
    ASSERT_TRUE(profile.write_string(row.section, row.key, row.value, ini));
    EXPECT_EQ(folder.read_file("qevlink.ini"), row.after);
  }
}

TEST_F(ProfilePosixTest, ReplacementKeepsTheModeAndLeavesNothingBehind) {
  folder.write_file("qevlink.ini", "[OPTION]\r\nFOLDERALL=1\r\n");
  const std::string path = native(ini);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  ASSERT_TRUE(profile.write_string("OPTION", "FOLDERALL", "0", ini));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not rewritten in place";
  EXPECT_EQ(folder_names(), std::vector<std::string>{"qevlink.ini"});
}

TEST_F(ProfilePosixTest, AFailedWriteLeavesTheOldFile) {
  const std::string old_text = "[OPTION]\r\nFOLDERALL=1\r\n";
  folder.write_file("qevlink.ini", old_text);
  // A child with a file size limit: writing the new file fails part way.
  const bool fine = test::run_in_children(1, [&](int) {
    std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit {32, 32};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    const std::string big(100, '7');
    if (profile.write_string("ACCESS", "ACCESSTIME", big.c_str(), ini)) return 11;
    return last_error() == error::disk_full ? 0 : 12;
  });
  EXPECT_TRUE(fine);
  EXPECT_EQ(folder.read_file("qevlink.ini"), old_text);
  EXPECT_EQ(folder_names(), std::vector<std::string>{"qevlink.ini"});
}

TEST_F(ProfilePosixTest, WritersInSeveralProcessesLoseNothing) {
  folder.write_file("qevlink.ini", "[OPTION]\r\n");
  constexpr int kProcesses = 4, kKeysEach = 20;
  const bool fine = test::run_in_children(kProcesses, [&](int child) {
    for (int i = 0; i < kKeysEach; ++i) {
      char key[32];
      std::snprintf(key, sizeof key, "K%d_%d", child, i);
      if (!profile.write_string("OPTION", key, "1", ini)) return 1;
    }
    return 0;
  });
  ASSERT_TRUE(fine);
  const ProfileText text(folder.read_file("qevlink.ini"));
  for (int child = 0; child < kProcesses; ++child) {
    for (int i = 0; i < kKeysEach; ++i) {
      char key[32];
      std::snprintf(key, sizeof key, "K%d_%d", child, i);
      EXPECT_EQ(text.find("OPTION", key).value_or("missing"), "1") << key;
    }
  }
}

}  // namespace
}  // namespace kestrove::platform::posix
