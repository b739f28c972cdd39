#include "ui/terminal/terminal_prompts.h"

#include "platform/file_system.h"
#include "text/cp932.h"
#include "ui/terminal/terminal_io.h"

namespace kestrove::ui::terminal {
namespace {

bool blank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos || s == "　"; }

}  // namespace

PasswordAnswer TerminalPasswordPrompt::ask(const PasswordPrompt& prompt) {
  print("\n[" + prompt.caption + "]\n" + prompt.message + "\n");
  if (!prompt.drive_text.empty()) print(prompt.drive_text + "\n");
  print("パスワード: ");
  PasswordAnswer answer;
  std::string line;
  if (!read_secret_line(line)) {
    print("\n");
    return answer;
  }
  answer.ok = true;
  answer.text = line.substr(0, 6);  // the field holds six characters
  return answer;
}

int TerminalKeyChoice::choose(const KeyChoiceList& list) {
  print("\n[暗号化キーの選択　- ケストローブ]\n暗号化に使用するキーを選択してください。\n");
  std::vector<std::string> labels = list.lines;
  labels.emplace_back("キャンセル");
  const int chosen = terminal::choose(labels);
  if (chosen < 0 || chosen == static_cast<int>(list.lines.size())) return kKeyChoiceCancelled;
  return chosen;
}

void TerminalKeyStatus::set_status_line(const std::string& text) {
  if (!blank(text)) print(text + "\n");
}

void TerminalKeyStatus::set_lock_display(const std::string& text) {
  if (!blank(text)) print(text + "\n");
}

bool TerminalFolderPrompt::ask(std::string& folder_text) {
  print("\n[変換先フォルダ指定　- ケストローブ]\n変換先フォルダ: ");
  std::string line;
  if (!read_line(line)) {
    print("\n");
    return false;
  }
  if (!input_is_terminal()) print(line + "\n");
  folder_text = line;
  if (!line.empty() && line[0] == '/') {
    std::string utf8;
    platform::Path windows;
    if (text::cp932_to_utf8(line, utf8) && platform::from_native_path(utf8, windows)) folder_text = windows;
  }
  return true;
}

}  // namespace kestrove::ui::terminal
