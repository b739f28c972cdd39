#include "keys/settings_file.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <new>

#include "conversion/error_text.h"
#include "crypto/record_cipher.h"
#include "keys/key_scheme.h"
#include "keys/triplets.h"
#include "platform/file_contents.h"
#include "text/cp932.h"

namespace kestrove::keys {
namespace {

constexpr std::size_t kGroupNameBytes = 30;
constexpr std::size_t kAccessRecordSize = 17;  // 16 characters and the NUL
constexpr const char* kWriteFailed = "ファイルの書き込みに失敗しました。";

struct OptionKey {
  const char* key;
  std::int32_t Settings::*field;
  std::int32_t default_value;
};

// In the order in which they are read and written.
constexpr OptionKey kOptionKeys[] = {
    {"APPINT_FOLDER", &Settings::choose_destination, 0},
    {"OVERWRITECHECK", &Settings::confirm_overwrite, 1},
    {"FOLDERALL", &Settings::include_subfolders, 1},
    {"FILEDEL", &Settings::delete_original, 1},
    {"USEGROUPKEY", &Settings::use_group_key, 1},
};

// GetPrivateProfileStringA with the default "": the value, or empty.
std::string read_value(const KeyServices& services, const std::string& path, const char* section,
                       const std::string& key, std::uint32_t buffer_size) {
  std::string value;
  if (services.profile.get_string(section, key.c_str(), "", value, buffer_size, path) == 0) value.clear();
  return value;
}

std::string indexed(const char* stem, std::int64_t i) { return stem + std::to_string(i); }

// The first 30 bytes of a name, without a double-byte character cut in two.
std::string group_name(const std::string& text) {
  const std::string name = text.substr(0, text.find('\0'));
  std::size_t end = 0;
  while (end < name.size()) {
    const std::size_t width =
        text::is_lead_byte(static_cast<unsigned char>(name[end])) && end + 1 < name.size() ? 2 : 1;
    if (end + width > kGroupNameBytes) break;
    end += width;
  }
  return name.substr(0, end);
}

void flush(const KeyServices& services, const std::string& path) {
  services.profile.write_string(nullptr, nullptr, nullptr, path);
}

// Remembers the first failure of a sequence of writes and its error code.
struct WriteOutcome {
  bool failed = false;
  platform::ErrorCode error = 0;
  void fail() {
    if (!failed) error = platform::last_error();
    failed = true;
  }
};

int report_write_failure(ui::MessageBoxView& owner, const WriteOutcome& outcome) {
  owner.show(conversion::compose_error_text(kWriteFailed, static_cast<std::int32_t>(outcome.error)),
             ui::kCaptionNotice, ui::mb::error_box);
  return 0;
}

void protect(const KeyServices& services, const std::string& path, WriteOutcome& outcome) {
  if (!services.files.set_attributes(path, platform::attribute::read_only | platform::attribute::hidden)) {
    outcome.fail();
  }
  flush(services, path);
}

// A settings file is a few hundred bytes; one far larger is not copied.
constexpr std::size_t kLargestCopiedFile = 16u << 20;

// The whole content of a file through the file layer; false with the error set.
bool read_file_bytes(platform::FileSystem& files, const std::string& path, std::string& bytes) {
  if (!platform::read_file_contents(files, path, bytes, kLargestCopiedFile)) return false;
  if (bytes.size() <= kLargestCopiedFile) return true;
  platform::set_last_error(platform::error::not_enough_memory);
  return false;
}

bool exists(platform::FileSystem& files, const std::string& path) {
  return files.get_attributes(path) != platform::attribute::invalid;
}

// Removes a file of ours whatever its attributes; keeps the caller's error.
void remove_leftover(platform::FileSystem& files, const std::string& path) {
  const platform::ErrorCode error = platform::last_error();
  if (exists(files, path)) {
    files.set_attributes(path, platform::attribute::normal);
    files.delete_file(path);
  }
  platform::set_last_error(error);
}

}  // namespace

std::string settings_path(const std::string& root) { return root + kSettingsFileName; }

// "~qevlink.new" is whole: SettingsCopy::commit gives the copy that name only
// by a replace that flushed it first, and nothing writes it afterwards. So it
// is trusted without looking into it; "~qevlink.tmp" never is.
void recover_settings_file(const DeviceLock&, const KeyServices& services, const std::string& root) {
  auto& files = services.files;
  const std::string ready = root + kSettingsReadyName;
  const std::string copy = root + kSettingsCopyName;
  const bool has_ready = exists(files, ready);
  if (!has_ready && !exists(files, copy)) return;
  const std::string path = settings_path(root);
  if (has_ready && !exists(files, path) && platform::last_error() == platform::error::file_not_found &&
      files.replace_file(ready, path)) {
    files.set_attributes(path, platform::attribute::read_only | platform::attribute::hidden);
  }
  // A whole copy that could not be put back stays for the next time.
  if (exists(files, path)) remove_leftover(files, ready);
  remove_leftover(files, copy);
}

SettingsCopy::SettingsCopy(const DeviceLock&, const KeyServices& services, const std::string& root)
    : services_(services),
      target_(settings_path(root)),
      copy_(root + kSettingsCopyName),
      ready_(root + kSettingsReadyName) {}

SettingsCopy::~SettingsCopy() {
  if (begun_ && !committed_) remove_leftover(services_.files, copy_);
}

bool SettingsCopy::begin_from_current(bool missing_is_empty) {
  std::string content;
  if (!read_file_bytes(services_.files, target_, content)) {
    if (!missing_is_empty || platform::last_error() != platform::error::file_not_found) return false;
    content.clear();
  }
  return begin_with(content);
}

bool SettingsCopy::begin_with(const std::string& content) {
  const platform::File file = services_.files.open(copy_, platform::FileAccess::write,
                                                   platform::FileCreation::create_new, platform::share::none);
  if (!file) return false;
  begun_ = true;
  return content.empty() || file->write(content.data(), static_cast<std::uint32_t>(content.size()));
}

bool SettingsCopy::commit() {
  auto& files = services_.files;
  services_.profile.write_string(nullptr, nullptr, nullptr, copy_);  // out of the profile cache
  // Flushed whole before it is named as whole.
  if (!files.replace_file(copy_, ready_)) return false;
  if (files.replace_file(ready_, target_)) {
    committed_ = true;
    return true;
  }
  const platform::ErrorCode error = platform::last_error();
  const bool no_settings_file = !exists(files, target_) && platform::last_error() == platform::error::file_not_found;
  if (!no_settings_file) remove_leftover(files, ready_);
  platform::set_last_error(error);
  return false;
}

std::int32_t decimal_value(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT32_MAX) + 1) value = static_cast<std::int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<std::int32_t>(value);
}

