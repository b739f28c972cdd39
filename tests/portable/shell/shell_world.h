#pragma once
// The shell integration over a private copy of HKEY_CLASSES_ROOT (a key of
// its own under HKEY_CURRENT_USER\Software, removed afterwards), a SendTo
// folder and a program file in a fresh temporary folder, and the system's
// own shortcut writer. Registry statuses can be injected per key path.
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "shell/pc_options.h"
#include "shell/shell_services.h"
#include "support/scripted_message_box.h"
#include "support/temp_folder.h"

namespace kestrove::testing {

class PrivateClassesRoot : public platform::Registry {
 public:
  PrivateClassesRoot();
  ~PrivateClassesRoot() override;

  // By the path under HKEY_CLASSES_ROOT, as the program names it.
  std::map<std::string, platform::RegistryStatus> failing_creates;
  std::map<std::string, platform::RegistryStatus> failing_opens;
  std::map<std::string, platform::RegistryStatus> failing_deletes;
  std::map<std::string, platform::RegistryStatus> failing_sizes;  // the default value's size query
  std::vector<std::string> created;  // every key created, in order

  platform::RegistryStatus open_key(platform::RegistryRoot root, const std::string& subkey,
                                    platform::RegistryAccess access, platform::RegistryKeyHandle& key) override;
  platform::RegistryStatus create_key(platform::RegistryRoot root, const std::string& subkey,
                                      platform::RegistryKeyHandle& key) override;
  platform::RegistryStatus delete_key(platform::RegistryRoot root, const std::string& subkey) override;

  // Plain access for set-ups and checks, without faults.
  bool exists(const std::string& path);
  // The default value, or "<absent>" when the key is not there.
  std::string value_of(const std::string& path);
  void set_value(const std::string& path, const std::string& text);

 private:
  std::string mapped(const std::string& path) const { return base_ + "\\" + path; }
  platform::RegistryKeyHandle wrap(const std::string& path, platform::RegistryKeyHandle key);

  std::string base_;
};

struct ShellWorld {
  ShellWorld();

  TempFolder temp;
  PrivateClassesRoot registry;
  platform::Path program;  // <temp>\tools\prog.exe
  platform::Path sendto;   // <temp>\SendTo
  bool program_path_readable = true;
  shell::ShellServices services;
  ScriptedMessageBox boxes;

  std::string command() const;  // the open command of this program
  bool shortcut(const std::string& suffix) const;  // SendTo\prog<suffix>.lnk is there
  void make_shortcut_file(const std::string& suffix) const;
};

}  // namespace kestrove::testing
