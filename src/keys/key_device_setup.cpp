#include "keys/key_device_setup.h"

#include <cstdint>
#include <ctime>

#include "conversion/file_operations.h"
#include "keys/key_scheme.h"
#include "keys/settings_file.h"
#include "keys/triplets.h"
#include "platform/file_contents.h"
#include "text/cp932.h"

namespace kestrove::keys {
namespace {

constexpr std::size_t kGroupNameBytes = 30;
constexpr const char* kVersionText = "1.00";

SetupOutcome failed_write() { return {SetupStatus::write_failed, platform::last_error()}; }

std::string digits_of(const Record& record) { return encode_triplets(record.data(), record.size()); }

// No settings file comes near this; a larger file is no settings file.
constexpr std::uint64_t kLargestSettingsFile = 1u << 20;


// A name beside `stem` that no file takes yet: the stem, 8 random
// characters and the extension.
std::string side_name(const std::string& stem, const char* extension, std::uint32_t attempt) {
  return stem + conversion::random_hex_text(8, static_cast<std::uint32_t>(std::time(nullptr)) * 31u + attempt) +
         extension;
}

// Creates a new file of such a name (never an existing one); false with the
// error set.
platform::File create_side_file(platform::FileSystem& files, const std::string& stem, std::string& name) {
  for (std::uint32_t attempt = 0; attempt < 1000; ++attempt) {
    name = side_name(stem, ".tmp", attempt);
    platform::File file =
        files.open(name, platform::FileAccess::write, platform::FileCreation::create_new, platform::share::none);
    if (file) return file;
    if (platform::last_error() != platform::error::file_exists) break;
  }
  name.clear();
  return nullptr;
}

// The settings file being rewritten as one unit (SettingsCopy): a copy
// beside the current file, written with the profile functions, which takes
// its place at commit() and is removed if never committed.
class SettingsRewrite {
 public:
  SettingsRewrite(const DeviceLock& lock, const KeyServices& services, const std::string& root)
      : services_(services), target_(settings_path(root)), copy_(lock, services, root) {}

  // Creates the new file, empty or with the current file's content.
  bool begin(bool copy_current) { return copy_current ? copy_.begin_from_current(false) : copy_.begin_with(""); }

  // Creates the new file with this content.
  bool begin_with(const std::string& content) { return copy_.begin_with(content); }

  const std::string& path() const { return copy_.path(); }

  bool write(const char* section, const char* key, const std::string& value) {
    return services_.profile.write_string(section, key, value.c_str(), copy_.path());
  }

  // Puts the new file in place of the current one in one replace; the
  // current file stays as it was when that fails.
  bool commit() { return restore_protection(copy_.commit()); }

 private:
  // Read-only and hidden, as the program leaves the file; `ok` passes on
  // the outcome so far, keeping its error.
  bool restore_protection(bool ok) {
    const platform::ErrorCode error = platform::last_error();
    const bool protected_now = services_.files.set_attributes(
        target_, platform::attribute::read_only | platform::attribute::hidden);
    if (!ok) {
      platform::set_last_error(error);
      return false;
    }
    return protected_now;
  }

