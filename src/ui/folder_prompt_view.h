#pragma once
// The destination folder dialog as its logic sees it: a text the user types
// (or browses to), OK or cancel, and message boxes owned by the dialog.
#include <string>

#include "ui/message_box.h"

namespace kestrove::ui {

class FolderPromptView {
 public:
  virtual ~FolderPromptView() = default;
  // Opens the dialog when it is not open (the edit box starts empty) and
  // waits: true with the text on OK, false on cancel or close.
  virtual bool ask(std::string& folder_text) = 0;
  virtual MessageBoxView& boxes() = 0;
  virtual void close(int result) = 0;
};

}  // namespace kestrove::ui
