#pragma once
// What the main window does, apart from drawing itself: its opening (the
// temporary folder, the instance name, the lines), the run of a filled
// target list, the two buttons with and without dropped files, the check
// boxes, the lock and options buttons, and the ending that writes the
// settings back. The Windows dialog and the terminal program call it.
#include <string>
#include <vector>

#include "app/program.h"

namespace kestrove::app {

enum class SettingBox { confirm_overwrite, include_subfolders, delete_original, choose_destination, use_group_key };

inline constexpr const char* kCaption = "■ケストローブ■v1.06B";
inline constexpr const char* kOverwriteCheckQuestion =
    "この設定を無効にすると、同一名のファイルが存在した場合自動的に上書きされます。\n"
    "また、「ダブルクリックで暗号化したファイルを開く」オプションでファイルを開いた場合、"
    "復号化後のファイルと同一名のファイルは自動的に復号化したファイルで上書きされます。\n"
    "「上書き確認する」の設定を無効にしてもよろしいですか？";

class MainWindow {
 public:
  MainWindow(ProgramState& state, ProgramServices& services, ProgramViews& views)
      : state_(state), services_(services), views_(views) {}

  // The opening: the temporary folder is tested, the instance name claimed,
  // the lock, last-access and drive lines shown. False: the window closes
  // and the program ends (the user has been told).
  bool open();

  // The state a check box shows for the settings.
  bool box_checked(SettingBox box) const;
  // A check box was clicked and now shows `checked`; returns the state it
  // must show afterwards (a declined question checks it again).
  bool box_clicked(SettingBox box, bool checked);

  // A filled target list converted: keys, lock, key choice, destination,
  // the progress dialog. True when the run was carried out (completed).
  bool request_run(Operation operation);
  // The command-line run, as the window starts it by itself.
  bool start_command_line_run();

  // The encrypt and decrypt buttons clicked: one file chosen in the open dialog.
  void button_clicked(Operation operation);
  // Files and folders dropped on one of the two buttons.
  void files_dropped(Operation operation, const std::vector<std::string>& paths);
  // The lock button; true when the program must end (the third wrong password).
  bool lock_button();
  // The options button and the popup menu's options item.
  void options_command();

  // The ending: keys again, then the settings and the last-access time go
  // back to the key device. False when the keys could not be loaded (nothing
  // written, nothing to broadcast). The instance name is released either way.
  bool end();

 private:
  // 1: the key and destination are settled for an encryption (or a
  // decryption); 0: the user declined.
  bool choose_key_and_destination(Operation operation);
  bool keys_ready_and_unlocked();
  ui::KeyViews key_views();
  // The lock flag as the registry holds it, when it can be read.
  bool registry_says_locked();
  int choose_and_convert_file(Operation operation);
  int run_conversion(Operation operation);

  ProgramState& state_;
  ProgramServices& services_;
  ProgramViews& views_;
};

// What a progress dialog does at the end of a run of this operation.
using ui::RunEndAction;
RunEndAction run_end_action(Operation operation, ui::RunSignal signal, const RunState& run,
                            const shell::PcOptions& pc_options);

}  // namespace kestrove::app
