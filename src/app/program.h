#pragma once
// The program's process-wide records, the services it works through and the
// views it talks through; and the whole program as the terminal front end
// runs it (start-up, the main window's opening, the command-line run and
// the ending). The Windows main window drives the same pieces from its
// messages.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/instance.h"
#include "keys/key_services.h"
#include "keys/key_set.h"
#include "keys/key_state.h"
#include "keys/settings.h"
#include "shell/pc_options.h"
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
  shell::PcOptions pc_options;
};

// The work of one progress dialog, run on the dialog's worker thread with
// the dialog as its view.
using RunWorker = std::function<void(ui::RunView&)>;

// How the program talks to the user.
struct ProgramViews {
  ui::MessageBoxView& boxes;  // the main window's, or ownerless before it exists
  ui::PasswordPromptView& password;
  ui::KeyChoiceView& key_choice;
  ui::FolderPromptView& folder;
  ui::KeyStatusView* status = nullptr;  // the main window's lines, once it exists
  // The popup for arguments without a switch: "-E", "-D", or "" (cancelled).
  std::function<std::string()> choose_operation{};
  // Opens the progress dialog of one run, which carries out `worker`; 1 when
  // the run completed and the dialog closed itself, 0 otherwise.
  std::function<int(Operation, const RunWorker& worker)> run_conversion{};
  // The open dialog of the main window's buttons: the chosen file, or "" when
  // the user cancelled.
  std::function<std::string(Operation)> choose_file{};
  // The options dialog; not there in a program without one.
  std::function<void()> open_options{};
  // Shown instead of the main window when there is nothing to run (terminal).
  std::function<void(const ProgramState&)> show_idle{};
};

struct ProgramServices {
  keys::KeyServices keys;
  platform::FileSystem& files;
  std::string system_directory;
  shell::AssociationReader read_association_state{};  // empty: the association reads as off
};

// The first argument as a switch: "-E", "-D" and "-F" exactly and in case;
// anything else is a file.
std::string switch_of(const std::vector<std::string>& arguments);

// A run view that carries out the worker at once, on the calling thread,
// and gives the progress dialog's result: 1 when the run completed.
int run_in_view(ui::RunView& view, const RunWorker& worker);

// Runs the program as a terminal program; the result is the process's exit
// status: 0 only when a requested run completed (or, without arguments,
// when the keys and settings were loaded and written back).
int run_program(const std::vector<std::string>& arguments, ProgramState& state, ProgramServices& services,
                ProgramViews& views);

}  // namespace kestrove::app