int read_options(const DeviceLock& lock, const KeyServices& services, const std::string& root, Settings& settings) {
  recover_settings_file(lock, services, root);
  const std::string path = settings_path(root);
  for (const OptionKey& option : kOptionKeys) {
    const std::string value = read_value(services, path, "OPTION", option.key, 128);
    settings.*option.field = value.empty() ? option.default_value : decimal_value(value);
  }
  return 1;
}

int read_version(const DeviceLock& lock, const KeyServices& services, const std::string& root, Settings& settings) {
  recover_settings_file(lock, services, root);
  const std::string path = settings_path(root);
  settings.version = read_value(services, path, "VERSION", "VERSION", 128);
  const std::string encode_type = read_value(services, path, "VERSION", "ENCODE_TYPE", 128);
  settings.encode_type = encode_type.empty() ? 1 : decimal_value(encode_type);
  return 1;
}

int read_key_section(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                     RawKeyRecords& raw) {
  recover_settings_file(lock, services, root);
  // The records stay those of the last drive that had both.
  const std::string path = settings_path(root);
  const std::string keydata = read_value(services, path, "QEVLINK", "KEYDATA", 256);
  if (keydata.empty()) return kNoKeyData;
  const std::string regdata = read_value(services, path, "QEVLINK", "REGDATA", 256);
  if (regdata.empty()) return kNoKeyData;
  decode_triplets(keydata, raw.keydata.size(), raw.keydata.data());
  decode_triplets(regdata, raw.regdata.size(), raw.regdata.data());
  return 0;
}

