#include "key_test_world.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "conversion/file_operations.h"
#include "keys/device_lock.h"
#include "keys/key_device_setup.h"
#include "keys/key_scheme.h"
#include "keys/registry_state.h"
#include "keys/triplets.h"
#include "support/private_registry_file.h"

namespace kestrove::testing {
namespace {

using platform::ErrorCode;
using platform::RegistryStatus;

platform::FileSystem& real_files() { return platform::system_file_system(); }

bool fail_with(ErrorCode error) {
  platform::set_last_error(error);
  return false;
}

// A file on a full drive: every write fails.
class FullDiskFile : public platform::OpenFile {
 public:
  explicit FullDiskFile(platform::File inner) : inner_(std::move(inner)) {}
  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override { return inner_->read(buffer, size, got); }
  bool write(const void*, std::uint32_t) override { return fail_with(platform::error::disk_full); }
  bool seek(std::uint64_t position) override { return inner_->seek(position); }
  bool size(std::uint64_t& bytes) override { return inner_->size(bytes); }
  bool get_times(platform::FileTimes& times) override { return inner_->get_times(times); }
  bool set_times(const platform::FileTimes& times) override { return inner_->set_times(times); }

 private:
  platform::File inner_;
};

class FaultyKey : public platform::RegistryKey {
 public:
  FaultyKey(platform::RegistryKeyHandle inner, PrivateRegistry& owner) : inner_(std::move(inner)), owner_(owner) {}
  RegistryStatus query_size(const std::string& name, std::uint32_t& size) override {
    if (auto it = owner_.failing_sizes.find(name); it != owner_.failing_sizes.end()) return it->second;
    return inner_->query_size(name, size);
  }
  RegistryStatus query_string(const std::string& name, std::string& value, std::uint32_t buffer_size) override {
    return inner_->query_string(name, value, buffer_size);
  }
  RegistryStatus set_string(const std::string& name, const void* data, std::uint32_t size) override {
    if (auto it = owner_.failing_sets.find(name); it != owner_.failing_sets.end()) return it->second;
    return inner_->set_string(name, data, size);
  }
  RegistryStatus enum_subkey(std::uint32_t index, std::string& name) override {
    return inner_->enum_subkey(index, name);
  }

