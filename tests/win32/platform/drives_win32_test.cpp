// Drive types and the error mode around drive probes, on Windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <windows.h>

#include "platform/drives.h"

namespace kestrove::platform {
namespace {

TEST(DrivesWin32, QuietDriveErrorsSetsTheModeAndThenZero) {
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  {
    QuietDriveErrors quiet;
    EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS));
  }
  EXPECT_EQ(GetErrorMode(), 0u);  // back to 0, not to what it was
}

TEST(DrivesWin32, RemovableTestDrive) {
  // The Wine runner maps a folder as the removable drive it names here.
  const char* removable = std::getenv("KESTROVE_TEST_REMOVABLE_E");
  if (removable == nullptr) GTEST_SKIP() << "no removable test drive";
  EXPECT_EQ(drive_type(removable), kDriveRemovable);
  EXPECT_EQ(drive_type("C:\\"), static_cast<unsigned>(DRIVE_FIXED));
}

}  // namespace
}  // namespace kestrove::platform
