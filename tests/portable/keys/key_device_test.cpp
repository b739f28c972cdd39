#include <gtest/gtest.h>

#include "key_test_world.h"
#include "keys/key_device.h"

namespace kestrove::testing {
namespace {

using keys::find_key_device;
using keys::kNoKeyDevice;

int scan(KeyTestWorld& world, keys::KeyState& state, int start) {
  return keys::with_device_lock(
      [&](const keys::DeviceLock& lock) { return find_key_device(lock, state, world.services, start); });
}

TEST(FindKeyDevice, WalksCToZThenAThenBFromTheStartIndex) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.drives.add('F', DriveKind::removable);
  keys::KeyState state;

  EXPECT_EQ(scan(world, state, 0), 2);
  EXPECT_EQ(state.device_root, "E:\\");
  EXPECT_EQ(scan(world, state, 3), 3);
  EXPECT_EQ(state.device_root, "F:\\");
  EXPECT_EQ(scan(world, state, 4), kNoKeyDevice);
  EXPECT_EQ(state.device_root, "F:\\") << "a scan that finds nothing keeps the root";
  EXPECT_EQ(scan(world, state, 26), kNoKeyDevice);
  EXPECT_EQ(scan(world, state, 1000), kNoKeyDevice);
}

TEST(FindKeyDevice, FloppyLettersComeLast) {
  KeyTestWorld world;
  world.drives.add('A', DriveKind::removable);
  world.drives.add('G', DriveKind::removable);
  world.drives.add('B', DriveKind::removable);
  keys::KeyState state;
  EXPECT_EQ(scan(world, state, 0), 4);
  EXPECT_EQ(scan(world, state, 5), 24);
  EXPECT_EQ(state.device_root, "A:\\");
  EXPECT_EQ(scan(world, state, 25), 25);
}

TEST(FindKeyDevice, SkipsDrivesThatAreNotRemovableOrRefuseTheTestFile) {
  struct Case {
    const char* label;
    DriveKind kind;
  };
  const Case skipped[] = {
      {"fixed disk", DriveKind::fixed},     {"network drive", DriveKind::remote},
      {"CD drive", DriveKind::cdrom},       {"no medium", DriveKind::no_medium},
      {"write-protected", DriveKind::write_protected}, {"full", DriveKind::full},
  };
  for (const Case& c : skipped) {
    KeyTestWorld world;
    world.drives.add('D', c.kind);
    world.drives.add('H', DriveKind::removable);
    if (c.kind != DriveKind::no_medium) {
      world.write_settings('D', "[QEVLINK]\r\nKEYDATA=000\r\n");
    }
    keys::KeyState state;
    EXPECT_EQ(scan(world, state, 0), 5) << c.label;
    EXPECT_EQ(state.device_root, "H:\\") << c.label;
    EXPECT_TRUE(world.boxes.shown.empty()) << c.label;
  }
}

TEST(FindKeyDevice, LeavesNoFileBehind) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.drives.add('F', DriveKind::full);
  world.write_settings('E', "[OPTION]\r\n");
  world.write_settings('F', "[OPTION]\r\n");
  keys::KeyState state;
  ASSERT_EQ(scan(world, state, 3), kNoKeyDevice);  // F fails after creating its file
  ASSERT_EQ(scan(world, state, 0), 2);
  EXPECT_EQ(world.files_on('E'), std::vector<std::string>{"qevlink.ini"});
  EXPECT_EQ(world.files_on('F'), std::vector<std::string>{"qevlink.ini"});
}

TEST(WriteTest, GivesTheErrorOfTheFailingStep) {
  struct Case {
    const char* label;
    DriveKind kind;
    platform::ErrorCode expected;
  };
  const Case cases[] = {
      {"writable", DriveKind::removable, 0},
      {"write-protected", DriveKind::write_protected, platform::error::write_protect},
      {"full", DriveKind::full, platform::error::disk_full},
      {"no medium", DriveKind::no_medium, platform::error::not_ready},
  };
  for (const Case& c : cases) {
    KeyTestWorld world;
    world.drives.add('E', c.kind);
    EXPECT_EQ(keys::write_test(world.services.files, "E:\\"), c.expected) << c.label;
    if (c.kind != DriveKind::no_medium) {
      EXPECT_TRUE(world.files_on('E').empty()) << c.label;
    }
  }
}

TEST(WriteTest, WorksInAnyFolderAndReportsAMissingOne) {
  KeyTestWorld world;
  world.temp.make_folder("dest");
  EXPECT_EQ(keys::write_test(world.services.files, world.temp / "dest\\"), 0u);
  EXPECT_EQ(keys::write_test(world.services.files, world.temp / "missing\\"), platform::error::path_not_found);
}

}  // namespace
}  // namespace kestrove::testing
