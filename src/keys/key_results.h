#pragma once
// The small integers the key operations return.
namespace kestrove::keys {

inline constexpr int kKeysReady = 0;
inline constexpr int kOutOfMemory = -1;
inline constexpr int kNoKeyDevice = -5;           // no removable drive passed the write test
inline constexpr int kNoPcKey = -6;               // this PC has no key information for the user
inline constexpr int kNoKeyData = -8;             // the settings file lacks KEYDATA or REGDATA
inline constexpr int kGroupRecordFailure = -8;    // the group records could not be deciphered
inline constexpr int kRegistryFailure = -9;
inline constexpr int kRecordCipherFailure = -10;
inline constexpr int kRegistryWriteFailure = -14;
inline constexpr int kWrongPassword = -16;
inline constexpr int kGaveUp = -17;               // cancelled, or the device is someone else's
inline constexpr int kNotRegistered = -18;        // no key information anywhere: run the key-creation program
inline constexpr int kAbandonAction = -100;       // load_keys: abandon the action

}  // namespace kestrove::keys
