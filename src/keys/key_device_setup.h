#pragma once
// Preparing a key device: what the key-creation program writes into the
// settings file, in the relations of the key scheme (key_scheme.h). A
// settings file is never left half-written: the new content is written
// beside it and then moved into place, and the file is left read-only and
// hidden as the program leaves it.
//
// Every operation takes the DeviceLock; ask for passwords before taking it.
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

}  // namespace kestrove::keys
