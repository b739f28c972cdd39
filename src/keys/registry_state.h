#pragma once
// What each user account of a PC keeps: the record key (USERDATA, plain) and
// the lock flag (EXTENT01, enciphered under the record key, in triplet
// digits), under HKEY_CURRENT_USER\Software\KAVOR\QEVLINK.
#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "ui/message_box.h"

namespace kestrove::keys {

inline constexpr const char* kKavorKey = "Software\\KAVOR";
inline constexpr const char* kPcStateKey = "Software\\KAVOR\\QEVLINK";
inline constexpr const char* kRecordKeyValue = "USERDATA";
inline constexpr const char* kLockFlagValue = "EXTENT01";
inline constexpr const char* kUnlockedPlaintext = "00000000";
inline constexpr const char* kLockedPlaintext = "11111111";

// Sets state.record_key (at most 8 characters) and state.lock_flag: '0' only
// when EXTENT01 is missing or deciphers to the unlocked plaintext.
// 0 read; kNoPcKey when the key does not exist (nothing changes);
// kRegistryFailure; kRecordCipherFailure (with its message).
int read_pc_state(KeyState& state, const KeyServices& services, ui::MessageBoxView& owner);

// Writes USERDATA from state.record_key and EXTENT01 from state.lock_flag.
// 0 written; kRecordCipherFailure or kRegistryWriteFailure after the
// numbered message of the failing step.
int write_pc_key(const KeyState& state, const KeyServices& services, ui::MessageBoxView& owner);
// Writes EXTENT01 alone; USERDATA stays as it is.
int write_lock_flag(const KeyState& state, const KeyServices& services, ui::MessageBoxView& owner);

}  // namespace kestrove::keys