  const KeyServices& services_;
  std::string target_;
  SettingsCopy copy_;
};

bool write_key_records(SettingsRewrite& rewrite, const std::string& password, const std::string& record_key) {
  const std::string personal_key = personal_key_string(password);
  Record keydata{};
  Record regdata{};
  if (!encipher_record(record_key, record_of(personal_key), keydata) ||
      !encipher_record(personal_key, record_of(record_key), regdata)) {
    platform::set_last_error(platform::error::invalid_parameter);
    return false;
  }
  return rewrite.write("QEVLINK", "KEYDATA", digits_of(keydata)) &&
         rewrite.write("QEVLINK", "REGDATA", digits_of(regdata));
}

std::string value_of(const KeyServices& services, const std::string& path, const char* section,
                     const std::string& key) {
  std::string value;
  if (services.profile.get_string(section, key.c_str(), "", value, 512, path) == 0) value.clear();
  return value;
}

// Groups 1, 2, ... while all three records are present, whatever the room
// that GROUP_NUM gives: a new group never overwrites an existing one.
std::vector<std::string> complete_group_names(const KeyServices& services, const std::string& path) {
  std::vector<std::string> names;
  for (std::size_t i = 1;; ++i) {
    const std::string n = std::to_string(i);
    const std::string name = value_of(services, path, "GROUP", "GROUPID" + n);
    if (name.empty() || value_of(services, path, "GROUP", "OWNER" + n).empty() ||
        value_of(services, path, "GROUP", "KEYDATA" + n).empty()) {
      break;
    }
    names.push_back(name.substr(0, kGroupNameBytes));
  }
  return names;
}

// KEYDATA and REGDATA as the profile functions read them: no_key_data when
// either is missing, damaged when either is not 24 triplet digits.
struct KeyRecords {
  Record keydata{};
  Record regdata{};
};

SetupStatus read_records(const KeyServices& services, const std::string& path, KeyRecords& records) {
  const std::string keydata = value_of(services, path, "QEVLINK", "KEYDATA");
  const std::string regdata = value_of(services, path, "QEVLINK", "REGDATA");
  if (keydata.empty() || regdata.empty()) return SetupStatus::no_key_data;
  const bool keydata_whole = decode_triplets(keydata, records.keydata.size(), records.keydata.data());
  const bool regdata_whole = decode_triplets(regdata, records.regdata.size(), records.regdata.data());
  return keydata_whole && regdata_whole ? SetupStatus::done : SetupStatus::damaged;
}

// The record key that REGDATA gives under the personal key, when KEYDATA
// holds that personal key under it.
bool opens_with_personal_key(const KeyRecords& records, const std::string& personal_key, std::string& record_key) {
  Record opened{};
  if (!decipher_record(personal_key, records.regdata, opened)) return false;
  const std::string candidate = record_text(opened);
  if (!decipher_record(candidate, records.keydata, opened) || record_text(opened) != personal_key) return false;
  record_key = candidate;
  return true;
}

// The personal key that KEYDATA gives under the record key, when it carries
// the personal-key prefix (the device is this record key's holder's, as the
// program decides it) and REGDATA holds that record key under it.
bool opens_with_record_key(const KeyRecords& records, const std::string& record_key, std::string& personal_key) {
  Record opened{};
  if (!decipher_record(record_key, records.keydata, opened)) return false;
  const std::string candidate = record_text(opened);
  if (!has_personal_key_prefix(candidate)) return false;
  if (!decipher_record(candidate, records.regdata, opened) || record_text(opened) != record_key) return false;
  personal_key = candidate;
  return true;
}

// Groups 1, 2, ... deciphered under the record key, up to the first without
// a name. False when one is not whole: a name without both records, records
// that are not 24 triplet digits, or a key that deciphers to no key text (the
// groups read so far stay in `groups`).
bool read_groups(const KeyServices& services, const std::string& path, const std::string& record_key,
                 std::vector<NewGroup>& groups) {
  groups.clear();
  for (std::size_t i = 1;; ++i) {
    const std::string n = std::to_string(i);
    const std::string name = value_of(services, path, "GROUP", "GROUPID" + n);
    if (name.empty()) return true;
    const std::string owner_digits = value_of(services, path, "GROUP", "OWNER" + n);
    const std::string key_digits = value_of(services, path, "GROUP", "KEYDATA" + n);
    Record owner{};
    Record key{};
    if (!decode_triplets(owner_digits, owner.size(), owner.data()) ||
        !decode_triplets(key_digits, key.size(), key.data())) {
      return false;
    }
    Record plain{};
    if (!decipher_record(record_key, key, plain) || !is_valid_key_text(record_text(plain))) return false;
    groups.push_back({name, record_text(plain)});
  }
}

// The profile functions end every line they write; a file that stops inside
// a line was cut short.
bool ends_with_line_end(const std::string& bytes) {
  return !bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r');
}

// A settings file opened with the password and found whole.
SetupStatus open_settings_file(const KeyServices& services, const std::string& path, const std::string& password,
                               std::string& record_key, std::vector<NewGroup>& groups) {
  KeyRecords records;
  const SetupStatus read = read_records(services, path, records);
  if (read != SetupStatus::done) return read;
  if (!is_valid_password(password) || !opens_with_personal_key(records, personal_key_string(password), record_key)) {
    return SetupStatus::wrong_password;
  }
  return read_groups(services, path, record_key, groups) ? SetupStatus::done : SetupStatus::damaged;
}

bool contains_group(const std::vector<NewGroup>& groups, const std::string& name) {
  for (const NewGroup& g : groups) {
    if (g.name == name) return true;
  }
  return false;
}

// What the device's settings file is now: whether there is one, and its
// bytes when it can be read.
struct DeviceFile {
  bool exists = false;
  bool readable = false;
  std::string bytes;
};

DeviceFile look_at(const KeyServices& services, const std::string& path) {
  DeviceFile file;
  file.exists = services.files.get_attributes(path) != platform::attribute::invalid;
  file.readable =
      file.exists && platform::read_file_contents(services.files, path, file.bytes, kLargestSettingsFile);
  if (!file.readable) file.bytes.clear();
  return file;
}

}  // namespace

bool is_valid_group_name(const std::string& name) {
  if (name.empty() || name.size() > kGroupNameBytes) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (text::is_lead_byte(c)) {
      if (i + 1 == name.size()) return false;  // a lead byte without its trail byte
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) return false;
  }
  const char first = name.front();
  const char last = name.back();
  // The profile functions drop blanks and surrounding quotes from values.
  return first != ' ' && last != ' ' && first != '"' && last != '"' && first != '\'' && last != '\'';
}

