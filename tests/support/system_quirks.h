#pragma once
// Where the test host differs from Windows in ways no program can change.

namespace kestrove::testing {

// Wine run as root opens read-only files for writing (its read-only is the
// POSIX write bits, which root ignores).
bool read_only_files_are_writable();

}  // namespace kestrove::testing
