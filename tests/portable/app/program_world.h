#pragma once
// A prepared key device on E:, the PC's key for its user, and scripted views
// for every dialog of the program: the world of the program and main window
// tests.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "keys/key_state.h"
#include "platform/system_info.h"
#include "portable/keys/key_test_world.h"
#include "support/scripted_run_view.h"

namespace kestrove::app {

using testing::DriveKind;

class ScriptedFolderPrompt : public ui::FolderPromptView {
 public:
  explicit ScriptedFolderPrompt(ui::MessageBoxView& boxes) : boxes_(boxes) {}
  std::deque<std::string> answers;  // folder texts; an empty script cancels
  bool ask(std::string& text) override {
    if (answers.empty()) return false;
    text = answers.front();
    answers.pop_front();
    return true;
  }
  ui::MessageBoxView& boxes() override { return boxes_; }
  void close(int) override {}

 private:
  ui::MessageBoxView& boxes_;
};

constexpr const char* kPassword = "abc123";
constexpr const char* kRecordKey = "RK5d7Q2x";

struct ProgramWorld {
  testing::KeyTestWorld keys;
  ScriptedFolderPrompt folder{keys.boxes};
  std::vector<std::unique_ptr<testing::ScriptedRunView>> runs;
  std::string chosen_operation;
  std::deque<std::string> chosen_files;  // answers of the open dialog; empty cancels
  bool idle_shown = false;
  ProgramServices services{keys.services, keys.drives, platform::system_directory()};
  ProgramViews views{keys.boxes, keys.password, keys.key_choice, folder, &keys.window};

  explicit ProgramWorld(const std::vector<std::string>& groups = {"営業部"}) {
    keys.drives.add('E', DriveKind::removable);
    keys.prepare_device('E', kPassword, kRecordKey, groups);
    keys.give_pc_key(kRecordKey);
    views.choose_operation = [this] { return chosen_operation; };
    views.choose_file = [this](Operation) {
      if (chosen_files.empty()) return std::string();
      std::string path = chosen_files.front();
      chosen_files.pop_front();
      return path;
    };
    views.run_conversion = [this](Operation, const RunWorker& worker) {
      runs.push_back(std::make_unique<testing::ScriptedRunView>());
      return run_in_view(*runs.back(), worker);
    };
    views.show_idle = [this](const ProgramState&) { idle_shown = true; };
  }

  // The program started without arguments, up to its open main window.
  MainWindow& open_main_window() {
    state = std::make_unique<ProgramState>();
    EXPECT_FALSE(start_up({}, *state, services, views).has_value());
    window = std::make_unique<MainWindow>(*state, services, views);
    EXPECT_TRUE(window->open());
    return *window;
  }

  int run(const std::vector<std::string>& arguments) {
    state = std::make_unique<ProgramState>();
    return run_program(arguments, *state, services, views);
  }
  bool wrote_access_time() const { return keys.settings_text('E').find("ACCESSTIME=") != std::string::npos; }
  std::string last_box() const { return keys.boxes.shown.empty() ? std::string() : keys.boxes.shown.back().text; }

  std::unique_ptr<ProgramState> state;
  std::unique_ptr<MainWindow> window;
};

}  // namespace kestrove::app
