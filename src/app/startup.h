#pragma once
// Start-up from the command line to the moment the main window opens: the
// switch (or the question for arguments without one), the checks of a
// double-click start, the keys and settings, and the file arguments walked
// into the target list. Every message here is an ownerless, topmost box.
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"

namespace kestrove::app {

inline constexpr int kEarlyEnd = 1;  // exit status of every early end

// Empty: open the main window. Otherwise the program ends now with this
// exit status (the user has been told why, or cancelled).
std::optional<int> start_up(const std::vector<std::string>& arguments, ProgramState& state,
                            ProgramServices& services, ProgramViews& views);

// The name part of a path without folder and extension, as the length check
// of a double-click start counts it: "C:\a\報告書.doc.cp3" gives "報告書.doc".
std::string file_title_of(const std::string& path);

// Whether a double-click start would make a work path that is too long:
// expanded temporary folder + file title + 26 reaches 260.
bool open_in_place_path_too_long(const std::string& expanded_temp_folder, const std::string& file_argument);

}  // namespace kestrove::app
