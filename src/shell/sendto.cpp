#include "shell/sendto.h"

#include <array>

#include "platform/file_system.h"
#include "text/cp932.h"

namespace kestrove::shell {
namespace {

struct ShortcutFiles {
  platform::Path program;
  std::array<platform::Path, 3> files;  // older encrypting, older decrypting, the shortcut: the removal order
  const platform::Path& shortcut() const { return files[2]; }
};

// The program's file name without its extension.
std::string base_name(const std::string& program) {
  const std::size_t slash = text::find_last_char(program, '\\');
  std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
  const std::size_t dot = text::find_last_char(name, '.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

bool shortcut_files(ShellServices& services, ShortcutFiles& out) {
  platform::Path folder;
  if (!services.program_path(out.program) || !services.sendto_folder(folder)) return false;
  const std::string stem = folder + "\\" + base_name(out.program);
  out.files = {stem + "(暗号化).lnk", stem + "(復号化).lnk", stem + ".lnk"};
  return true;
}

bool exists(platform::FileSystem& files, const platform::Path& path) {
  return files.get_attributes(path) != platform::attribute::invalid;
}

}  // namespace

int read_sendto_state(ShellServices& services, PcOptions& options) {
  options.sendto_present = false;
  ShortcutFiles shortcuts;
  if (!shortcut_files(services, shortcuts)) return -1;
  const bool older_pair = exists(services.files, shortcuts.files[0]) && exists(services.files, shortcuts.files[1]);
  options.sendto_present = older_pair || exists(services.files, shortcuts.shortcut());
  return options.sendto_present ? 0 : -1;
}

int remove_sendto_shortcuts(ShellServices& services) {
  ShortcutFiles shortcuts;
  if (!shortcut_files(services, shortcuts)) return 0;
  for (const platform::Path& file : shortcuts.files) services.files.delete_file(file);
  return 1;
}

int create_sendto_shortcut(ShellServices& services) {
  ShortcutFiles shortcuts;
  if (!shortcut_files(services, shortcuts)) return 0;
  remove_sendto_shortcuts(services);
  platform::Shortcut shortcut;
  shortcut.link = shortcuts.shortcut();
  shortcut.target = shortcuts.program;
  return services.create_shortcut(shortcut) != 0 ? 1 : 0;
}

}  // namespace kestrove::shell
