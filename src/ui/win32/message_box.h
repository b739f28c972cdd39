#pragma once
// Message boxes over MessageBoxA. A box with an owner window belongs to it;
// a box without one (before the main window exists) is made topmost.
#include <windows.h>

#include "ui/message_box.h"

namespace kestrove::ui::win32 {

class Win32MessageBox final : public MessageBoxView {
 public:
  explicit Win32MessageBox(HWND owner = nullptr) : owner_(owner) {}

  HWND owner() const { return owner_; }
  void set_owner(HWND owner) { owner_ = owner; }

  int show(const std::string& text, const std::string& caption, std::uint32_t flags) override;

 private:
  HWND owner_;
};

}  // namespace kestrove::ui::win32
