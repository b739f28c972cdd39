// The SendTo shortcut: made after the older pair is cleared, one file only,
// recognised in either layout.
#include <gtest/gtest.h>

#include "shell/sendto.h"
#include "shell_world.h"

namespace kestrove::shell {
namespace {

using testing::ShellWorld;

TEST(SendTo, CreatingReplacesTheOlderPairWithOneShortcut) {
  ShellWorld world;
  world.make_shortcut_file("(暗号化)");
  world.make_shortcut_file("(復号化)");
  ASSERT_EQ(create_sendto_shortcut(world.services), 1);
  ASSERT_EQ(create_sendto_shortcut(world.services), 1);
  EXPECT_TRUE(world.shortcut(""));
  EXPECT_FALSE(world.shortcut("(暗号化)"));
  EXPECT_FALSE(world.shortcut("(復号化)"));
  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::system_file_system().list_directory(world.sendto, entries));
  EXPECT_EQ(entries.size(), 1u);

  ASSERT_EQ(remove_sendto_shortcuts(world.services), 1);
  EXPECT_FALSE(world.shortcut(""));
  EXPECT_EQ(remove_sendto_shortcuts(world.services), 1) << "nothing to remove is no error";
}

TEST(SendTo, TheStateCountsTheShortcutOrBothOlderOnes) {
  struct Case {
    std::vector<const char*> files;
    bool present;
  };
  for (const Case& c : {Case{{}, false}, Case{{""}, true}, Case{{"(暗号化)", "(復号化)"}, true},
                        Case{{"(暗号化)"}, false}, Case{{"(復号化)"}, false}}) {
    ShellWorld world;
    for (const char* suffix : c.files) world.make_shortcut_file(suffix);
    PcOptions options;
    EXPECT_EQ(read_sendto_state(world.services, options), c.present ? 0 : -1) << c.files.size();
    EXPECT_EQ(options.sendto_present, c.present) << c.files.size();
  }
}

TEST(SendTo, WithoutItsOwnPathTheProgramMakesAndRemovesNothing) {
  ShellWorld world;
  world.make_shortcut_file("");
  world.program_path_readable = false;
  EXPECT_EQ(create_sendto_shortcut(world.services), 0);
  EXPECT_EQ(remove_sendto_shortcuts(world.services), 0);
  EXPECT_TRUE(world.shortcut(""));
  PcOptions options{true};
  EXPECT_EQ(read_sendto_state(world.services, options), -1);
  EXPECT_FALSE(options.sendto_present);
}

}  // namespace
}  // namespace kestrove::shell
