#pragma once
// The folder the user names before a run when "場所を指定できるようにする。"
// is on: it must look like a folder path and take a test file.
#include <string>

#include "platform/file_system.h"
#include "ui/folder_prompt_view.h"

namespace kestrove::targets {

inline constexpr int kNotAFolderPath = -200;

// 0 when usable, -200 when the text is no folder path (not "X:..." of three
// characters or more, nor a network path), else the Win32 error of the
// write test.
int check_destination_folder(platform::FileSystem& files, const std::string& path);

// Asks until a usable folder is given (stored as typed) or the user cancels:
// 1 accepted, 0 cancelled.
int destination_folder_dialog(ui::FolderPromptView& view, platform::FileSystem& files, std::string& destination);

}  // namespace kestrove::targets
