#pragma once
// Everything the key subsystem keeps for one process between calls: the key
// device found last, the raw records read from it, the PC's record key and
// lock flag, the usable keys built from them, and the attempt counters of the
// password dialogs. One record per process, passed explicitly.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "keys/key_set.h"

namespace kestrove::keys {

// An enciphered or deciphered 8-byte record of the key scheme.
using Record = std::array<std::uint8_t, 8>;

// QEVLINK/KEYDATA and QEVLINK/REGDATA of the last drive read that had them.
struct RawKeyRecords {
  Record keydata{};
  Record regdata{};
};

// One slot of the group table as read from the settings file: entry 0 holds
// the personal key in plain text, the others the enciphered group records.
struct RawGroupEntry {
  std::string name;  // at most 30 bytes
  Record owner{};
  Record key{};
};

inline constexpr std::int32_t kInitialGroupCapacity = 20;

struct RawGroupTable {
  // Room of the table, entry 0 included: GROUP_NUM + 1 when the file gives
  // GROUP_NUM, otherwise what the previous read left.
  std::int32_t capacity = kInitialGroupCapacity;
  std::vector<RawGroupEntry> entries;  // the slots filled (group_loaded)
};

struct KeyState {
  std::string device_root;  // "E:\" once a scan found a drive
  RawKeyRecords raw_keys;
  RawGroupTable raw_groups;
  std::string record_key;  // RecordKey: at most 8 characters
  char lock_flag = '0';    // '0' unlocked, '1' locked
  KeySet key_set;          // key_set.personal_key is the PersonalKey string
  int creation_attempts = 0;  // wrong passwords in the key-creation dialog this run
  int unlock_attempts = 0;    // wrong passwords in the unlock dialog this run
};

}  // namespace kestrove::keys
