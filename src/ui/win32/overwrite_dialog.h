#pragma once
// The overwrite question (124), asked by a worker thread before it replaces
// an existing output: はい, はい(すべて), いいえ or キャンセル.
#include <windows.h>

#include <string>

namespace kestrove::ui::win32 {

// Opens the question modally on the calling thread, owned by `owner` (the
// progress dialog), with `file_name` shown; one of the overwrite:: answers.
// Closing the window, or a dialog that cannot open, answers cancel.
int ask_overwrite_question(HINSTANCE instance, HWND owner, const std::string& file_name);

}  // namespace kestrove::ui::win32
