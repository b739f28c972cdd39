// Which drive letters exist on POSIX and what they are: KESTROVE_DRIVES, and
// without it the removable media found among the mounts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"
#include "platform/posix/drive_map.h"
#include "posix/platform/posix_test_support.h"

namespace kestrove::platform::posix {
namespace {

TEST(DriveMap, LettersOfKestroveDrives) {
  kestrove::testing::ScopedEnv drives("KESTROVE_DRIVES", "E=/media/usb,f=/mnt/floppy/,junk,G=,H=/first,H=/second");
  struct Row {
    const char* root;
    unsigned type;
  };
  const Row rows[] = {
      {"E:\\", 2}, {"e:\\", 2}, {"E:", 2}, {"F:\\", 2}, {"Z:\\", 3}, {"C:\\", 1},
      {"G:\\", 1}, {"", 1},     {"E", 1},  {"EE:\\", 1}, {"E:\\x", 1},
  };
  for (const Row& row : rows) EXPECT_EQ(drive_type(row.root), row.type) << row.root;

  std::string native;
  ErrorCode error = 0;
  ASSERT_TRUE(to_native_path("E:\\qevlink.ini", native, error));
  EXPECT_EQ(native, "/media/usb/qevlink.ini");
  ASSERT_TRUE(to_native_path("F:\\", native, error));
  EXPECT_EQ(native, "/mnt/floppy/");
  ASSERT_TRUE(to_native_path("H:\\a", native, error));
  EXPECT_EQ(native, "/second/a");  // a letter given twice: the later one
  ASSERT_TRUE(to_native_path("Z:\\etc", native, error));
  EXPECT_EQ(native, "/etc");
  EXPECT_FALSE(to_native_path("G:\\a", native, error));
  EXPECT_EQ(error, error::path_not_found);
}

TEST(DriveMap, EmptyKestroveDrivesMeansNoRemovableDrive) {
  kestrove::testing::ScopedEnv drives("KESTROVE_DRIVES", "");
  const std::vector<DriveMapping> all = drive_mappings();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].letter, 'Z');
  EXPECT_EQ(drive_type("E:\\"), 1u);
}

TEST(DriveMap, WithoutKestroveDrivesZIsStillThere) {
  test::ScopedUnset no_drives("KESTROVE_DRIVES");
  const std::vector<DriveMapping> all = drive_mappings();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().letter, 'Z');
  char expected = 'E';
  for (std::size_t i = 0; i + 1 < all.size(); ++i) {
    EXPECT_EQ(all[i].letter, expected++);
    EXPECT_TRUE(all[i].removable);
  }
}

// A small sysfs: a fixed SATA disk, a USB stick that does not call itself
// removable, and a floppy that does.
class RemovableMounts : public ::testing::Test {
 protected:
  RemovableMounts() {
    namespace fs = std::filesystem;
    sysfs = test::native(folder.path()) + "/sys";
    const std::string devices = sysfs + "/devices";
    disk(devices + "/pci0000:00/ata1/host0/target0/block/sda", "0", "sda1");
    disk(devices + "/pci0000:00/usb1/1-1/host6/target6/block/sdb", "0", "sdb1");
    disk(devices + "/platform/floppy.0/block/fd0", "1", "");
    fs::create_directories(sysfs + "/dev/block");
    fs::create_directory_symlink("../../devices/pci0000:00/ata1/host0/target0/block/sda/sda1", sysfs + "/dev/block/8:1");
    fs::create_directory_symlink("../../devices/pci0000:00/usb1/1-1/host6/target6/block/sdb/sdb1",
                                 sysfs + "/dev/block/8:17");
    fs::create_directory_symlink("../../devices/platform/floppy.0/block/fd0", sysfs + "/dev/block/2:0");
  }

  static void disk(const std::string& folder, const char* removable, const char* partition) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/removable") << removable << "\n";
    if (*partition != '\0') std::filesystem::create_directories(folder + "/" + partition);
  }

  kestrove::testing::TempFolder folder;
  std::string sysfs;
};

TEST_F(RemovableMounts, LettersFromEInMountOrder) {
  const std::string mountinfo =
      "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "30 22 0:5 / /proc rw - proc proc rw\n"
      "41 22 8:17 /sub /mnt/bind rw - vfat /dev/sdb1 rw\n"
      "43 22 2:0 / /mnt/floppy rw - vfat /dev/fd0 rw\n"
      "44 22 8:17 / /media/user/KEY\\040DISK rw - vfat /dev/sdb1 rw\n"
      "45 22 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
      "46 22 9:9 / /mnt/unknown rw - vfat /dev/md9 rw\n"
      "garbage\n"
      "\n";
  const std::vector<DriveMapping> drives = removable_drives_from_mountinfo(mountinfo, sysfs);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].letter, 'E');
  EXPECT_EQ(drives[0].root, "/mnt/floppy");
  EXPECT_EQ(drives[1].letter, 'F');
  EXPECT_EQ(drives[1].root, "/media/user/KEY DISK");
  EXPECT_TRUE(drives[1].removable);
}

TEST_F(RemovableMounts, NothingWithoutSysfsOrMounts) {
  EXPECT_TRUE(removable_drives_from_mountinfo("44 22 8:17 / /media/x rw - vfat /dev/sdb1 rw\n", sysfs + "/none").empty());
  EXPECT_TRUE(removable_drives_from_mountinfo("", sysfs).empty());
}

}  // namespace
}  // namespace kestrove::platform::posix
