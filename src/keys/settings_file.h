#pragma once
// The settings file "qevlink.ini" in the root of the key device: the key
// records (QEVLINK, GROUP), the options (OPTION), the format (VERSION) and the
// enciphered time of the last orderly exit (ACCESS). The program writes only
// OPTION and ACCESS; the key-creation program writes the rest.
//
// Every operation takes the DeviceLock of with_device_lock. Writers leave the
// file read-only and hidden; they clear those attributes first, so a file
// left that way is still written.
//
// A write is one unit: its keys go with the profile functions onto a copy
// of the file beside it, "~qevlink.tmp", which is flushed and renamed
// "~qevlink.new" and then takes the place of qevlink.ini in one replace. So
// qevlink.ini is always a whole file, the old one or the new one. A copy
// under the name "~qevlink.new" is complete by construction (it gets that
// name only once it is flushed whole); "~qevlink.tmp" may be cut anywhere
// and is never used. Every operation first puts the device in order after
// an interrupted write (recover_settings_file).
#include <cstdint>
#include <string>

#include "keys/device_lock.h"
#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "keys/settings.h"
#include "ui/message_box.h"

namespace kestrove::keys {

inline constexpr const char* kSettingsFileName = "qevlink.ini";

// The device root followed by "qevlink.ini" (the root ends in "\").
std::string settings_path(const std::string& root);

// The copy being written, and the copy flushed whole that is to take the
// place of the settings file; both in the device root.
inline constexpr const char* kSettingsCopyName = "~qevlink.tmp";
inline constexpr const char* kSettingsReadyName = "~qevlink.new";

// After an interrupted write: when qevlink.ini is missing and a whole copy
// ("~qevlink.new") is there, the copy takes its place, read-only and hidden;
// copies beside a settings file are removed, and so is a copy that may be
// cut ("~qevlink.tmp") in any case. Quiet: what cannot be done is left for
// the next time.
void recover_settings_file(const DeviceLock& lock, const KeyServices& services, const std::string& root);

// One write of the settings file of `root`: a copy beside it that the
// profile functions write (path()), and that takes the place of the file at
// commit(). A copy never committed is removed. Failures leave last_error().
class SettingsCopy {
 public:
  SettingsCopy(const DeviceLock& lock, const KeyServices& services, const std::string& root);
  ~SettingsCopy();
  SettingsCopy(const SettingsCopy&) = delete;
  SettingsCopy& operator=(const SettingsCopy&) = delete;

  // Creates the copy with the settings file's bytes; a missing file gives an
  // empty copy when `missing_is_empty`, a failure otherwise.
  bool begin_from_current(bool missing_is_empty);
  // Creates the copy with these bytes.
  bool begin_with(const std::string& content);
  const std::string& path() const { return copy_; }
  // Flushes the copy, names it as whole and puts it in place of the settings
  // file. When that last step fails the old file stays and the copy goes;
  // only when the device then has no settings file at all does the whole
  // copy stay, for the next operation to put in place.
  bool commit();

 private:
  const KeyServices& services_;
  std::string target_;
  std::string copy_;
  std::string ready_;
  bool begun_ = false;
  bool committed_ = false;
};

// The decimal value at the start of a text, as the C runtime's atoi reads
// it (blanks, a sign, digits; 0 without digits), held to 32 bits.
std::int32_t decimal_value(const std::string& text);

// The five OPTION values; a missing or empty one takes its default
// (APPINT_FOLDER 0, the others 1). Always 1.
int read_options(const DeviceLock& lock, const KeyServices& services, const std::string& root, Settings& settings);
// VERSION/VERSION (or empty) and VERSION/ENCODE_TYPE (or 1). Always 1.
int read_version(const DeviceLock& lock, const KeyServices& services, const std::string& root, Settings& settings);
// QEVLINK/KEYDATA and QEVLINK/REGDATA; kNoKeyData when either is missing.
int read_key_section(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                     RawKeyRecords& raw);
// Rebuilds the raw group table: entry 0 is the personal key ("個人キー",
// "11111111", `personal_key`), then groups 1, 2, ... while GROUPIDi, OWNERi
// and KEYDATAi are all present and the table has room (GROUP_NUM + 1
// entries, never fewer than 1; without GROUP_NUM the previous room stands).
// 0, or kOutOfMemory with nothing loaded.
int read_group_section(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                       const std::string& personal_key, RawGroupTable& table);
// ACCESS/ACCESSTIME deciphered under the record key: "2005/03/07 09:05", or
// an empty text when there is none. 1, or 0 when the record cipher fails.
int read_access_time(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                     const std::string& record_key, std::string& time_text);

// Writes section OPTION. 1 written; 0 failed, after a message to `owner`.
int write_options(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                  const Settings& settings, ui::MessageBoxView& owner);
// Replaces section ACCESS with the current local time enciphered under the
// record key. 1 written; 0 failed, after a message to `owner`.
int write_access_time(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                      const std::string& record_key, ui::MessageBoxView& owner);

}  // namespace kestrove::keys
