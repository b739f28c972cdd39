// The registry as a REGEDIT4 text file (see registry_file.h). Every call reads
// the file afresh, so other processes' writes are seen at once; every write
// takes an flock on "<file>.lock" beside it, re-reads the file, applies its
// change and replaces the file atomically, so that two processes writing at
// the same time do not lose each other's changes.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_codes.h"
#include "platform/posix/atomic_replace.h"
#include "platform/posix/profile_text.h"
#include "platform/posix/registry_file.h"
#include "platform/registry.h"
#include "text/cp932.h"

namespace kestrove::platform {
namespace {

using posix::RegistryDocument;
using posix::RegistryKeyRecord;
using posix::RegistryValueRecord;
using KeyPath = std::vector<std::string>;

constexpr RegistryStatus kSuccess = 0;
constexpr RegistryStatus kNotFound = 2;
constexpr RegistryStatus kAccessDenied = 5;
constexpr RegistryStatus kNotEnoughMemory = 8;
constexpr RegistryStatus kInvalidParameter = 87;
constexpr RegistryStatus kMoreData = 234;
constexpr RegistryStatus kNoMoreItems = 259;
constexpr RegistryStatus kBadDatabase = 1009;
constexpr RegistryStatus kKeyDeleted = 1018;

constexpr std::size_t kMaxRegistrySize = 64u << 20;

std::string home_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return "/tmp";
}

std::string registry_file() {
  if (const char* file = std::getenv("KESTROVE_REGISTRY"); file != nullptr && *file != '\0') return file;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string folder = (config != nullptr && config[0] == '/') ? config : home_folder() + "/.config";
  return folder + "/kestrove/registry.reg";
}

const char* root_name(RegistryRoot root) {
  return root == RegistryRoot::current_user ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT";
}

bool starts_with(const KeyPath& path, const KeyPath& prefix) {
  if (path.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (!posix::same_name(path[i], prefix[i])) return false;
  }
  return true;
}

// Keys that exist on every Windows system whatever the file holds.
bool is_well_known(const KeyPath& path) {
  return path.size() == 1 || (path.size() == 2 && posix::same_name(path[0], "HKEY_CURRENT_USER") &&
                              posix::same_name(path[1], "Software"));
}

RegistryKeyRecord* find_record(RegistryDocument& document, const KeyPath& path) {
  for (RegistryKeyRecord& key : document.keys) {
    if (key.path.size() == path.size() && starts_with(key.path, path)) return &key;
  }
  return nullptr;
}

// A key exists when it is listed, when a key below it is (regedit creates the
// parents of what it imports), or when every system has it.
bool key_exists(const RegistryDocument& document, const KeyPath& path) {
  if (is_well_known(path)) return true;
  return std::any_of(document.keys.begin(), document.keys.end(),
                     [&](const RegistryKeyRecord& key) { return starts_with(key.path, path); });
}

// Sub-key names in the registry's order: without regard to case.
std::vector<std::string> subkeys(const RegistryDocument& document, const KeyPath& path) {
  std::vector<std::string> names;
  auto add = [&](const std::string& name) {
    for (const std::string& known : names) {
      if (posix::same_name(known, name)) return;
    }
    names.push_back(name);
  };
  if (path.size() == 1 && posix::same_name(path[0], "HKEY_CURRENT_USER")) add("Software");
  for (const RegistryKeyRecord& key : document.keys) {
    if (key.path.size() > path.size() && starts_with(key.path, path)) add(key.path[path.size()]);
  }
  auto upper = [](std::string s) {
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
  };
  std::sort(names.begin(), names.end(),
            [&](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
  return names;
}

RegistryStatus status_from_errno(int err) {
  switch (err) {
    case ENOMEM: return kNotEnoughMemory;
    case EFBIG: return kBadDatabase;
    case ENOSPC:
    case EDQUOT: return error::disk_full;
    default: return kAccessDenied;  // the file or its folder cannot be written
  }
}

RegistryStatus load(const std::string& file, RegistryDocument& document) {
  std::string bytes;
  const int err = posix::read_small_file(file, bytes, kMaxRegistrySize);
  if (err == ENOENT || err == ENOTDIR) {
    document = {};
    return kSuccess;
  }
  if (err == EFBIG) return kBadDatabase;
  if (err != 0) return kAccessDenied;
  document = posix::parse_registry_text(bytes);
  return kSuccess;
}

// Whether the file may be written: a file without write bits is read-only,
// for root as well, as in the file layer.
bool writable(const std::string& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && (st.st_mode & 0222) != 0;
}

int make_folders(const std::string& file) {
  for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

// Runs `change` on the current content with the write lock held and stores
// the result when the change reports success and that something changed.
RegistryStatus modify(const std::function<RegistryStatus(RegistryDocument&, bool&)>& change) {
  const std::string file = registry_file();
  if (const int err = make_folders(file); err != 0) return status_from_errno(err);
  const std::string lock_name = file + ".lock";
  const int lock = ::open(lock_name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return status_from_errno(errno);
  while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  RegistryStatus status = writable(file) ? kSuccess : kAccessDenied;
  RegistryDocument document;
  if (status == kSuccess) status = load(file, document);
  bool changed = false;
  if (status == kSuccess) status = change(document, changed);
  if (status == kSuccess && changed) {
    std::string text;
    struct stat st {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    if (!posix::format_registry_text(document, text)) status = kInvalidParameter;
    else if (const int err = posix::replace_file_atomically(file, text, exists ? &st : nullptr, 0600); err != 0)
      status = status_from_errno(err);
  }
  ::close(lock);
  return status;
}

class PosixRegistryKey final : public RegistryKey {
 public:
  PosixRegistryKey(KeyPath path, RegistryAccess access) : path_(std::move(path)), access_(access) {}

  RegistryStatus query_size(const std::string& name, std::uint32_t& size) override {
    const RegistryValueRecord* value = nullptr;
    const RegistryStatus status = find_value(name, value);
    if (status == kSuccess) size = static_cast<std::uint32_t>(value->data.size());
    return status;
  }

  RegistryStatus query_string(const std::string& name, std::string& value, std::uint32_t buffer_size) override {
    const RegistryValueRecord* found = nullptr;
    const RegistryStatus status = find_value(name, found);
    if (status != kSuccess) return status;
    if (found->data.size() > buffer_size) return kMoreData;
    value = found->data;
    return kSuccess;
  }

  RegistryStatus set_string(const std::string& name, const void* data, std::uint32_t size) override {
    if (access_ == RegistryAccess::read) return kAccessDenied;
    if (data == nullptr && size != 0) return kInvalidParameter;
    const std::string bytes(static_cast<const char*>(data), size);
    return modify([&](RegistryDocument& document, bool& changed) {
      if (!key_exists(document, path_)) return kKeyDeleted;
      RegistryKeyRecord* key = find_record(document, path_);
      if (key == nullptr) {
        document.keys.push_back({path_, {}});
        key = &document.keys.back();
      }
      for (RegistryValueRecord& value : key->values) {
        if (!posix::same_name(value.name, name)) continue;
        changed = value.type != posix::kRegSz || value.data != bytes;
        value.type = posix::kRegSz;
        value.data = bytes;
        return kSuccess;
      }
      key->values.push_back({name, posix::kRegSz, bytes});
      changed = true;
      return kSuccess;
    });
  }

  RegistryStatus enum_subkey(std::uint32_t index, std::string& name) override {
    if (access_ == RegistryAccess::write) return kAccessDenied;
    RegistryDocument document;
    if (const RegistryStatus status = load(registry_file(), document); status != kSuccess) return status;
    if (!key_exists(document, path_)) return kKeyDeleted;
    const std::vector<std::string> names = subkeys(document, path_);
    if (index >= names.size()) return kNoMoreItems;
    name = names[index];
    return kSuccess;
  }

 private:
  RegistryStatus find_value(const std::string& name, const RegistryValueRecord*& found) {
    if (access_ == RegistryAccess::write) return kAccessDenied;
    if (const RegistryStatus status = load(registry_file(), document_); status != kSuccess) return status;
    if (!key_exists(document_, path_)) return kKeyDeleted;
    if (RegistryKeyRecord* key = find_record(document_, path_)) {
      for (const RegistryValueRecord& value : key->values) {
        if (posix::same_name(value.name, name)) {
          found = &value;
          return kSuccess;
        }
      }
    }
    return kNotFound;
  }

  KeyPath path_;
  RegistryAccess access_;
  RegistryDocument document_;  // the content last read, which `find_value` points into
};

class PosixRegistry final : public Registry {
 public:
  RegistryStatus open_key(RegistryRoot root, const std::string& subkey, RegistryAccess access,
                          RegistryKeyHandle& key) override {
    KeyPath path;
    if (!full_path(root, subkey, path)) return kInvalidParameter;
    const std::string file = registry_file();
    RegistryDocument document;
    if (const RegistryStatus status = load(file, document); status != kSuccess) return status;
    if (!key_exists(document, path)) return kNotFound;
    if (access != RegistryAccess::read && !writable(file)) return kAccessDenied;
    key = std::make_unique<PosixRegistryKey>(std::move(path), access);
    return kSuccess;
  }

  RegistryStatus create_key(RegistryRoot root, const std::string& subkey, RegistryKeyHandle& key) override {
    KeyPath path;
    if (!full_path(root, subkey, path)) return kInvalidParameter;
    const RegistryStatus status = modify([&](RegistryDocument& document, bool& changed) {
      // Each missing level is listed, as RegCreateKeyExA creates the parents.
      for (std::size_t depth = 2; depth <= path.size(); ++depth) {
        const KeyPath level(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(depth));
        if (key_exists(document, level)) continue;
        document.keys.push_back({level, {}});
        changed = true;
      }
      return kSuccess;
    });
    if (status == kSuccess) key = std::make_unique<PosixRegistryKey>(std::move(path), RegistryAccess::read_write);
    return status;
  }

  RegistryStatus delete_key(RegistryRoot root, const std::string& subkey) override {
    KeyPath path;
    if (!full_path(root, subkey, path)) return kInvalidParameter;
    if (is_well_known(path)) return kAccessDenied;
    return modify([&](RegistryDocument& document, bool& changed) {
      if (!key_exists(document, path)) return kNotFound;
      if (!subkeys(document, path).empty()) return kAccessDenied;
      auto& keys = document.keys;
      keys.erase(std::remove_if(keys.begin(), keys.end(),
                                [&](const RegistryKeyRecord& k) {
                                  return k.path.size() == path.size() && starts_with(k.path, path);
                                }),
                 keys.end());
      changed = true;
      return kSuccess;
    });
  }

 private:
  // The root's name followed by the components of `subkey` (one trailing
  // backslash is allowed, as Windows allows it).
  static bool full_path(RegistryRoot root, std::string subkey, KeyPath& path) {
    if (text::ends_with_char(subkey, '\\')) subkey.pop_back();
    if (!posix::split_key_path(subkey, path)) return false;
    path.insert(path.begin(), root_name(root));
    return true;
  }
};

}  // namespace

Registry& system_registry() {
  static PosixRegistry instance;
  return instance;
}

}  // namespace kestrove::platform
