#pragma once
// Text for the terminal: the program's CP932 bytes in the terminal's own
// encoding (converted on POSIX; the console code page on Windows is 932).
#include <cstdio>
#include <string_view>

namespace kestrove::platform {

void write_console(std::FILE* stream, std::string_view cp932_text);

// A line from the terminal or from standard input, in CP932, without the
// line end; false at the end of input.
bool read_console_line(std::string& cp932_line);

}  // namespace kestrove::platform
