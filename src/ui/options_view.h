#pragma once
// The four check boxes of the options dialog, as its logic sets them.
namespace kestrove::ui {

// By their control ids.
enum class OptionBox : int {
  sendto = 1016,              // "SendToにケストローブのショートカットを作成する。"
  double_click_open = 1017,   // "ダブルクリックで暗号化したファイルを開く。"
  reencrypt_on_save = 1018,   // "ダブルクリックで開いた暗号化ファイルを保存時に自動的に暗号化する。"
  reencrypt_same_key = 1042,  // "元ファイルと同じキーで暗号化する。"
};

class OptionsView {
 public:
  virtual ~OptionsView() = default;
  virtual void set_checked(OptionBox box, bool checked) = 0;
};

}  // namespace kestrove::ui
