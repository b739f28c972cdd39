// Passwords at a console: echo is switched off for the line and switched on
// again on every way out, including Ctrl+C (the console keeps its mode after
// the program ends).
#include <windows.h>

#include "platform/console.h"
#include "tools/keyloft/terminal_input.h"

namespace keyloft {
namespace {

HANDLE g_input = nullptr;
DWORD g_saved_mode = 0;
volatile LONG g_echo_off = 0;

BOOL WINAPI restore_echo(DWORD) {
  if (g_echo_off) SetConsoleMode(g_input, g_saved_mode);
  return FALSE;  // the default handler ends the program
}

class EchoOff {
 public:
  EchoOff() {
    g_input = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(g_input, &g_saved_mode)) return;
    SetConsoleCtrlHandler(restore_echo, TRUE);
    g_echo_off = SetConsoleMode(g_input, g_saved_mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) ? 1 : 0;
    active_ = true;
  }
  ~EchoOff() {
    if (!active_) return;
    if (g_echo_off) SetConsoleMode(g_input, g_saved_mode);
    g_echo_off = 0;
    SetConsoleCtrlHandler(restore_echo, FALSE);
    kestrove::platform::write_console(stderr, "\n");  // the line end the console did not show
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  bool active_ = false;
};

}  // namespace

bool input_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool read_secret_line(std::string& cp932_line) {
  if (!input_is_terminal()) return kestrove::platform::read_console_line(cp932_line);
  const EchoOff quiet;
  return kestrove::platform::read_console_line(cp932_line);
}

// The C runtime gives the arguments in the ANSI code page, which is CP932.
bool argument_text(const char* argument, std::string& cp932_text) {
  cp932_text = argument;
  return true;
}

}  // namespace keyloft
