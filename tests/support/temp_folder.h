#pragma once
// A fresh folder per test, removed with its content afterwards. Paths are
// given in the program's Windows form (CP932) and natively.
#include <string>

#include "platform/file_system.h"

namespace kestrove::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Windows-form path of the folder, without the final "\".
  const platform::Path& path() const { return path_; }
  // Windows-form path of `name` inside it (`name` in CP932, may hold "\").
  platform::Path operator/(const std::string& name) const { return path_ + "\\" + name; }

  // Small file helpers over the system file layer.
  void write_file(const std::string& name, const std::string& bytes) const;
  std::string read_file(const std::string& name) const;
  bool exists(const std::string& name) const;
  void make_folder(const std::string& name) const;

 private:
  platform::Path path_;
};

// Reads or writes a whole file at a Windows-form path; fails the test on error.
std::string read_whole_file(const platform::Path& path);
void write_whole_file(const platform::Path& path, const std::string& bytes);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_value_ = false;
  std::string old_value_;
};

}  // namespace kestrove::testing
