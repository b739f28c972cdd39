#pragma once
// Win32 share modes between openers of one file, emulated with open file
// description locks on four bytes far beyond any real content: one byte each
// for "open for reading", "open for writing", "refuses readers", "refuses
// writers". Every opener holds shared locks on its bytes, so a conflict is
// "somebody holds this byte". The locks go with the descriptor, also when a
// process dies, and other processes see them.
#include "platform/file_system.h"

namespace kestrove::platform::posix {

// Checks the share rules against the other openers and takes this opener's
// locks; false means a sharing violation (32).
bool claim_share(int fd, FileAccess access, unsigned share_mode);

// Whether any descriptor has the file at `native_path` open through this
// file layer (deleting or moving it then fails with 32, as on Windows).
bool is_open_elsewhere(const std::string& native_path);

}  // namespace kestrove::platform::posix
