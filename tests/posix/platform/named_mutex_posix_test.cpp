// Named mutexes between processes: another process's hold is seen, and the
// name is free again when the holder dies without closing anything.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/named_mutex.h"
#include "platform/random.h"
#include "posix/platform/posix_test_support.h"

namespace kestrove::platform {
namespace {

std::string unique_name() {
  std::uint32_t n = 0;
  EXPECT_TRUE(secure_random(reinterpret_cast<std::uint8_t*>(&n), sizeof n));
  char name[64];
  std::snprintf(name, sizeof name, "KESTROVE_TEST_PROCESS_%08X", n);
  return name;
}

TEST(NamedMutexProcesses, AHolderThatDiesFreesTheName) {
  const std::string name = unique_name();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedMutex mutex;
    const char answer = create_named_mutex(name, mutex) == MutexCreation::created ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
    for (;;) ::pause();  // holds until killed
  }
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(answer, 'y');

  NamedMutex mine;
  EXPECT_EQ(create_named_mutex(name, mine), MutexCreation::already_exists);
  mine.reset();

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(create_named_mutex(name, mine), MutexCreation::created);
}

TEST(NamedMutexProcesses, NamesWithAnyCharacterAreKeptApart) {
  // Object names may hold separators and CP932 text; each is a name of its own.
  const std::string base = unique_name();
  const std::string names[] = {base + "/x", base + "%2Fx", base + "\\x", base + "表", base + std::string(300, 'L'),
                               base + std::string(300, 'L') + "2"};
  std::vector<NamedMutex> held;
  for (const std::string& name : names) {
    NamedMutex mutex;
    EXPECT_EQ(create_named_mutex(name, mutex), MutexCreation::created) << name.size();
    held.push_back(std::move(mutex));
  }
  for (const std::string& name : names) {
    NamedMutex mutex;
    EXPECT_EQ(create_named_mutex(name, mutex), MutexCreation::already_exists) << name.size();
  }
}


TEST(NamedMutexProcesses, LockFilesLiveInThePrivateRuntimeFolderWhileHeld) {
  kestrove::testing::TempFolder runtime;
  const std::string folder = posix::test::native(runtime.path());
  kestrove::testing::ScopedEnv env("XDG_RUNTIME_DIR", folder);
  const std::string name = unique_name();
  const std::string file = folder + "/kestrove/mutex-" + name;
  struct stat st {};

  NamedMutex holder, other;
  ASSERT_EQ(create_named_mutex(name, holder), MutexCreation::created);
  EXPECT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(create_named_mutex(name, other), MutexCreation::already_exists);
  other.reset();  // a handle that does not hold the name leaves the file alone
  EXPECT_EQ(::stat(file.c_str(), &st), 0);
  holder.reset();
  EXPECT_NE(::stat(file.c_str(), &st), 0) << "the holder removes its file";
  EXPECT_EQ(create_named_mutex(name, holder), MutexCreation::created);
  holder.reset();

  // A runtime folder that others may write to is not used.
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  ASSERT_EQ(create_named_mutex(name, holder), MutexCreation::created);
  EXPECT_NE(::stat(file.c_str(), &st), 0);
}

TEST(NamedMutexProcesses, OneHolderAtATimeAcrossProcesses) {
  // Each child adds to a counter file with a read, a pause and a write: any
  // overlap of two holders loses an increment.
  kestrove::testing::TempFolder folder;
  const std::string counter = posix::test::native(folder / "counter");
  folder.write_file("counter", "0");
  const std::string name = unique_name();
  constexpr int kProcesses = 4, kRounds = 8;
  const bool fine = posix::test::run_in_children(kProcesses, [&](int) {
    for (int round = 0; round < kRounds; ++round) {
      NamedMutex held = acquire_named_mutex(name);
      if (!held) return 1;
      FILE* in = std::fopen(counter.c_str(), "r");
      int n = -1;
      if (in == nullptr || std::fscanf(in, "%d", &n) != 1) return 2;
      std::fclose(in);
      sleep_ms(2);
      FILE* out = std::fopen(counter.c_str(), "w");
      if (out == nullptr) return 3;
      std::fprintf(out, "%d", n + 1);
      std::fclose(out);
    }
    return 0;
  });
  EXPECT_TRUE(fine);
  EXPECT_EQ(folder.read_file("counter"), std::to_string(kProcesses * kRounds));
}

}  // namespace
}  // namespace kestrove::platform
