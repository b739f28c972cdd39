#pragma once
// The program from its command line to its end, as the terminal front end
// runs it: the switch, the keys and settings, the file arguments into the
// target list, the instance claim, the run, and the settings and last-access
// time written back at the end. The Windows main window drives the same
// pieces from its messages.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/instance.h"
#include "keys/key_services.h"
#include "keys/key_set.h"
#include "keys/key_state.h"
#include "keys/settings.h"
#include "targets/target_list.h"
#include "ui/folder_prompt_view.h"
#include "ui/key_views.h"
#include "ui/run_view.h"

namespace kestrove::app {

enum class Operation { encrypt = 1, decrypt = 2 };

// What start-up sets and the rest of the program reads.
struct RunState {
  std::string run_switch;  // "-E", "-D", "-F" or empty
  bool command_line_run = false;
  bool open_in_place_run = false;
};

// The process-wide records, one of each.
struct ProgramState {
  keys::KeyState keys;
  keys::Settings settings;
  keys::CurrentKey current_key;
  targets::TargetList targets;
  RunState run;
  Instance instance;
  std::string destination_folder;
};

// How the program talks to the user.
struct ProgramViews {
  ui::MessageBoxView& boxes;
  ui::PasswordPromptView& password;
  ui::KeyChoiceView& key_choice;
  ui::FolderPromptView& folder;
  ui::KeyStatusView* status = nullptr;
  // The popup for arguments without a switch: "-E", "-D", or "" (cancelled).
  std::function<std::string()> choose_operation;
  // The progress dialog of one run.
  std::function<std::unique_ptr<ui::RunView>(Operation)> make_run_view;
  // Shown instead of the main window when there is nothing to run.
  std::function<void(const ProgramState&)> show_idle;
};

struct ProgramServices {
  keys::KeyServices keys;
  platform::FileSystem& files;
  std::string system_directory;
};

// The first argument as a switch: "-E", "-D" and "-F" exactly and in case;
// anything else is a file.
std::string switch_of(const std::vector<std::string>& arguments);

// Runs the program; the result is the process's exit status: 0 only when a
// requested run completed (or, without arguments, when the keys and
// settings were loaded and written back).
int run_program(const std::vector<std::string>& arguments, ProgramState& state, ProgramServices& services,
                ProgramViews& views);

}  // namespace kestrove::app