 private:
  platform::RegistryKeyHandle inner_;
  PrivateRegistry& owner_;
};

bool is_drive_path(const platform::Path& path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

}  // namespace

// ---- MappedDrives ------------------------------------------------------------

void MappedDrives::add(char letter, DriveKind kind) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  drives_[letter] = kind;
  if (kind != DriveKind::no_medium) temp_.make_folder(std::string("drive-") + letter);
}

unsigned MappedDrives::drive_type(const std::string& root) const {
  if (!is_drive_path(root)) return 1;
  const auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
  if (it == drives_.end()) return 1;  // DRIVE_NO_ROOT_DIR
  switch (it->second) {
    case DriveKind::fixed: return 3;
    case DriveKind::remote: return 4;
    case DriveKind::cdrom: return 5;
    default: return 2;
  }
}

platform::Path MappedDrives::host_path(char letter, const std::string& name) const {
  const platform::Path folder = temp_ / (std::string("drive-") + static_cast<char>(std::toupper(letter)));
  return name.empty() ? folder : folder + "\\" + name;
}

const DriveKind* MappedDrives::kind_of(const platform::Path& path) const {
  if (!is_drive_path(path)) return nullptr;
  const auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
  return it == drives_.end() ? nullptr : &it->second;
}

bool MappedDrives::map(const platform::Path& path, platform::Path& mapped, bool writing) const {
  const DriveKind* kind = kind_of(path);
  if (kind == nullptr) {
    mapped = path;
    return true;
  }
  if (*kind == DriveKind::no_medium) return fail_with(platform::error::not_ready);
  if (writing && *kind == DriveKind::write_protected) return fail_with(platform::error::write_protect);
  std::string rest = path.substr(2);
  if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  mapped = host_path(path[0], rest);
  return true;
}

platform::File MappedDrives::open(const platform::Path& path, platform::FileAccess access,
                                  platform::FileCreation creation, unsigned share_mode) {
  const bool writing = access == platform::FileAccess::write || access == platform::FileAccess::read_write ||
                       creation != platform::FileCreation::open_existing;
  platform::Path mapped;
  if (!map(path, mapped, writing)) return nullptr;
  platform::File file = real_files().open(mapped, access, creation, share_mode);
  const DriveKind* kind = kind_of(path);
  if (file && kind != nullptr && *kind == DriveKind::full) return std::make_unique<FullDiskFile>(std::move(file));
  return file;
}

std::uint32_t MappedDrives::get_attributes(const platform::Path& path) {
  platform::Path mapped;
  return map(path, mapped, false) ? real_files().get_attributes(mapped) : platform::attribute::invalid;
}

bool MappedDrives::set_attributes(const platform::Path& path, std::uint32_t attributes) {
  platform::Path mapped;
  return map(path, mapped, true) && real_files().set_attributes(mapped, attributes);
}

bool MappedDrives::delete_file(const platform::Path& path) {
  platform::Path mapped;
  return map(path, mapped, true) && real_files().delete_file(mapped);
}

bool MappedDrives::move_file(const platform::Path& from, const platform::Path& to) {
  platform::Path a, b;
  return map(from, a, true) && map(to, b, true) && real_files().move_file(a, b);
}

bool MappedDrives::replace_file(const platform::Path& replacement, const platform::Path& target) {
  platform::Path a, b;
  return map(replacement, a, true) && map(target, b, true) && real_files().replace_file(a, b);
}

bool MappedDrives::create_directory(const platform::Path& path) {
  platform::Path mapped;
  return map(path, mapped, true) && real_files().create_directory(mapped);
}

bool MappedDrives::remove_directory(const platform::Path& path) {
  platform::Path mapped;
  return map(path, mapped, true) && real_files().remove_directory(mapped);
}

bool MappedDrives::find_entry(const platform::Path& path, platform::DirectoryEntry& entry) {
  platform::Path mapped;
  return map(path, mapped, false) && real_files().find_entry(mapped, entry);
}

bool MappedDrives::list_directory(const platform::Path& folder, std::vector<platform::DirectoryEntry>& entries) {
  platform::Path mapped;
  return map(folder, mapped, false) && real_files().list_directory(mapped, entries);
}

bool MappedDrives::free_space(const platform::Path& folder, std::uint64_t& bytes_free) {
  platform::Path mapped;
  return map(folder, mapped, false) && real_files().free_space(mapped, bytes_free);
}

bool MappedDrives::temp_folder(platform::Path& folder) { return real_files().temp_folder(folder); }

std::uint32_t MappedDrives::get_string(const char* section, const char* key, const char* default_value,
                                       std::string& value, std::uint32_t buffer_size, const platform::Path& file) {
  platform::Path mapped;
  if (!map(file, mapped, false)) mapped = temp_ / "no-such-drive\\none.ini";
  return platform::system_profile().get_string(section, key, default_value, value, buffer_size, mapped);
}

bool MappedDrives::write_string(const char* section, const char* key, const char* value, const platform::Path& file) {
  if (key != nullptr && !failing_profile_key.empty() && failing_profile_key == key) {
    return fail_with(failing_profile_error);
  }
  platform::Path mapped;
  if (!map(file, mapped, section != nullptr)) return false;
  const DriveKind* kind = kind_of(file);
  if (section != nullptr && kind != nullptr && *kind == DriveKind::full) return fail_with(platform::error::disk_full);
  return platform::system_profile().write_string(section, key, value, mapped);
}

// ---- PrivateRegistry ---------------------------------------------------------

PrivateRegistry::PrivateRegistry()
    : base_((use_private_registry_file(), std::string()) + "Software\\KestroveTests\\" +
            conversion::random_hex_text(12, static_cast<std::uint32_t>(std::time(nullptr)) ^
                                                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this)))) {
  platform::RegistryKeyHandle key;
  EXPECT_EQ(platform::system_registry().create_key(platform::RegistryRoot::current_user, base_, key), 0);
}

PrivateRegistry::~PrivateRegistry() {
  auto& real = platform::system_registry();
  for (const std::string& key : {base_ + "\\KAVOR\\QEVLINK", base_ + "\\KAVOR", base_,
                                 std::string("Software\\KestroveTests")}) {
    real.delete_key(platform::RegistryRoot::current_user, key);
  }
}

std::string PrivateRegistry::mapped(const std::string& subkey) const {
  if (subkey == "Software") return base_;
  if (subkey.rfind("Software\\", 0) == 0) return base_ + subkey.substr(8);
  return subkey;
}

platform::RegistryKeyHandle PrivateRegistry::wrap(platform::RegistryKeyHandle key) {
  if (!key) return key;
  return std::make_unique<FaultyKey>(std::move(key), *this);
}

