#include "keys/key_creation.h"

#include <cstdio>

#include "keys/key_scheme.h"
#include "keys/registry_state.h"

namespace kestrove::keys {
namespace {

std::string drive_text(const std::string& device_root) {
  if (device_root.empty()) return "使用ドライブ";
  return "（" + device_root.substr(0, 1) + "ドライブを使用しています。）";
}

}  // namespace

int check_password(KeyState& state, const KeyServices& services, const std::string& field_text,
                   ui::PasswordPromptView& dialog) {
  if (!is_valid_password(field_text)) {
    dialog.set_password_text(" ");
    return kWrongPassword;
  }
  const std::string candidate = personal_key_string(field_text);
  Record opened{};
  if (!decipher_record(candidate, state.raw_keys.regdata, opened)) return kWrongPassword;
  const std::string record_key = record_text(opened);
  if (!decipher_record(record_key, state.raw_keys.keydata, opened)) return kWrongPassword;
  if (record_text(opened) != candidate) return kWrongPassword;  // wrong password or damaged key data
  state.record_key = record_key;
  state.key_set.personal_key = candidate;
  if (write_pc_key(state, services, dialog.boxes()) != 0) return kWrongPassword;
  return 0;
}

std::string forced_end_text() {
  char text[128];
  std::snprintf(text, sizeof text, "パスワードを%d回間違えたため強制終了します。", kPasswordTries);
  return text;
}

int run_key_creation_dialog(KeyState& state, const KeyServices& services, ui::PasswordPromptView& dialog) {
  ui::PasswordPrompt prompt;
  prompt.dialog = ui::PasswordDialog::key_creation;
  prompt.caption = "キー作成　- ケストローブ";
  prompt.message = "このパソコンにキー情報を作成します。\r\nあなたのパスワードを入力してください。";
  prompt.drive_text = drive_text(state.device_root);
  for (;;) {
    prompt.attempt = state.creation_attempts + 1;
    const ui::PasswordAnswer answer = dialog.ask(prompt);
    if (!answer.ok) {
      dialog.close(0);
      return 0;
    }
    ++state.creation_attempts;
    if (check_password(state, services, answer.text, dialog) == 0) {
      state.creation_attempts = 0;
      dialog.boxes().show("パソコンにキー情報を作成しました。", ui::kCaptionConfirm,
                          ui::mb::set_foreground | ui::mb::icon_information);
      dialog.close(1);
      return 1;
    }
    dialog.boxes().show("入力したパスワードが間違っているかキー情報が不正です。", ui::kCaptionNotice,
                        ui::mb::warning_box);
    if (state.creation_attempts >= kPasswordTries) {
      dialog.boxes().show(forced_end_text(), ui::kCaptionNotice, ui::mb::warning_box);
      dialog.close(0);
      return 0;
    }
  }
}

}  // namespace kestrove::keys
