#pragma once
// Preparing a key device: what the key-creation program writes into the
// settings file, in the relations of the key scheme (key_scheme.h). A
// settings file is never left half-written: the new content is written
// whole beside it, flushed, and swapped in at once (settings_file.h), and
// the file is left read-only and hidden as the program leaves it.
//
// Every operation takes the DeviceLock; ask for passwords before taking it,
// and ask nothing while holding it.
//
// A backup of a key device is a byte-for-byte copy of its settings file. The
// file is enciphered already, so the copy opens with the same password.
#include <string>
#include <vector>

#include "keys/device_lock.h"
#include "keys/key_services.h"
#include "platform/error_codes.h"

namespace kestrove::keys {

enum class SetupStatus {
  done,
  already_prepared,  // the device has a settings file (create without replace)
  no_key_data,       // no settings file, or one without QEVLINK KEYDATA and REGDATA
  wrong_password,    // the password does not open the key data
  group_exists,      // a group of that name is on the device already
  write_failed,      // `error` holds the Win32 error
  no_random,         // the system's random source failed
  damaged,           // key data that is cut short or whose records are not well formed
  file_exists,       // the backup file exists already (it is never replaced)
  read_failed,       // the backup file cannot be read; `error` holds the Win32 error
  device_changed,    // the device's settings file changed since it was looked at
};

struct SetupOutcome {
  SetupStatus status = SetupStatus::done;
  platform::ErrorCode error = 0;
};

// A group as it is added: its name (1 to 30 bytes of CP932, no control
// characters, no blank or quote at either end) and its 8-character key.
struct NewGroup {
  std::string name;
  std::string key;
};

bool is_valid_group_name(const std::string& name);

// Writes a new settings file in `root` (a folder ending in "\"): QEVLINK
// KEYDATA and REGDATA for `password` and `record_key`, the OPTION defaults,
// and VERSION with ENCODE_TYPE 2. An existing settings file is replaced
// only when `replace` is set.
SetupOutcome create_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                               const std::string& password, const std::string& record_key, bool replace);

// Opens the key data with the password: the record key, or no_key_data /
// wrong_password.
SetupOutcome open_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                             const std::string& password, std::string& record_key);

// Appends a group after the last complete one and sets GROUP_NUM so that the
// program has room for it. The owner code is drawn at random.
SetupOutcome add_group(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                       const std::string& password, const NewGroup& group);

// Re-enciphers what depends on the password (KEYDATA, REGDATA). The record
// key stays, so the groups and the PCs' registry values stay valid.
SetupOutcome change_password(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                             const std::string& old_password, const std::string& new_password);

// The names of the groups the program loads from this device, in order.
std::vector<std::string> group_names(const DeviceLock& lock, const KeyServices& services, const std::string& root);

// Copies the settings file of `root` to `backup_path` once the password
// opens it and its key records are whole (no_key_data, wrong_password,
// damaged). The copy is written beside `backup_path` and moved there
// complete; an existing `backup_path` is never replaced (file_exists).
SetupOutcome back_up_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                                const std::string& password, const std::string& backup_path);

// A backup as restore reads it: its bytes, and once opened with the
// password, the key records they hold.
struct SettingsBackup {
  std::string path;
  std::string bytes;
  std::string record_key;
  std::string personal_key;
  std::vector<NewGroup> groups;  // every complete group, in order
};

// Reads a backup file: read_failed, no_key_data (not a settings file),
// damaged (cut short, or KEYDATA / REGDATA not 24 triplet digits).
SetupOutcome read_backup(const KeyServices& services, const std::string& path, SettingsBackup& backup);
// Opens a backup read by read_backup: wrong_password, or damaged when a
// group's records are not whole.
SetupOutcome open_backup(const KeyServices& services, const std::string& password, SettingsBackup& backup);

enum class DeviceHolds {
  nothing,      // no settings file
  same_bytes,   // the backup's very bytes
  same_user,    // key data under the backup's record key: the same user's
  other_user,   // key data that the backup's record key does not open
  no_key_data,  // a settings file without readable key data
};

// What restoring a backup onto a device would do.
struct RestorePlan {
  DeviceHolds holds = DeviceHolds::nothing;
  std::string current_bytes;  // the device's settings file as it was looked at
  // For same_user: what the device loses against the backup.
  bool password_differs = false;            // another personal key (a password changed since)
  std::vector<std::string> groups_lost;     // on the device only
  std::vector<std::string> groups_gained;   // in the backup only
  std::vector<std::string> groups_rekeyed;  // the same name under another key
};

// Looks at the device's settings file against an opened backup.
SetupOutcome plan_restore(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                          const SettingsBackup& backup, RestorePlan& plan);
// Writes the backup's bytes as the device's settings file, read-only and
// hidden, when the device still holds what `plan` saw (device_changed
// otherwise); the written file is opened again before it takes the place of
// the current one. With nothing to change (same_bytes) nothing is written.
SetupOutcome restore_key_device(const DeviceLock& lock, const KeyServices& services, const std::string& root,
                                const SettingsBackup& backup, const RestorePlan& plan);

}  // namespace kestrove::keys
