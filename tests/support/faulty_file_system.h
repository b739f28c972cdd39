#pragma once
// A file layer for tests that wraps the system one and fails chosen calls:
// the Nth call of an operation on a matching path (the path of the open
// file for read, write, seek...) fails with a chosen Win32 error, once or
// from then on. It can also report extra attributes (hidden, system, which
// POSIX has no notion of) and a chosen free space, and it keeps a log of the
// calls that change the disk.
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace kestrove::testing {

enum class FsOp {
  open,
  read,
  write,
  seek,
  size,
  get_times,
  set_times,
  get_attributes,
  set_attributes,
  delete_file,
  move_file,
  replace_file,
  create_directory,
  remove_directory,
  find_entry,
  list_directory,
  free_space,
};

enum class Match { contains, ends_with };

struct Fault {
  FsOp op = FsOp::open;
  std::string path_part;  // the call matches when its path contains this ("" matches all);
                          // a move matches on either of its two paths
  int nth = 1;            // the first matching call that fails (from 1)
  platform::ErrorCode error = platform::error::access_denied;  // a replace failing with 1177
                                                                // removes the target first, as
                                                                // ReplaceFileA leaves it
  int times = 1;          // how many matching calls fail from the nth on; 0: all of them
  Match match = Match::contains;
};

struct LoggedCall {
  FsOp op;
  std::string path;
  std::string to;  // move target
};

class FaultyFileSystem final : public platform::FileSystem {
 public:
  explicit FaultyFileSystem(platform::FileSystem& inner = platform::system_file_system()) : inner_(inner) {}

  void add_fault(const Fault& fault) { faults_.push_back({fault, 0}); }
  // Attributes reported in addition to the real ones, for one path.
  void add_attributes(const platform::Path& path, std::uint32_t bits) { extra_attributes_[path] |= bits; }
  // The free space reported for every root (nullopt: the real one).
  void set_free_space(std::optional<std::uint64_t> bytes) { free_space_ = bytes; }
  // The free space of the next calls, one value each, before the above.
  void script_free_space(std::initializer_list<std::uint64_t> answers) {
    free_space_script_.insert(free_space_script_.end(), answers);
  }
  int free_space_calls() const { return free_space_calls_; }

  // Delete, move, replace, create_directory and remove_directory calls that succeeded.
  const std::vector<LoggedCall>& changes() const { return changes_; }

  // Called by the files this layer opened; true when the call must fail
  // (the error is set).
  bool should_fail(FsOp op, const std::string& path, const std::string& other_path = std::string());
  void log_change(FsOp op, const std::string& path, const std::string& to = std::string());

  platform::File open(const platform::Path& path, platform::FileAccess access, platform::FileCreation creation,
                      unsigned share_mode) override;
  std::uint32_t get_attributes(const platform::Path& path) override;
  bool set_attributes(const platform::Path& path, std::uint32_t attributes) override;
  bool delete_file(const platform::Path& path) override;
  bool move_file(const platform::Path& from, const platform::Path& to) override;
  bool replace_file(const platform::Path& replacement, const platform::Path& target) override;
  bool create_directory(const platform::Path& path) override;
  bool remove_directory(const platform::Path& path) override;
  bool find_entry(const platform::Path& path, platform::DirectoryEntry& entry) override;
  bool list_directory(const platform::Path& folder, std::vector<platform::DirectoryEntry>& entries) override;
  bool free_space(const platform::Path& folder, std::uint64_t& bytes_free) override;
  bool temp_folder(platform::Path& folder) override { return inner_.temp_folder(folder); }

 private:
  struct ArmedFault {
    Fault fault;
    int seen = 0;
  };
  platform::FileSystem& inner_;
  std::vector<ArmedFault> faults_;
  std::map<platform::Path, std::uint32_t> extra_attributes_;
  std::optional<std::uint64_t> free_space_;
  std::deque<std::uint64_t> free_space_script_;
  int free_space_calls_ = 0;
  std::vector<LoggedCall> changes_;
};

const char* op_name(FsOp op);

}  // namespace kestrove::testing
