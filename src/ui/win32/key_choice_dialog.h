#pragma once
// The key choice before an encryption (109, with キャンセル and a close box)
// and before a re-encryption (128, 選択 only; Escape still cancels).
#include <windows.h>

#include <string>
#include <vector>

#include "ui/key_views.h"
#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {

// Sets the list box's horizontal scroll extent so that the widest of
// `names` fits (measured in the list's font, plus a vertical scroll bar,
// `margin` and 5 pixels). 1, or the Win32 error of the step that failed.
int fit_horizontal_extent(HWND list, const std::vector<std::string>& names, int margin);

class Win32KeyChoiceDialog final : public KeyChoiceView, private PromptDialog {
 public:
  Win32KeyChoiceDialog(HINSTANCE instance, HWND owner) : PromptDialog(instance, owner) {}
  using PromptDialog::set_owner;

  int choose(const KeyChoiceList& list) override;
  MessageBoxView& boxes() override { return prompt_boxes(); }
  void close(int result) override;

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
  void fill_list();

  const KeyChoiceList* opening_ = nullptr;  // the list the dialog opens with
};

}  // namespace kestrove::ui::win32
