#include "shell/options_dialog.h"

#include "conversion/error_text.h"
#include "shell/association.h"
#include "shell/sendto.h"

namespace kestrove::shell {
namespace {

constexpr platform::RegistryStatus kAccessDenied = 5;

constexpr const char* kOption2NeedsOption1 =
    "※ 「ダブルクリックで暗号化したファイルを開く。」オプションを無効にした場合\n"
    "「ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。」オプションは選択できません。";
constexpr const char* kOption3NeedsOption2 =
    "※ 「ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。」オプションを無効にした場合\n"
    "「元ファイルと同じキーで暗号化する。」オプションは選択できません。";

// One association option as OK applies it, in the order it is applied.
struct AssociationOption {
  int option;
  bool PcOptions::*flag;
  const char* administrator_text;
  const char* registry_text;
};

constexpr AssociationOption kApplyOrder[] = {
    {kReencryptSameKey, &PcOptions::reencrypt_same_key,
     "「元ファイルと同じキーで暗号化する。」オプションを変更するためには、このパソコンのAdministrator権限が必要になります。",
     "レジストリ操作に失敗しました。<17>"},
    {kReencryptOnSave, &PcOptions::reencrypt_on_save,
     "「ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。」オプションを変更するためには、このパソコンの"
     "Administrator権限が必要になります。",
     "レジストリ操作に失敗しました。<18>"},
    {kOpenByDoubleClick, &PcOptions::double_click_open,
     "「ダブルクリックで暗号化したファイルを開く。」オプションを変更するためには、このパソコンのAdministrator権限が必要に"
     "なります。",
     "レジストリ操作に失敗しました。<19>"},
};

}  // namespace

OptionsDialog::OptionsDialog(ShellServices& services, PcOptions& flags, OptionsView& view, ui::MessageBoxView& boxes)
    : services_(services), flags_(flags), view_(view), boxes_(boxes) {}

void OptionsDialog::open() {
  read_sendto_state(services_, flags_);
  if (read_association_state(services_, boxes_, flags_) != 0) {
    boxes_.show("このパソコンの情報の取得に失敗しました。<2>", ui::kCaptionNotice, ui::mb::error_box);
  }
  if (!flags_.double_click_open) {
    flags_.reencrypt_on_save = flags_.reencrypt_same_key = false;
  } else if (!flags_.reencrypt_on_save) {
    flags_.reencrypt_same_key = false;
  }
  revert();
}

void OptionsDialog::show(const PcOptions& options) {
  view_.set_checked(OptionBox::sendto, options.sendto_present);
  view_.set_checked(OptionBox::double_click_open, options.double_click_open);
  view_.set_checked(OptionBox::reencrypt_on_save, options.reencrypt_on_save);
  view_.set_checked(OptionBox::reencrypt_same_key, options.reencrypt_same_key);
}

void OptionsDialog::revert() {
  pending_ = flags_;
  show(pending_);
}

void OptionsDialog::box_clicked(OptionBox box, bool checked) {
  switch (box) {
    case OptionBox::sendto:
      pending_.sendto_present = checked;
      return;
    case OptionBox::double_click_open:
      pending_.double_click_open = checked;
      if (!checked) pending_.reencrypt_on_save = pending_.reencrypt_same_key = false;
      break;
    case OptionBox::reencrypt_on_save:
      pending_.reencrypt_on_save = pending_.reencrypt_same_key = checked;
      break;
    case OptionBox::reencrypt_same_key:
      pending_.reencrypt_same_key = checked;
      return;
  }
  view_.set_checked(OptionBox::reencrypt_on_save, pending_.reencrypt_on_save);
  view_.set_checked(OptionBox::reencrypt_same_key, pending_.reencrypt_same_key);
}

void OptionsDialog::ok() {
  const char* dependency = pending_.reencrypt_on_save && !pending_.double_click_open    ? kOption2NeedsOption1
                           : pending_.reencrypt_same_key && !pending_.reencrypt_on_save ? kOption3NeedsOption2
                                                                                         : nullptr;
  if (dependency) {
    boxes_.show(dependency, ui::kCaptionNotice, ui::mb::warning_box);
    revert();
    return;
  }
  if (boxes_.show("設定を変更します。よろしいですか？", ui::kCaptionConfirm, ui::mb::question_box) != ui::answer::ok) {
    revert();
    return;
  }
  // The shortcut follows the box on every confirmed OK, so a deleted one
  // comes back; its failure does not stop the association options.
  flags_.sendto_present = pending_.sendto_present;
  if (flags_.sendto_present) {
    if (create_sendto_shortcut(services_) == 0) {
      boxes_.show("ショートカットの作成に失敗しました。", ui::kCaptionNotice, ui::mb::error_box);
    }
  } else {
    remove_sendto_shortcuts(services_);
  }
  if (!apply_association_options()) {
    // The three flags keep what they were (the SendTo flag already holds
    // the pending value); the boxes and pending copies go back to them.
    revert();
    return;
  }
  flags_ = pending_;
}

bool OptionsDialog::apply_association_options() {
  for (const AssociationOption& option : kApplyOrder) {
    const bool wanted = pending_.*option.flag;
    if (wanted == flags_.*option.flag) continue;
    const platform::RegistryStatus status =
        wanted ? add_option(services_, option.option) : remove_option(services_, option.option);
    if (status == 0) continue;
    if (status == kAccessDenied) {
      boxes_.show(option.administrator_text, ui::kCaptionNotice, ui::mb::warning_box);
    } else {
      boxes_.show(conversion::compose_code_text(option.registry_text, status), ui::kCaptionNotice,
                  ui::mb::error_box | ui::mb::retry_cancel);
    }
    return false;
  }
  return true;
}

}  // namespace kestrove::shell