SetupOutcome create_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                               const std::string& password, const std::string& record_key, bool replace) {
  recover_settings_file(lock, services, root);
  if (!replace && services.files.get_attributes(settings_path(root)) != platform::attribute::invalid) {
    return {SetupStatus::already_prepared, 0};
  }
  SettingsRewrite rewrite(lock, services, root);
  if (!rewrite.begin(false)) return failed_write();
  const Settings defaults;
  const bool written = write_key_records(rewrite, password, record_key) &&
                       rewrite.write("OPTION", "APPINT_FOLDER", std::to_string(defaults.choose_destination)) &&
                       rewrite.write("OPTION", "OVERWRITECHECK", std::to_string(defaults.confirm_overwrite)) &&
                       rewrite.write("OPTION", "FOLDERALL", std::to_string(defaults.include_subfolders)) &&
                       rewrite.write("OPTION", "FILEDEL", std::to_string(defaults.delete_original)) &&
                       rewrite.write("OPTION", "USEGROUPKEY", std::to_string(defaults.use_group_key)) &&
                       rewrite.write("VERSION", "VERSION", kVersionText) &&
                       rewrite.write("VERSION", "ENCODE_TYPE", "2");
  if (!written || !rewrite.commit()) return failed_write();
  return {};
}

SetupOutcome open_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                             const std::string& password, std::string& record_key) {
  RawKeyRecords raw;
  if (read_key_section(lock, services, root, raw) != 0) return {SetupStatus::no_key_data, 0};
  if (!is_valid_password(password)) return {SetupStatus::wrong_password, 0};
  const std::string personal_key = personal_key_string(password);
  Record opened{};
  if (!decipher_record(personal_key, raw.regdata, opened)) return {SetupStatus::wrong_password, 0};
  const std::string candidate = record_text(opened);
  if (!decipher_record(candidate, raw.keydata, opened) || record_text(opened) != personal_key) {
    return {SetupStatus::wrong_password, 0};
  }
  record_key = candidate;
  return {};
}

