// Drive types and the critical-error mode of Windows.
#include <windows.h>

#include "platform/drives.h"

namespace kestrove::platform {

unsigned drive_type(const std::string& root) { return GetDriveTypeA(root.c_str()); }

// The drive scan turns the box off before each write test, and every end of
// the test sets the mode back to 0 (not to what it was before).
QuietDriveErrors::QuietDriveErrors() { SetErrorMode(SEM_FAILCRITICALERRORS); }
QuietDriveErrors::~QuietDriveErrors() { SetErrorMode(0); }

}  // namespace kestrove::platform
