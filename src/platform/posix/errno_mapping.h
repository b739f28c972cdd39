#pragma once
#include <string>

#include "platform/error_codes.h"

namespace kestrove::platform::posix {

enum class Operation { open_file, create_file, make_folder, move, other };

// The Win32 error that the same fault gives on Windows. For a missing name
// Windows tells a missing file (2) from a missing folder on the way (3).
ErrorCode win32_error_from_errno(int err, Operation operation, const std::string& native_path);

// Records the mapped error as the thread's last error; returns false.
bool fail_with_errno(int err, Operation operation, const std::string& native_path);

}  // namespace kestrove::platform::posix
