// The file layer reports the Win32 error of every fault the program's
// messages depend on, the same on both backends.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "support/system_quirks.h"
#include "support/temp_folder.h"

namespace kestrove::platform {
namespace {

using testing::TempFolder;

FileSystem& fs() { return system_file_system(); }

File open_read(const Path& p, unsigned share_mode = share::read_write) {
  return fs().open(p, FileAccess::read, FileCreation::open_existing, share_mode);
}

TEST(FileSystem, ReportsTheWin32ErrorOfEachFault) {
  TempFolder t;
  t.write_file("exists.txt", "abc");
  t.make_folder("folder");
  t.write_file("folder\\inside.txt", "x");
  t.write_file("readonly.txt", "r");
  ASSERT_TRUE(fs().set_attributes(t / "readonly.txt", attribute::read_only));

  struct Case {
    const char* label;
    bool (*call)(const TempFolder&);
    ErrorCode expected;
  } cases[] = {
      {"open a missing file", [](const TempFolder& t) { return open_read(t / "none.txt") != nullptr; },
       error::file_not_found},
      {"open in a missing folder", [](const TempFolder& t) { return open_read(t / "nofolder\\x.txt") != nullptr; },
       error::path_not_found},
      {"create_new over a file",
       [](const TempFolder& t) {
         return fs().open(t / "exists.txt", FileAccess::write, FileCreation::create_new, share::none) != nullptr;
       },
       error::file_exists},
      {"write to a read-only file",
       [](const TempFolder& t) {
         return fs().open(t / "readonly.txt", FileAccess::write, FileCreation::open_existing, share::none) != nullptr;
       },
       error::access_denied},
      {"delete a read-only file", [](const TempFolder& t) { return fs().delete_file(t / "readonly.txt"); },
       error::access_denied},
      {"delete a missing file", [](const TempFolder& t) { return fs().delete_file(t / "none.txt"); },
       error::file_not_found},
      {"move onto an existing file",
       [](const TempFolder& t) { return fs().move_file(t / "readonly.txt", t / "exists.txt"); }, error::already_exists},
      {"make an existing folder", [](const TempFolder& t) { return fs().create_directory(t / "folder"); },
       error::already_exists},
      {"remove a folder that is not empty", [](const TempFolder& t) { return fs().remove_directory(t / "folder"); },
       error::dir_not_empty},
      {"a path of 260 bytes or more",
       [](const TempFolder& t) { return open_read(t / std::string(260, 'x')) != nullptr; },
       error::filename_exced_range},
      {"attributes of a missing file",
       [](const TempFolder& t) { return fs().get_attributes(t / "none.txt") != attribute::invalid; },
       error::file_not_found},
  };
  for (const auto& c : cases) {
    if (std::string(c.label) == "write to a read-only file" && testing::read_only_files_are_writable()) continue;
    set_last_error(0xDEADBEEF);
    EXPECT_FALSE(c.call(t)) << c.label;
    EXPECT_EQ(last_error(), c.expected) << c.label;
  }
  fs().set_attributes(t / "readonly.txt", attribute::normal);
}

TEST(FileSystem, ShareModesRefuseConflictingOpenersAndDeletion) {
  TempFolder t;
  t.write_file("f.txt", "abc");
  {
    File exclusive = fs().open(t / "f.txt", FileAccess::read_write, FileCreation::open_existing, share::none);
    ASSERT_TRUE(exclusive);
    set_last_error(0);
    EXPECT_EQ(open_read(t / "f.txt"), nullptr);
    EXPECT_EQ(last_error(), error::sharing_violation);
    EXPECT_FALSE(fs().delete_file(t / "f.txt"));
    EXPECT_EQ(last_error(), error::sharing_violation);
    EXPECT_FALSE(fs().move_file(t / "f.txt", t / "g.txt"));
    EXPECT_EQ(last_error(), error::sharing_violation);
  }
  {
    File reader = open_read(t / "f.txt", share::read);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(open_read(t / "f.txt", share::read));  // readers that let readers in
    EXPECT_EQ(fs().open(t / "f.txt", FileAccess::write, FileCreation::open_existing, share::read_write), nullptr);
    EXPECT_EQ(last_error(), error::sharing_violation);
  }
  EXPECT_TRUE(fs().delete_file(t / "f.txt"));  // closed handles hold nothing
}

TEST(FileSystem, ReadsWritesSeeksAndKeepsTimes) {
  TempFolder t;
  File f = fs().open(t / "表.bin", FileAccess::read_write, FileCreation::create_new, share::read);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->write("0123456789", 10));
  ASSERT_TRUE(f->seek(4));
  char buffer[16] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(f->read(buffer, sizeof buffer, got));
  EXPECT_EQ(std::string(buffer, got), "456789");
  ASSERT_TRUE(f->read(buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u);  // end of file is a successful read of nothing
  std::uint64_t size = 0;
  ASSERT_TRUE(f->size(size));
  EXPECT_EQ(size, 10u);

  FileTimes times;
  ASSERT_TRUE(f->get_times(times));
  times.last_write = 126000000000000000ULL;  // 2000-04-12
  times.last_access = 126000000000000000ULL;
  ASSERT_TRUE(f->set_times(times));
  f.reset();
  DirectoryEntry entry;
  ASSERT_TRUE(fs().find_entry(t / "表.bin", entry));
  EXPECT_EQ(entry.name, "表.bin");
  EXPECT_EQ(entry.size, 10u);
  EXPECT_EQ(entry.times.last_write, 126000000000000000ULL);
  EXPECT_EQ(entry.attributes & attribute::directory, 0u);
}

TEST(FileSystem, ListsAFolderWithoutDotEntries) {
  TempFolder t;
  t.write_file("a.txt", "a");
  t.make_folder("sub");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(fs().list_directory(t.path(), entries));
  ASSERT_EQ(entries.size(), 2u);
  bool saw_folder = false, saw_file = false;
  for (const auto& e : entries) {
    if (e.name == "sub") saw_folder = (e.attributes & attribute::directory) != 0;
    if (e.name == "a.txt") saw_file = e.size == 1;
  }
  EXPECT_TRUE(saw_folder);
  EXPECT_TRUE(saw_file);
  EXPECT_FALSE(fs().list_directory(t / "none", entries));
  EXPECT_EQ(last_error(), error::path_not_found);
}

TEST(FileSystem, MovesFilesAndFoldersWithoutReplacing) {
  TempFolder t;
  t.write_file("a.txt", "a");
  ASSERT_TRUE(fs().move_file(t / "a.txt", t / "b.txt"));
  EXPECT_FALSE(t.exists("a.txt"));
  EXPECT_EQ(t.read_file("b.txt"), "a");
  t.make_folder("d");
  ASSERT_TRUE(fs().move_file(t / "d", t / "e"));
  EXPECT_TRUE(t.exists("e"));
}

TEST(FileSystem, ReplaceFilePutsAWholeFileInPlaceKeepingTheTargetsAttributes) {
  struct Case {
    const char* label;
    const char* target;  // nullptr: none
    std::uint32_t target_attributes;
    bool replacement = true;
    ErrorCode error = error::success;
  };
  const Case cases[] = {
      {"over a file", "old bytes, longer than the new ones", attribute::normal},
      {"over a read-only hidden file", "old", attribute::read_only | attribute::hidden},
      {"where there is no file yet", nullptr, 0},
      {"without a replacement", "old", attribute::read_only, false, error::file_not_found},
  };
  for (const Case& c : cases) {
    TempFolder t;
    if (c.target != nullptr) {
      t.write_file("settings.ini", c.target);
      ASSERT_TRUE(fs().set_attributes(t / "settings.ini", c.target_attributes)) << c.label;
    }
    // What the backend can show of the attributes (POSIX has no "hidden").
    const std::uint32_t shown =
        c.target != nullptr ? fs().get_attributes(t / "settings.ini") & (attribute::read_only | attribute::hidden) : 0;
    if (c.replacement) t.write_file("~settings.new", "new\r\n");
    set_last_error(0xDEADBEEF);
    const bool replaced = fs().replace_file(t / "~settings.new", t / "settings.ini");
    EXPECT_EQ(replaced, c.error == error::success) << c.label;
    if (!replaced) {
      EXPECT_EQ(last_error(), c.error) << c.label;
      EXPECT_EQ(t.read_file("settings.ini"), c.target) << c.label;
    } else {
      EXPECT_EQ(t.read_file("settings.ini"), "new\r\n") << c.label;
      EXPECT_FALSE(t.exists("~settings.new")) << c.label;
    }
    EXPECT_EQ(fs().get_attributes(t / "settings.ini") & (attribute::read_only | attribute::hidden), shown) << c.label;
    fs().set_attributes(t / "settings.ini", attribute::normal);
  }
}

}  // namespace
}  // namespace kestrove::platform
