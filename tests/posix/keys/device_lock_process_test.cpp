// Two processes that read, change and write the settings file of one key
// device at the same time are serialised by the device lock: no update is
// lost although each waits between its read and its write.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "keys/device_lock.h"
#include "keys/settings_file.h"
#include "platform/named_mutex.h"
#include "portable/keys/key_test_world.h"

namespace kestrove::testing {
namespace {

constexpr int kRounds = 6;

void count_up(KeyTestWorld& world) {
  for (int i = 0; i < kRounds; ++i) {
    keys::with_device_lock([&](const keys::DeviceLock&) {
      const std::string path = keys::settings_path("E:\\");
      std::string value;
      world.services.profile.get_string("ACCESS", "COUNT", "0", value, 32, path);
      platform::sleep_ms(15);  // another process would step in here
      world.services.profile.write_string("ACCESS", "COUNT", std::to_string(std::stoi(value) + 1).c_str(), path);
      return 0;
    });
  }
}

TEST(DeviceLock, SerialisesTwoProcessesUsingOneDevice) {
  KeyTestWorld world;
  world.drives.add('E', DriveKind::removable);
  world.write_settings('E', "[ACCESS]\r\nCOUNT=0\r\n");

  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    count_up(world);
    ::_exit(0);
  }
  count_up(world);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::string value;
  world.services.profile.get_string("ACCESS", "COUNT", "", value, 32, keys::settings_path("E:\\"));
  EXPECT_EQ(value, std::to_string(2 * kRounds));
}

TEST(DeviceLock, WaitsWhileAnotherProcessHoldsIt) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    keys::with_device_lock([&](const keys::DeviceLock&) {
      (void)!::write(ready[1], "x", 1);
      platform::sleep_ms(300);
      return 0;
    });
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  const auto start = std::chrono::steady_clock::now();
  keys::with_device_lock([](const keys::DeviceLock&) { return 0; });
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace kestrove::testing
