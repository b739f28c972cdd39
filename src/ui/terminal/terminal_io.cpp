#include "ui/terminal/terminal_io.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"

namespace kestrove::ui::terminal {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void on_interrupt(int) { g_interrupted.store(true); }

std::string trimmed(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

}  // namespace

bool input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }
bool output_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

void print(const std::string& cp932_text) { platform::write_console(stdout, cp932_text); }

bool read_line(std::string& cp932_line) { return platform::read_console_line(cp932_line); }

bool read_secret_line(std::string& cp932_line) {
  if (!input_is_terminal()) {
    const bool ok = read_line(cp932_line);
    if (ok) print("******\n");  // the transcript shows that an answer came, not what
    return ok;
  }
  termios old_mode{};
  ::tcgetattr(STDIN_FILENO, &old_mode);
  termios quiet = old_mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  const bool ok = read_line(cp932_line);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old_mode);
  print("\n");
  return ok;
}

int choose(const std::vector<std::string>& labels) {
  for (;;) {
    std::string prompt;
    for (std::size_t i = 0; i < labels.size(); ++i) {
      prompt += "[" + std::to_string(i + 1) + "] " + labels[i] + (i + 1 < labels.size() ? "  " : "");
    }
    print(prompt + " > ");
    std::string line;
    if (!read_line(line)) {
      print("\n");
      return -1;
    }
    line = trimmed(line);
    if (!input_is_terminal()) print(line + "\n");  // a script's answer shows in the transcript
    for (std::size_t i = 0; i < labels.size(); ++i) {
      if (line == std::to_string(i + 1) || line == labels[i]) return static_cast<int>(i);
    }
  }
}

void install_interrupt_as_stop() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
}

bool interrupt_requested() { return g_interrupted.load(); }
void clear_interrupt() { g_interrupted.store(false); }

}  // namespace kestrove::ui::terminal
