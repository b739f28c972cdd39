#include "ui/win32/message_box.h"

namespace kestrove::ui::win32 {

int Win32MessageBox::show(const std::string& text, const std::string& caption, std::uint32_t flags) {
  if (owner_ == nullptr) flags |= MB_TOPMOST;
  return MessageBoxA(owner_, text.c_str(), caption.c_str(), flags);
}

}  // namespace kestrove::ui::win32
