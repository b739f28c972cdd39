// Passwords at a terminal: echo is switched off for the line and switched on
// again on every way out, including an interrupt.
#include <csignal>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "text/cp932.h"
#include "tools/keyloft/terminal_input.h"

namespace keyloft {
namespace {

struct termios g_saved_mode;
volatile std::sig_atomic_t g_echo_off = 0;

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void restore_echo_and_reraise(int signal_number) {
  if (g_echo_off) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_mode);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &g_saved_mode) != 0) return;
    for (int s : kRestoringSignals) previous_[index(s)] = std::signal(s, restore_echo_and_reraise);
    struct termios quiet = g_saved_mode;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the line end still shows
    g_echo_off = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    active_ = true;
  }
  ~EchoOff() {
    if (!active_) return;
    if (g_echo_off) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved_mode);
    g_echo_off = 0;
    for (int s : kRestoringSignals) std::signal(s, previous_[index(s)]);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  static std::size_t index(int s) {
    for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i) {
      if (kRestoringSignals[i] == s) return i;
    }
    return 0;
  }
  void (*previous_[std::size(kRestoringSignals)])(int) = {};
  bool active_ = false;
};

}  // namespace

bool input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

bool read_secret_line(std::string& cp932_line) {
  if (!input_is_terminal()) return kestrove::platform::read_console_line(cp932_line);
  const EchoOff quiet;
  return kestrove::platform::read_console_line(cp932_line);
}

bool argument_text(const char* argument, std::string& cp932_text) {
  return kestrove::text::utf8_to_cp932(argument, cp932_text);
}

}  // namespace keyloft
