#pragma once
// The terminal as the program's screen: text goes out in the terminal's
// encoding; answers come from the keyboard, or line by line from standard
// input when it is not a terminal, so that scripts can drive the program.
#include <string>
#include <vector>

namespace kestrove::ui::terminal {

bool input_is_terminal();
bool output_is_terminal();

// Writes CP932 text to standard output.
void print(const std::string& cp932_text);

// One answer line (CP932); false at the end of input.
bool read_line(std::string& cp932_line);
// The same without echo on a terminal (passwords).
bool read_secret_line(std::string& cp932_line);

// Shows numbered choices and reads until one is chosen by its number or its
// label; returns its index, or -1 at the end of input.
int choose(const std::vector<std::string>& labels);

// Ctrl-C: while installed, an interrupt sets a flag instead of ending the
// program (the run view treats it as the stop button).
void install_interrupt_as_stop();
bool interrupt_requested();
void clear_interrupt();

}  // namespace kestrove::ui::terminal
