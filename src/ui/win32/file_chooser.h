#pragma once
// The standard open dialog for the main window's two buttons: any file for
// an encryption, encrypted files (*.cp*) for a decryption.
#include <windows.h>

#include <string>

namespace kestrove::ui::win32 {

// The chosen file's full path; empty when the user cancelled or the dialog
// failed.
std::string choose_file_to_open(HWND owner, bool for_encryption);

}  // namespace kestrove::ui::win32