int read_group_section(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                       const std::string& personal_key, RawGroupTable& table) {
  recover_settings_file(lock, services, root);
  const std::string path = settings_path(root);
  table.entries.clear();
  const std::string group_num = read_value(services, path, "GROUP", "GROUP_NUM", 512);
  if (!group_num.empty()) {
    // The room includes entry 0, which holds the personal key whatever the
    // file says: a negative count leaves room for it alone.
    const std::int64_t room = static_cast<std::int64_t>(decimal_value(group_num)) + 1;
    table.capacity = static_cast<std::int32_t>(room < 1 ? 1 : (room > INT32_MAX ? INT32_MAX : room));
  }
  // The table grows with what the file really holds, so a huge GROUP_NUM
  // costs nothing.
  try {
    std::vector<RawGroupEntry> entries;
    for (std::int64_t i = 0; i < table.capacity; ++i) {
      RawGroupEntry entry;
      if (i == 0) {
        entry.name = kPersonalKeyName;
        entry.owner = record_of("11111111");
        entry.key = record_of(personal_key);
      } else {
        const std::string name = read_value(services, path, "GROUP", indexed("GROUPID", i), 512);
        if (name.empty()) break;
        entry.name = group_name(name);
        const std::string owner = read_value(services, path, "GROUP", indexed("OWNER", i), 512);
        if (owner.empty()) break;
        decode_triplets(owner, entry.owner.size(), entry.owner.data());
        const std::string key = read_value(services, path, "GROUP", indexed("KEYDATA", i), 512);
        if (key.empty()) break;
        decode_triplets(key, entry.key.size(), entry.key.data());
      }
      entries.push_back(std::move(entry));
    }
    table.entries = std::move(entries);
  } catch (const std::bad_alloc&) {
    table.entries.clear();
    return kOutOfMemory;
  }
  return 0;
}

int read_access_time(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                     const std::string& record_key, std::string& time_text) {
  recover_settings_file(lock, services, root);
  time_text.clear();
  const std::string digits = read_value(services, settings_path(root), "ACCESS", "ACCESSTIME", 128);
  if (digits.empty()) return 1;
  std::uint8_t record[kAccessRecordSize];
  decode_triplets(digits, kAccessRecordSize, record);
  if (crypto::record_cipher(kAccessRecordSize, record_key.c_str(), record, record, crypto::kRecordDecipher) !=
      crypto::kRecordDone) {
    return 0;
  }
  for (std::uint8_t b : record) {
    if (b == 0) break;
    time_text.push_back(static_cast<char>(b));
  }
  return 1;
}

int write_options(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                  const Settings& settings, ui::MessageBoxView& owner) {
  recover_settings_file(lock, services, root);
  const std::string path = settings_path(root);
  services.files.set_attributes(path, platform::attribute::normal);
  flush(services, path);
  WriteOutcome outcome;
  SettingsCopy copy(lock, services, root);
  if (!copy.begin_from_current(true)) outcome.fail();
  for (const OptionKey& option : kOptionKeys) {
    if (outcome.failed) break;  // the later keys are not written
    const std::string value = std::to_string(settings.*option.field);
    if (!services.profile.write_string("OPTION", option.key, value.c_str(), copy.path())) outcome.fail();
    flush(services, copy.path());
  }
  if (!outcome.failed && !copy.commit()) outcome.fail();
  if (!outcome.failed) protect(services, path, outcome);
  if (outcome.failed) return report_write_failure(owner, outcome);
  return 1;
}

int write_access_time(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                      const std::string& record_key, ui::MessageBoxView& owner) {
  recover_settings_file(lock, services, root);
  const std::string path = settings_path(root);
  services.files.set_attributes(path, platform::attribute::normal);
  flush(services, path);

  std::uint8_t record[kAccessRecordSize] = {};
  const std::time_t now = services.now();
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(reinterpret_cast<char*>(record), sizeof record, "%Y/%m/%d %H:%M", local);
  }

  WriteOutcome outcome;
  SettingsCopy copy(lock, services, root);
  if (!copy.begin_from_current(true)) outcome.fail();
  if (!outcome.failed && !services.profile.write_string("ACCESS", nullptr, nullptr, copy.path())) outcome.fail();
  flush(services, copy.path());
  if (!outcome.failed) {
    if (crypto::record_cipher(kAccessRecordSize, record_key.c_str(), record, record, crypto::kRecordEncipher) !=
        crypto::kRecordDone) {
      owner.show("最終アクセス時間の暗号化に失敗しました。", ui::kCaptionNotice, ui::mb::error_box);
      return 0;
    }
    const std::string digits = encode_triplets(record, kAccessRecordSize);
    if (!services.profile.write_string("ACCESS", "ACCESSTIME", digits.c_str(), copy.path())) outcome.fail();
    flush(services, copy.path());
  }
  if (!outcome.failed && !copy.commit()) outcome.fail();
  if (!outcome.failed) protect(services, path, outcome);
  if (outcome.failed) return report_write_failure(owner, outcome);
  return 1;
}

}  // namespace kestrove::keys
