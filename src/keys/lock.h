#pragma once
// Locking the program on this PC with the password: while the lock flag in
// the registry says locked, encrypting, decrypting and the options are
// refused. Locking needs a confirmation; unlocking the password, checked
// against the user's key device.
#include <string>

#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "ui/key_views.h"

namespace kestrove::keys {

inline constexpr const char* kLockedDisplay = "　★ロック状態です★";
inline constexpr const char* kUnlockedDisplay = "  ";

// What the main window's lock line (control 1022) shows for a lock flag.
std::string lock_display_text(char lock_flag);

// True when the program is locked, after telling the user so.
bool locked_guard(const KeyState& state, ui::MessageBoxView& owner);

enum class LockToggle {
  unchanged,    // the keys could not be loaded, or the user cancelled
  locked,
  unlocked,
  end_program,  // the third wrong unlock password of the run: end the main window
};

// The handler of the lock button: loads the keys, then locks after a
// confirmation or, when locked, runs the unlock dialog.
LockToggle toggle_lock(KeyState& state, const KeyServices& services, ui::KeyViews& views);

// Dialog 108. 1 when unlocked, and also after the third wrong password of
// the run (the caller then ends the program); 0 when cancelled.
int run_unlock_dialog(KeyState& state, const KeyServices& services, ui::PasswordPromptView& dialog);

}  // namespace kestrove::keys
