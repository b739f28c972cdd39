#pragma once
// Loading the user's keys before every action: find the key device, check
// that its key data belongs to the user of this PC (its KEYDATA opens under
// the PC's record key to the personal-key prefix), and build the key set.
// A PC without key information gets it once, through the key-creation
// dialog, when the user proves the password.
#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "ui/key_views.h"

namespace kestrove::keys {

// 0, or kAbandonAction: the caller abandons the action (at start-up the
// program ends). Failures that showed their own message (out of memory,
// undecipherable records, registry failures) give 0 with the key set as far
// as it was built.
int load_keys(KeyState& state, const KeyServices& services, ui::KeyViews& views);

// The scan and check: 0, kOutOfMemory, kGroupRecordFailure,
// kRecordCipherFailure, kNoPcKey, kGaveUp or kNotRegistered.
int scan_keys(KeyState& state, const KeyServices& services, ui::KeyViews& views);

// Builds state.key_set.entries from the raw group table, deciphering the
// groups under the record key. 0, kOutOfMemory or kRecordCipherFailure
// (after its message; the entries built so far stay).
int decipher_groups(KeyState& state, ui::MessageBoxView& owner);

}  // namespace kestrove::keys
