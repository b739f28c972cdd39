#include "keys/lock.h"

#include "keys/key_creation.h"
#include "keys/key_loading.h"
#include "keys/registry_state.h"

namespace kestrove::keys {
namespace {

void set_lock_display(ui::KeyViews& views, char lock_flag) {
  if (views.main_window != nullptr) views.main_window->set_lock_display(lock_display_text(lock_flag));
}

}  // namespace

std::string lock_display_text(char lock_flag) { return lock_flag == '1' ? kLockedDisplay : kUnlockedDisplay; }

bool locked_guard(const KeyState& state, ui::MessageBoxView& owner) {
  if (state.lock_flag != '1') return false;
  owner.show("ケストローブはロックされています。", ui::kCaptionNotice, ui::mb::warning_box);
  return true;
}

LockToggle toggle_lock(KeyState& state, const KeyServices& services, ui::KeyViews& views) {
  if (load_keys(state, services, views) == kAbandonAction) return LockToggle::unchanged;
  if (state.lock_flag == '0') {
    if (views.boxes.show("ケストローブをロックし、暗号化/復号化を禁止します。\n"
                         "(ロックを解除するためにはパスワード入力が必要です。)\nよろしいですか？",
                         ui::kCaptionConfirm, ui::mb::question_box) != ui::answer::ok) {
      return LockToggle::unchanged;
    }
    state.lock_flag = '1';
    if (write_lock_flag(state, services, views.boxes) != 0) {
      state.lock_flag = '0';  // the registry kept the unlocked value
      return LockToggle::unchanged;
    }
    views.boxes.show("ケストローブをロックしました。\n"
                     "(解除するには、再度「ロック設定/解除」ボタンをクリックしてください。)",
                     ui::kCaptionConfirm, ui::mb::set_foreground | ui::mb::icon_information);
    set_lock_display(views, '1');
    return LockToggle::locked;
  }

  // A successful check writes the lock flag from memory: the unlocked value.
  state.lock_flag = '0';
  if (run_unlock_dialog(state, services, views.password) == 1) {
    set_lock_display(views, '0');
    return state.unlock_attempts >= kPasswordTries ? LockToggle::end_program : LockToggle::unlocked;
  }
  state.lock_flag = '1';  // cancelled: the registry still says locked
  if (state.unlock_attempts >= kPasswordTries) {
    views.boxes.show(forced_end_text(), ui::kCaptionNotice, ui::mb::warning_box);
    return LockToggle::end_program;
  }
  return LockToggle::unchanged;
}

int run_unlock_dialog(KeyState& state, const KeyServices& services, ui::PasswordPromptView& dialog) {
  ui::PasswordPrompt prompt;
  prompt.dialog = ui::PasswordDialog::unlock;
  prompt.caption = "ロックの解除　- ケストローブ";
  prompt.message = "ケストローブのロックを解除します。\r\nあなたのパスワードを入力してください。";
  for (;;) {
    prompt.attempt = state.unlock_attempts + 1;
    const ui::PasswordAnswer answer = dialog.ask(prompt);
    if (!answer.ok) {
      dialog.close(0);
      return 0;
    }
    ++state.unlock_attempts;
    if (check_password(state, services, answer.text, dialog) == 0) {
      state.unlock_attempts = 0;
      dialog.boxes().show("ケストローブのロックを解除しました。", ui::kCaptionConfirm,
                          ui::mb::set_foreground | ui::mb::icon_information);
      dialog.close(1);
      return 1;
    }
    dialog.boxes().show("入力したパスワードが間違っています。", ui::kCaptionNotice, ui::mb::warning_box);
    if (state.unlock_attempts >= kPasswordTries) {
      dialog.boxes().show(forced_end_text(), ui::kCaptionNotice, ui::mb::warning_box);
      dialog.close(1);
      return 1;
    }
  }
}

}  // namespace kestrove::keys
