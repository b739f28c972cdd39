#pragma once
// What keyloft reads from its user: passwords without echo when they are
// typed at a terminal, one line of standard input otherwise, and the texts
// of its command line in the program's CP932.
#include <string>

namespace keyloft {

// Whether standard input is a terminal (a console on Windows).
bool input_is_terminal();

// One line, in CP932; typed at a terminal it is not echoed. False at the end
// of input.
bool read_secret_line(std::string& cp932_line);

// A command-line argument in CP932; false when CP932 cannot hold it.
bool argument_text(const char* argument, std::string& cp932_text);

}  // namespace keyloft
