#include "support/faulty_file_system.h"

namespace kestrove::testing {
namespace {

class FaultyFile final : public platform::OpenFile {
 public:
  FaultyFile(FaultyFileSystem& owner, platform::File inner, std::string path)
      : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}

  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    got = 0;
    return !owner_.should_fail(FsOp::read, path_) && inner_->read(buffer, size, got);
  }
  bool write(const void* buffer, std::uint32_t size) override {
    return !owner_.should_fail(FsOp::write, path_) && inner_->write(buffer, size);
  }
  bool seek(std::uint64_t position) override {
    return !owner_.should_fail(FsOp::seek, path_) && inner_->seek(position);
  }
  bool size(std::uint64_t& bytes) override { return !owner_.should_fail(FsOp::size, path_) && inner_->size(bytes); }
  bool get_times(platform::FileTimes& times) override {
    return !owner_.should_fail(FsOp::get_times, path_) && inner_->get_times(times);
  }
  bool set_times(const platform::FileTimes& times) override {
    return !owner_.should_fail(FsOp::set_times, path_) && inner_->set_times(times);
  }

 private:
  FaultyFileSystem& owner_;
  platform::File inner_;
  std::string path_;
};

}  // namespace

const char* op_name(FsOp op) {
  switch (op) {
    case FsOp::open: return "open";
    case FsOp::read: return "read";
    case FsOp::write: return "write";
    case FsOp::seek: return "seek";
    case FsOp::size: return "size";
    case FsOp::get_times: return "get_times";
    case FsOp::set_times: return "set_times";
    case FsOp::get_attributes: return "get_attributes";
    case FsOp::set_attributes: return "set_attributes";
    case FsOp::delete_file: return "delete_file";
    case FsOp::move_file: return "move_file";
    case FsOp::replace_file: return "replace_file";
    case FsOp::create_directory: return "create_directory";
    case FsOp::remove_directory: return "remove_directory";
    case FsOp::find_entry: return "find_entry";
    case FsOp::list_directory: return "list_directory";
    case FsOp::free_space: return "free_space";
  }
  return "?";
}

namespace {

bool matches(const Fault& fault, const std::string& path) {
  if (path.empty() && !fault.path_part.empty()) return false;
  if (fault.match == Match::ends_with) {
    return path.size() >= fault.path_part.size() &&
           path.compare(path.size() - fault.path_part.size(), fault.path_part.size(), fault.path_part) == 0;
  }
  return path.find(fault.path_part) != std::string::npos;
}

}  // namespace

bool FaultyFileSystem::should_fail(FsOp op, const std::string& path, const std::string& other_path) {
  for (ArmedFault& armed : faults_) {
    const Fault& f = armed.fault;
    if (f.op != op || !(matches(f, path) || matches(f, other_path))) continue;
    const int call = ++armed.seen;
    if (call >= f.nth && (f.times == 0 || call < f.nth + f.times)) {
      platform::set_last_error(f.error);
      return true;
    }
  }
  return false;
}

void FaultyFileSystem::log_change(FsOp op, const std::string& path, const std::string& to) {
  changes_.push_back({op, path, to});
}

platform::File FaultyFileSystem::open(const platform::Path& path, platform::FileAccess access,
                                      platform::FileCreation creation, unsigned share_mode) {
  if (should_fail(FsOp::open, path)) return nullptr;
  platform::File inner = inner_.open(path, access, creation, share_mode);
  if (!inner) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(inner), path);
}

std::uint32_t FaultyFileSystem::get_attributes(const platform::Path& path) {
  if (should_fail(FsOp::get_attributes, path)) return platform::attribute::invalid;
  const std::uint32_t attributes = inner_.get_attributes(path);
  if (attributes == platform::attribute::invalid) return attributes;
  const auto extra = extra_attributes_.find(path);
  return extra == extra_attributes_.end() ? attributes : attributes | extra->second;
}

bool FaultyFileSystem::set_attributes(const platform::Path& path, std::uint32_t attributes) {
  return !should_fail(FsOp::set_attributes, path) && inner_.set_attributes(path, attributes);
}

bool FaultyFileSystem::delete_file(const platform::Path& path) {
  if (should_fail(FsOp::delete_file, path) || !inner_.delete_file(path)) return false;
  log_change(FsOp::delete_file, path);
  return true;
}

bool FaultyFileSystem::move_file(const platform::Path& from, const platform::Path& to) {
  if (should_fail(FsOp::move_file, from, to) || !inner_.move_file(from, to)) return false;
  log_change(FsOp::move_file, from, to);
  return true;
}

bool FaultyFileSystem::replace_file(const platform::Path& replacement, const platform::Path& target) {
  if (should_fail(FsOp::replace_file, replacement, target)) {
    if (platform::last_error() == platform::error::unable_to_move_replacement_2) {
      inner_.set_attributes(target, platform::attribute::normal);
      inner_.delete_file(target);
      platform::set_last_error(platform::error::unable_to_move_replacement_2);
    }
    return false;
  }
  if (!inner_.replace_file(replacement, target)) return false;
  log_change(FsOp::replace_file, replacement, target);
  return true;
}

bool FaultyFileSystem::create_directory(const platform::Path& path) {
  if (should_fail(FsOp::create_directory, path) || !inner_.create_directory(path)) return false;
  log_change(FsOp::create_directory, path);
  return true;
}

bool FaultyFileSystem::remove_directory(const platform::Path& path) {
  if (should_fail(FsOp::remove_directory, path) || !inner_.remove_directory(path)) return false;
  log_change(FsOp::remove_directory, path);
  return true;
}

bool FaultyFileSystem::find_entry(const platform::Path& path, platform::DirectoryEntry& entry) {
  if (should_fail(FsOp::find_entry, path) || !inner_.find_entry(path, entry)) return false;
  const auto extra = extra_attributes_.find(path);
  if (extra != extra_attributes_.end()) entry.attributes |= extra->second;
  return true;
}

bool FaultyFileSystem::list_directory(const platform::Path& folder, std::vector<platform::DirectoryEntry>& entries) {
  if (should_fail(FsOp::list_directory, folder) || !inner_.list_directory(folder, entries)) return false;
  for (platform::DirectoryEntry& entry : entries) {
    const auto extra = extra_attributes_.find(folder + "\\" + entry.name);
    if (extra != extra_attributes_.end()) entry.attributes |= extra->second;
  }
  return true;
}

bool FaultyFileSystem::free_space(const platform::Path& folder, std::uint64_t& bytes_free) {
  ++free_space_calls_;
  if (should_fail(FsOp::free_space, folder)) return false;
  if (!free_space_script_.empty()) {
    bytes_free = free_space_script_.front();
    free_space_script_.pop_front();
    return true;
  }
  if (free_space_) {
    bytes_free = *free_space_;
    return true;
  }
  return inner_.free_space(folder, bytes_free);
}

}  // namespace kestrove::testing
