#pragma once
// The question for file arguments without a switch: a popup menu
// 暗号化を行う / 復号化を行う / キャンセル at the mouse.
#include <windows.h>

#include <string>

namespace kestrove::ui::win32 {

// "-E" or "-D" for the chosen item; empty when the user cancelled or
// clicked outside the menu.
std::string choose_operation(HINSTANCE instance);

}  // namespace kestrove::ui::win32