SetupOutcome add_group(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                       const std::string& password, const NewGroup& group) {
  std::string record_key;
  const SetupOutcome opened = open_key_device(lock, services, root, password, record_key);
  if (opened.status != SetupStatus::done) return opened;
  const std::vector<std::string> names = complete_group_names(services, settings_path(root));
  for (const std::string& name : names) {
    if (name == group.name) return {SetupStatus::group_exists, 0};
  }
  std::string owner_code;
  if (!random_key_text(owner_code)) return {SetupStatus::no_random, 0};
  Record owner{};
  Record key{};
  if (!encipher_record(record_key, record_of(owner_code), owner) ||
      !encipher_record(record_key, record_of(group.key), key)) {
    return {SetupStatus::write_failed, platform::error::invalid_parameter};
  }
  SettingsRewrite rewrite(lock, services, root);
  if (!rewrite.begin(true)) return failed_write();
  const std::string index = std::to_string(names.size() + 1);
  const bool written = rewrite.write("GROUP", ("GROUPID" + index).c_str(), group.name) &&
                       rewrite.write("GROUP", ("OWNER" + index).c_str(), digits_of(owner)) &&
                       rewrite.write("GROUP", ("KEYDATA" + index).c_str(), digits_of(key)) &&
                       rewrite.write("GROUP", "GROUP_NUM", index);
  if (!written || !rewrite.commit()) return failed_write();
  return {};
}

SetupOutcome change_password(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                             const std::string& old_password, const std::string& new_password) {
  std::string record_key;
  const SetupOutcome opened = open_key_device(lock, services, root, old_password, record_key);
  if (opened.status != SetupStatus::done) return opened;
  SettingsRewrite rewrite(lock, services, root);
  if (!rewrite.begin(true)) return failed_write();
  if (!write_key_records(rewrite, new_password, record_key) || !rewrite.commit()) return failed_write();
  return {};
}

std::vector<std::string> group_names(const DeviceLock& lock, const KeyServices& services, const std::string& root) {
  RawGroupTable table;
  std::vector<std::string> names;
  if (read_group_section(lock, services, root, "", table) != 0) return names;
  for (std::size_t i = 1; i < table.entries.size(); ++i) names.push_back(table.entries[i].name);
  return names;
}

SetupOutcome back_up_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                                const std::string& password, const std::string& backup_path) {
  recover_settings_file(lock, services, root);
  auto& files = services.files;
  if (files.get_attributes(backup_path) != platform::attribute::invalid) return {SetupStatus::file_exists, 0};
  const std::string path = settings_path(root);
  std::string record_key;
  std::vector<NewGroup> groups;
  const SetupStatus opened = open_settings_file(services, path, password, record_key, groups);
  if (opened != SetupStatus::done) return {opened, 0};
  std::string bytes;
  if (!platform::read_file_contents(files, path, bytes, kLargestSettingsFile)) {
    return {SetupStatus::no_key_data, 0};
  }
  if (bytes.size() > kLargestSettingsFile || !ends_with_line_end(bytes)) return {SetupStatus::damaged, 0};

  std::string partial;
  platform::File file = create_side_file(files, backup_path + "~", partial);
  if (!file) return failed_write();
  const bool written = file->write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  const platform::ErrorCode write_error = platform::last_error();
  file.reset();  // closed before it is moved or removed
  if (!written) {
    files.delete_file(partial);
    return {SetupStatus::write_failed, write_error};
  }
  if (!files.move_file(partial, backup_path)) {
    const platform::ErrorCode error = platform::last_error();
    files.delete_file(partial);
    if (error == platform::error::already_exists || error == platform::error::file_exists) {
      return {SetupStatus::file_exists, 0};
    }
    return {SetupStatus::write_failed, error};
  }
  return {};
}

