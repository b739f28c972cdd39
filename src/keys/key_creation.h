#pragma once
// The password check shared by the key-creation and unlock dialogs, and the
// key-creation dialog itself (104): on a PC without key information, the
// user's password opens the key device's record key, which is then stored
// for this user.
#include <string>

#include "keys/key_results.h"
#include "keys/key_services.h"
#include "keys/key_state.h"
#include "ui/key_views.h"

namespace kestrove::keys {

inline constexpr int kPasswordTries = 3;

// Checks the text of the password field against the raw key records of the
// last drive read: D("ZQ" + password, REGDATA) must open KEYDATA to
// "ZQ" + password. On success installs the record key and the personal key
// string and writes them to the registry (write_pc_key, with the current
// lock flag). A text that is not 6 letters or digits is refused at once and
// the field is set to a single blank. 0 or kWrongPassword.
int check_password(KeyState& state, const KeyServices& services, const std::string& field_text,
                   ui::PasswordPromptView& dialog);

// "パスワードを3回間違えたため強制終了します。"
std::string forced_end_text();

// Runs dialog 104 until the key information is created (1) or the user
// cancels or has given the third wrong password of the run (0).
int run_key_creation_dialog(KeyState& state, const KeyServices& services, ui::PasswordPromptView& dialog);

}  // namespace kestrove::keys
