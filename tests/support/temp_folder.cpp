#include "support/temp_folder.h"

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <vector>

#include "conversion/file_operations.h"

namespace kestrove::testing {
namespace {

using platform::FileAccess;
using platform::FileCreation;

void remove_tree(platform::FileSystem& fs, const platform::Path& folder) {
  std::vector<platform::DirectoryEntry> entries;
  if (fs.list_directory(folder, entries)) {
    for (const auto& e : entries) {
      const platform::Path p = folder + "\\" + e.name;
      fs.set_attributes(p, platform::attribute::normal);
      if (e.attributes & platform::attribute::directory) remove_tree(fs, p);
      else fs.delete_file(p);
    }
  }
  fs.remove_directory(folder);
}

std::atomic<unsigned> g_counter{0};

}  // namespace

TempFolder::TempFolder() {
  auto& fs = platform::system_file_system();
  platform::Path temp;
  EXPECT_TRUE(fs.temp_folder(temp));
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const unsigned seed = static_cast<unsigned>(std::time(nullptr)) * 7919u + g_counter++ * 104729u + attempt;
    path_ = temp + "kestrove-test-" + conversion::random_hex_text(10, seed);
    if (fs.create_directory(path_)) return;
  }
  ADD_FAILURE() << "cannot make a temporary folder in " << temp;
}

TempFolder::~TempFolder() { remove_tree(platform::system_file_system(), path_); }

void TempFolder::write_file(const std::string& name, const std::string& bytes) const {
  write_whole_file(*this / name, bytes);
}

std::string TempFolder::read_file(const std::string& name) const { return read_whole_file(*this / name); }

bool TempFolder::exists(const std::string& name) const {
  return platform::system_file_system().get_attributes(*this / name) != platform::attribute::invalid;
}

void TempFolder::make_folder(const std::string& name) const {
  EXPECT_TRUE(platform::system_file_system().create_directory(*this / name)) << name;
}

std::string read_whole_file(const platform::Path& path) {
  auto file = platform::system_file_system().open(path, FileAccess::read, FileCreation::open_existing,
                                                  platform::share::read);
  EXPECT_TRUE(file) << "open " << path << " error " << platform::last_error();
  if (!file) return {};
  std::string out;
  char buffer[65536];
  std::uint32_t got = 0;
  while (file->read(buffer, sizeof buffer, got) && got > 0) out.append(buffer, got);
  return out;
}

void write_whole_file(const platform::Path& path, const std::string& bytes) {
  auto file = platform::system_file_system().open(path, FileAccess::write, FileCreation::create_always,
                                                  platform::share::read);
  ASSERT_TRUE(file) << "create " << path << " error " << platform::last_error();
  if (!bytes.empty()) {
    ASSERT_TRUE(file->write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  }
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_value_ = true;
    old_value_ = old;
  }
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

ScopedEnv::~ScopedEnv() {
#ifdef _WIN32
  _putenv_s(name_.c_str(), had_value_ ? old_value_.c_str() : "");
#else
  if (had_value_) setenv(name_.c_str(), old_value_.c_str(), 1);
  else unsetenv(name_.c_str());
#endif
}

}  // namespace kestrove::testing
