#pragma once
// Small helpers of the POSIX platform tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/drive_map.h"
#include "support/temp_folder.h"

namespace kestrove::platform::posix::test {

// The native path of a Windows-form path.
inline std::string native(const Path& path) {
  std::string out;
  ErrorCode error = 0;
  EXPECT_TRUE(to_native_path(path, out, error)) << path << " error " << error;
  return out;
}

// Removes an environment variable for the life of the object.
class ScopedUnset {
 public:
  explicit ScopedUnset(const char* name) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::unsetenv(name);
  }
  ~ScopedUnset() {
    if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
  }
  ScopedUnset(const ScopedUnset&) = delete;
  ScopedUnset& operator=(const ScopedUnset&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// Runs `work` in `count` child processes at once; true when every child
// returned 0.
template <typename Work>
bool run_in_children(int count, Work work) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(work(i));
    if (pid < 0) return false;
    children.push_back(pid);
  }
  bool all_fine = true;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    all_fine = all_fine && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return all_fine;
}

}  // namespace kestrove::platform::posix::test