SetupOutcome read_backup(const KeyServices& services, const std::string& path, SettingsBackup& backup) {
  backup = SettingsBackup{};
  backup.path = path;
  const std::uint32_t attributes = services.files.get_attributes(path);
  if (attributes == platform::attribute::invalid) return {SetupStatus::read_failed, platform::last_error()};
  if ((attributes & platform::attribute::directory) != 0) return {SetupStatus::no_key_data, 0};
  if (!platform::read_file_contents(services.files, path, backup.bytes, kLargestSettingsFile)) {
    return {SetupStatus::read_failed, platform::last_error()};
  }
  if (backup.bytes.size() > kLargestSettingsFile) return {SetupStatus::no_key_data, 0};
  KeyRecords records;
  const SetupStatus read = read_records(services, path, records);
  if (read != SetupStatus::done) return {read, 0};
  if (!ends_with_line_end(backup.bytes)) return {SetupStatus::damaged, 0};
  return {};
}

SetupOutcome open_backup(const KeyServices& services, const std::string& password, SettingsBackup& backup) {
  const SetupStatus opened = open_settings_file(services, backup.path, password, backup.record_key, backup.groups);
  if (opened != SetupStatus::done) return {opened, 0};
  backup.personal_key = personal_key_string(password);
  return {};
}

SetupOutcome plan_restore(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                          const SettingsBackup& backup, RestorePlan& plan) {
  recover_settings_file(lock, services, root);
  plan = RestorePlan{};
  const std::string path = settings_path(root);
  const DeviceFile current = look_at(services, path);
  plan.current_bytes = current.bytes;
  if (!current.exists) return {};  // DeviceHolds::nothing
  if (current.readable && current.bytes == backup.bytes) {
    plan.holds = DeviceHolds::same_bytes;
    return {};
  }
  KeyRecords records;
  if (!current.readable || read_records(services, path, records) != SetupStatus::done) {
    plan.holds = DeviceHolds::no_key_data;
    return {};
  }
  std::string personal_key;
  if (!opens_with_record_key(records, backup.record_key, personal_key)) {
    plan.holds = DeviceHolds::other_user;
    return {};
  }
  plan.holds = DeviceHolds::same_user;
  plan.password_differs = personal_key != backup.personal_key;
  std::vector<NewGroup> groups;
  read_groups(services, path, backup.record_key, groups);  // a group not whole counts as lost
  for (const NewGroup& group : groups) {
    if (!contains_group(backup.groups, group.name)) plan.groups_lost.push_back(group.name);
  }
  for (const NewGroup& group : backup.groups) {
    bool found = false;
    for (const NewGroup& now : groups) {
      if (now.name != group.name) continue;
      found = true;
      if (now.key != group.key) plan.groups_rekeyed.push_back(group.name);
      break;
    }
    if (!found) plan.groups_gained.push_back(group.name);
  }
  return {};
}

SetupOutcome restore_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                                const SettingsBackup& backup, const RestorePlan& plan) {
  recover_settings_file(lock, services, root);
  if (plan.holds == DeviceHolds::same_bytes) return {};
  const DeviceFile current = look_at(services, settings_path(root));
  const bool as_planned = plan.holds == DeviceHolds::nothing
                              ? !current.exists
                              : current.exists && current.bytes == plan.current_bytes &&
                                    (current.readable || plan.holds == DeviceHolds::no_key_data);
  if (!as_planned) return {SetupStatus::device_changed, 0};

  SettingsRewrite rewrite(lock, services, root);
  if (!rewrite.begin_with(backup.bytes)) return failed_write();
  // The new file must open as the backup did before it replaces anything.
  KeyRecords records;
  std::string record_key;
  if (read_records(services, rewrite.path(), records) != SetupStatus::done ||
      !opens_with_personal_key(records, backup.personal_key, record_key) || record_key != backup.record_key) {
    return {SetupStatus::write_failed, 0};
  }
  if (!rewrite.commit()) return failed_write();
  return {};
}

}  // namespace kestrove::keys
