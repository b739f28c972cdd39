#include "keys/key_device_setup.h"

#include <ctime>

#include "conversion/file_operations.h"
#include "keys/key_scheme.h"
#include "keys/settings_file.h"
#include "keys/triplets.h"
#include "text/cp932.h"

namespace kestrove::keys {
namespace {

constexpr std::size_t kGroupNameBytes = 30;
constexpr const char* kVersionText = "1.00";

SetupOutcome failed_write() { return {SetupStatus::write_failed, platform::last_error()}; }

std::string digits_of(const Record& record) { return encode_triplets(record.data(), record.size()); }

// The settings file being rewritten: a new file beside the current one,
// which takes its place at commit() and is removed if never committed.
class SettingsRewrite {
 public:
  SettingsRewrite(const KeyServices& services, std::string root)
      : services_(services), root_(std::move(root)), target_(settings_path(root_)) {}
  ~SettingsRewrite() {
    if (!path_.empty() && !committed_) services_.files.delete_file(path_);
  }
  SettingsRewrite(const SettingsRewrite&) = delete;
  SettingsRewrite& operator=(const SettingsRewrite&) = delete;

  // Creates the new file, empty or with the current file's content.
  bool begin(bool copy_current) {
    std::string content;
    if (copy_current && !read_current(content)) return false;
    platform::File file;
    for (std::uint32_t attempt = 0; attempt < 1000 && !file; ++attempt) {
      const std::string name = side_name(".tmp", attempt);
      file = services_.files.open(name, platform::FileAccess::write, platform::FileCreation::create_new,
                                  platform::share::none);
      if (file) path_ = name;
      else if (platform::last_error() != platform::error::file_exists) return false;
    }
    if (!file) return false;
    return content.empty() || file->write(content.data(), static_cast<std::uint32_t>(content.size()));
  }

  const std::string& path() const { return path_; }

  bool write(const char* section, const char* key, const std::string& value) {
    return services_.profile.write_string(section, key, value.c_str(), path_);
  }

  // Puts the new file in place of the current one. The current file is moved
  // aside first and put back if the new one cannot take its place.
  bool commit() {
    services_.profile.write_string(nullptr, nullptr, nullptr, path_);
    auto& files = services_.files;
    std::string aside;
    if (files.get_attributes(target_) != platform::attribute::invalid) {
      files.set_attributes(target_, platform::attribute::normal);
      for (std::uint32_t attempt = 0; attempt < 1000 && aside.empty(); ++attempt) {
        const std::string name = side_name(".old", attempt);
        if (files.move_file(target_, name)) aside = name;
        else if (platform::last_error() != platform::error::already_exists) break;
      }
      if (aside.empty()) return restore_protection(false);
    }
    if (!files.move_file(path_, target_)) {
      const platform::ErrorCode error = platform::last_error();
      if (!aside.empty()) files.move_file(aside, target_);
      restore_protection(false);
      platform::set_last_error(error);
      return false;
    }
    committed_ = true;
    if (!aside.empty()) files.delete_file(aside);
    return restore_protection(true);
  }

 private:
  std::string side_name(const char* extension, std::uint32_t attempt) const {
    return root_ + "~qevlink" +
           conversion::random_hex_text(8, static_cast<std::uint32_t>(std::time(nullptr)) * 31u + attempt) + extension;
  }

  bool read_current(std::string& content) {
    platform::File file = services_.files.open(target_, platform::FileAccess::read,
                                               platform::FileCreation::open_existing, platform::share::read);
    if (!file) return false;
    char buffer[8192];
    std::uint32_t got = 0;
    while (file->read(buffer, sizeof buffer, got) && got > 0) content.append(buffer, got);
    return got == 0;
  }

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
  std::string root_;
  std::string target_;
  std::string path_;
  bool committed_ = false;
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

SetupOutcome create_key_device(const DeviceLock&, const KeyServices& services, const std::string& root,
                               const std::string& password, const std::string& record_key, bool replace) {
  if (!replace && services.files.get_attributes(settings_path(root)) != platform::attribute::invalid) {
    return {SetupStatus::already_prepared, 0};
  }
  SettingsRewrite rewrite(services, root);
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
  SettingsRewrite rewrite(services, root);
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
  SettingsRewrite rewrite(services, root);
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

}  // namespace kestrove::keys