RegistryStatus PrivateRegistry::open_key(platform::RegistryRoot root, const std::string& subkey,
                                         platform::RegistryAccess access, platform::RegistryKeyHandle& key) {
  key.reset();
  if (subkey == "Software" && access != platform::RegistryAccess::read && failing_software_open != 0) {
    return failing_software_open;
  }
  platform::RegistryKeyHandle inner;
  const RegistryStatus status = platform::system_registry().open_key(root, mapped(subkey), access, inner);
  key = wrap(std::move(inner));
  return status;
}

RegistryStatus PrivateRegistry::create_key(platform::RegistryRoot root, const std::string& subkey,
                                           platform::RegistryKeyHandle& key) {
  key.reset();
  if (auto it = failing_creates.find(subkey); it != failing_creates.end()) return it->second;
  platform::RegistryKeyHandle inner;
  const RegistryStatus status = platform::system_registry().create_key(root, mapped(subkey), inner);
  key = wrap(std::move(inner));
  return status;
}

RegistryStatus PrivateRegistry::delete_key(platform::RegistryRoot root, const std::string& subkey) {
  return platform::system_registry().delete_key(root, mapped(subkey));
}

bool PrivateRegistry::read_value(const std::string& name, std::string& value) {
  platform::RegistryKeyHandle key;
  if (platform::system_registry().open_key(platform::RegistryRoot::current_user, mapped(keys::kPcStateKey),
                                           platform::RegistryAccess::read, key) != 0) {
    return false;
  }
  std::uint32_t size = 0;
  return key->query_size(name, size) == 0 && key->query_string(name, value, size) == 0;
}

void PrivateRegistry::write_value(const std::string& name, const std::string& bytes) {
  platform::RegistryKeyHandle key;
  ASSERT_EQ(platform::system_registry().create_key(platform::RegistryRoot::current_user, mapped(keys::kPcStateKey),
                                                   key),
            0);
  ASSERT_EQ(key->set_string(name, bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
}

void PrivateRegistry::remove_pc_state() {
  auto& real = platform::system_registry();
  real.delete_key(platform::RegistryRoot::current_user, mapped(keys::kPcStateKey));
  real.delete_key(platform::RegistryRoot::current_user, mapped(keys::kKavorKey));
}

// ---- KeyTestWorld ------------------------------------------------------------

KeyTestWorld::KeyTestWorld()
    : services{drives, drives, registry, [this](const std::string& root) { return drives.drive_type(root); },
               [this] { return clock; }} {}

void KeyTestWorld::prepare_device(char letter, const std::string& password, const std::string& record_key,
                                  const std::vector<std::string>& groups) {
  const std::string root = std::string(1, letter) + ":\\";
  keys::with_device_lock([&](const keys::DeviceLock& lock) {
    ASSERT_EQ(keys::create_key_device(lock, services, root, password, record_key, true).status,
              keys::SetupStatus::done);
    for (const std::string& name : groups) {
      ASSERT_EQ(keys::add_group(lock, services, root, password, {name, group_key_of(name)}).status,
                keys::SetupStatus::done)
          << name;
    }
  });
}

void KeyTestWorld::give_pc_key(const std::string& record_key, char lock_flag) {
  keys::KeyState state;
  state.record_key = record_key;
  state.lock_flag = lock_flag;
  ScriptedMessageBox quiet;
  ASSERT_EQ(keys::write_pc_key(state, services, quiet), 0);
}

std::string KeyTestWorld::settings_text(char letter) const {
  return read_whole_file(drives.host_path(letter, "qevlink.ini"));
}

void KeyTestWorld::write_settings(char letter, const std::string& text) const {
  const platform::Path path = drives.host_path(letter, "qevlink.ini");
  platform::system_file_system().set_attributes(path, platform::attribute::normal);
  write_whole_file(path, text);
}

std::vector<std::string> KeyTestWorld::files_on(char letter) const {
  std::vector<platform::DirectoryEntry> entries;
  platform::system_file_system().list_directory(drives.host_path(letter), entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

std::string group_key_of(const std::string& name) {
  std::uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  char key[16];
  std::snprintf(key, sizeof key, "G%07X", h & 0xFFFFFFFu);
  return key;
}

std::string deciphered(const std::string& key, const std::string& triplet_digits) {
  keys::Record cipher{};
  keys::Record plain{};
  keys::decode_triplets(triplet_digits, cipher.size(), cipher.data());
  EXPECT_TRUE(keys::decipher_record(key, cipher, plain));
  return keys::record_text(plain);
}

}  // namespace kestrove::testing
