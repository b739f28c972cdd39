#pragma once
// Finding the key device: the removable drive that holds the user's settings
// file. Drives are tried in the order C to Z, then A and B (the floppies
// last), and each removable one is proved by writing a test file and
// deleting it again.
#include <string>

#include "keys/device_lock.h"
#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "platform/error_codes.h"

namespace kestrove::keys {

inline constexpr char kScanOrder[] = "CDEFGHIJKLMNOPQRSTUVWXYZAB";
inline constexpr int kScanOrderSize = 26;

// Scans from `start_index` (26 or more finds nothing) to the end of the scan
// order. The first removable drive that passes the write test becomes
// state.device_root ("E:\") and its index is returned; the next scan starts
// at index + 1. Returns kNoKeyDevice and leaves the device root as it was
// when no drive passes.
int find_key_device(const DeviceLock& lock, KeyState& state, const KeyServices& services, int start_index);

// Creates a file of 10240 bytes with a name of 10 random characters in
// `folder` (which ends in "\"), writes it and deletes it again. 0 when that
// worked, otherwise the Win32 error of the failing step. Used on its own,
// without the device lock, for destination folders.
platform::ErrorCode write_test(platform::FileSystem& files, const std::string& folder);

}  // namespace kestrove::keys
