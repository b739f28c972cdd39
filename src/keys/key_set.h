#pragma once
// The usable keys of the user, rebuilt by every key loading: entry 0 is the
// PersonalKey ("個人キー"), entries 1 and up the group keys in order.
#include <string>
#include <vector>

namespace kestrove::keys {

inline constexpr const char* kPersonalKeyName = "個人キー";

struct KeyEntry {
  std::string name;   // at most 30 bytes
  std::string owner;  // 8 characters
  std::string key;    // 8 characters
};

struct KeySet {
  std::vector<KeyEntry> entries;  // readers of cp3 files try them in order
  std::string personal_key;       // "ZQ" + the 6-character password; opens cp2 files
};

// The key chosen for the next encryption.
struct CurrentKey {
  KeyEntry entry;
  bool is_group = false;
};

}  // namespace kestrove::keys
