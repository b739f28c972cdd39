#include <gtest/gtest.h>

#include "conversion/file_operations.h"
#include "support/temp_folder.h"

namespace kestrove::conversion {
namespace {

TEST(RandomHexText, DrawsFromTheAlphabetWithTheRuntimeGenerator) {
  // The Microsoft C runtime's rand() after srand(1) gives 41, 18467, 6334, 26500.
  EXPECT_EQ(random_hex_text(4, 1), "A3D6");
  const std::string text = random_hex_text(1000, 12345);
  EXPECT_EQ(text.find_first_not_of("ABCDEF0123456789"), std::string::npos);
  EXPECT_EQ(random_hex_text(15, 99), random_hex_text(15, 99));
  EXPECT_EQ(random_hex_text(0, 5), "");
}

TEST(ProgressPercent, IsTruncatedAndCapped) {
  struct Case {
    std::uint64_t done, chunk, total;
    int percent;
  } cases[] = {
      {1, 524288, 0, 100},
      {1, 524288, 1048576, 50},
      {1, 524288, 1048577, 49},
      {3, 524288, 1048576, 100},
      {1, 524288, 100, 100},
      {9000, 524288, 5ull << 32, 21},  // sizes beyond 4 GB stay exact
  };
  for (const auto& c : cases) EXPECT_EQ(progress_percent(c.done, c.chunk, c.total), c.percent) << c.total;
}

TEST(DestinationPath, KeepsTheRelativeFoldersBelowTheDestination) {
  struct Case {
    const char* source;
    const char* base;
    const char* destination;
    const char* expected;
  } cases[] = {
      {"D:\\data\\sub\\a.txt", "D:\\data", "E:\\out", "E:\\out\\sub\\a.txt"},
      {"D:\\data\\sub\\a.txt", "D:\\data\\", "E:\\out\\", "E:\\out\\sub\\a.txt"},
      {"D:\\a.txt", "D:\\", "E:\\", "E:\\a.txt"},
      // A trail byte 0x5C ("表" is 95 5C) is no separator to strip.
      {"D:\\表\\a.txt", "D:\\表", "E:\\表", "E:\\表\\a.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(destination_path(c.source, c.base, c.destination), c.expected) << c.source;
}

TEST(PathParts, SplitAtTheLastRealSeparator) {
  EXPECT_EQ(folder_of("C:\\dir\\表"), "C:\\dir");
  EXPECT_EQ(file_name_of("C:\\dir\\表"), "表");
  EXPECT_EQ(file_name_of("plain"), "plain");
  EXPECT_EQ(folder_of("plain"), "");
  EXPECT_EQ(drive_root_of("E:\\x\\y"), "E:\\");
}

TEST(MakeFolderChain, MakesEveryMissingFolderAndStopsAtAFileInTheWay) {
  testing::TempFolder temp;
  auto& fs = platform::system_file_system();
  EXPECT_EQ(make_folder_chain(fs, temp / "a\\表\\c"), 1);
  EXPECT_TRUE(temp.exists("a\\表\\c"));
  EXPECT_EQ(make_folder_chain(fs, temp / "a\\表\\c\\"), 1);  // already there
  temp.write_file("file", "x");
  EXPECT_EQ(make_folder_chain(fs, temp / "file\\below"), 0);
  EXPECT_FALSE(temp.exists("file\\below"));
}

TEST(FreeSpace, IsMinusOneWhenTheSystemCannotTell) {
  auto& fs = platform::system_file_system();
  platform::Path temp;
  ASSERT_TRUE(fs.temp_folder(temp));
  EXPECT_GT(free_space(fs, drive_root_of(temp)), 0.0);
  EXPECT_EQ(free_space(fs, "Q:\\"), -1.0);
}

}  // namespace
}  // namespace kestrove::conversion
