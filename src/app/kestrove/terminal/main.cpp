// kestrove in a terminal: command-line runs of the program (-E files, -D
// files, or files and a question), with every message box printed and
// answered in the terminal, or read line by line from standard input.
#include <clocale>
#include <string>
#include <vector>

#include "app/program.h"
#include "keys/key_services.h"
#include "platform/file_system.h"
#include "platform/system_info.h"
#include "text/cp932.h"
#include "ui/terminal/terminal_io.h"
#include "ui/terminal/terminal_message_box.h"
#include "ui/terminal/terminal_prompts.h"
#include "ui/terminal/terminal_run_view.h"

namespace {

using namespace kestrove;

constexpr const char* kUsage =
    "使い方:\n"
    "  kestrove -E ファイルまたはフォルダ...   暗号化します\n"
    "  kestrove -D ファイルまたはフォルダ...   復号化します\n"
    "  kestrove ファイルまたはフォルダ...      暗号化か復号化かを尋ねます\n"
    "キーはリムーバブルドライブのキーデバイス (KESTROVE_DRIVES=E=/media/usb) から読み込みます。\n";

std::string ask_operation() {
  ui::terminal::print("\n[暗号化/復号化]\n");
  switch (ui::terminal::choose({"暗号化を行う", "復号化を行う", "キャンセル"})) {
    case 0: return "-E";
    case 1: return "-D";
    default: return "";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> arguments;
  // Arguments come in the terminal's encoding; inside, texts are CP932.
  for (int i = 1; i < argc; ++i) {
    std::string cp932;
    arguments.push_back(text::utf8_to_cp932(argv[i], cp932) ? cp932 : std::string(argv[i]));
  }
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    ui::terminal::print(kUsage);
    return 0;
  }

  ui::terminal::TerminalMessageBox boxes;
  if (app::switch_of(arguments) == "-F") {
    boxes.show("ダブルクリックで開く（-F）は Windows 版のケストローブで利用できます。\n"
               "このコンピュータでは「kestrove -D ファイル」で復号化してください。",
               ui::kCaptionNotice, ui::mb::warning_box);
    return 1;
  }

  ui::terminal::TerminalPasswordPrompt password;
  ui::terminal::TerminalKeyChoice key_choice;
  ui::terminal::TerminalFolderPrompt folder;
  ui::terminal::TerminalKeyStatus status;
  app::ProgramViews views{boxes, password, key_choice, folder, &status};
  views.choose_operation = ask_operation;
  views.run_conversion = [](app::Operation operation, const app::RunWorker& worker) {
    ui::terminal::TerminalRunView view(operation == app::Operation::encrypt ? "★ファイルの暗号化を行います。"
                                                                            : "★ファイルの復号化を行います。");
    return app::run_in_view(view, worker);
  };
  views.show_idle = [](const app::ProgramState&) { ui::terminal::print(kUsage); };

  app::ProgramServices services{keys::system_key_services(), platform::system_file_system(),
                                platform::system_directory()};
  auto state = std::make_unique<app::ProgramState>();
  return app::run_program(arguments, *state, services, views);
}
