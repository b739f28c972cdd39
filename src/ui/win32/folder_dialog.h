#pragma once
// The folder dialog (115): an edit box for the path, 参照 for the shell's
// folder browser, OK and キャンセル. Used for the destination of a run and
// for saving an edited file elsewhere; the check of the folder is the
// caller's, and the dialog stays open for a correction until it is closed.
#include <windows.h>

#include <string>

#include "ui/folder_prompt_view.h"
#include "ui/win32/dialog.h"

namespace kestrove::ui::win32 {

// The shell's folder browser over the whole name space, file-system folders
// only. True with the chosen folder's path in `out`; false when cancelled.
bool browse_for_folder(HWND owner, std::string& out);

class Win32FolderDialog final : public FolderPromptView, private PromptDialog {
 public:
  Win32FolderDialog(HINSTANCE instance, HWND owner) : PromptDialog(instance, owner) {}
  using PromptDialog::set_owner;

  bool ask(std::string& folder_text) override;
  MessageBoxView& boxes() override { return prompt_boxes(); }
  void close(int result) override;

 private:
  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace kestrove::ui::win32
