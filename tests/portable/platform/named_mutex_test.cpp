// Named mutexes within one process: a second handle of a taken name sees
// "already exists" (as a second CreateMutexA does on Windows), and the name
// is free again when the holder closes its handle.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/named_mutex.h"
#include "platform/random.h"

namespace kestrove::platform {
namespace {

std::string unique_mutex_name(const char* stem) {
  std::uint8_t bytes[6];
  EXPECT_TRUE(secure_random(bytes, sizeof bytes));
  std::string name = stem;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    name += two;
  }
  return name;
}

TEST(NamedMutex, SecondCreatorSeesTheNameUntilTheHolderCloses) {
  const std::string name = unique_mutex_name("KESTROVE_TEST_MUTEX_");
  NamedMutex holder;
  ASSERT_EQ(create_named_mutex(name, holder), MutexCreation::created);
  ASSERT_NE(holder, nullptr);

  NamedMutex second;
  EXPECT_EQ(create_named_mutex(name, second), MutexCreation::already_exists);
  EXPECT_NE(second, nullptr);  // returned to be closed by the caller
  second.reset();

  // Names are case-sensitive, as object names are on Windows.
  NamedMutex other_case;
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  EXPECT_EQ(create_named_mutex(lower, other_case), MutexCreation::created);

  holder->release();  // released but still open: the name still exists
  EXPECT_EQ(create_named_mutex(name, second), MutexCreation::already_exists);
  second.reset();

  holder.reset();
  NamedMutex third;
  EXPECT_EQ(create_named_mutex(name, third), MutexCreation::created);
}

TEST(NamedMutex, AcquireWaitsForTheHolder) {
  const std::string name = unique_mutex_name("KESTROVE_TEST_WAIT_");
  std::atomic<bool> holding{false};
  std::atomic<bool> closed{false};
  std::thread holder([&] {
    NamedMutex mutex;
    EXPECT_EQ(create_named_mutex(name, mutex), MutexCreation::created);
    holding = true;
    sleep_ms(300);
    closed = true;
    mutex.reset();
  });
  while (!holding) sleep_ms(5);
  NamedMutex mine = acquire_named_mutex(name);
  EXPECT_TRUE(closed);
  EXPECT_NE(mine, nullptr);
  holder.join();
}

}  // namespace
}  // namespace kestrove::platform
