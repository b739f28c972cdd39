#pragma once
// The ".cp3" association under HKEY_CLASSES_ROOT: the file type "cp3_file"
// whose open command starts this program with "-F" and the file, its icon,
// and the marker keys of the three PC-wide options kept in the same branch.
// Writing needs the PC's Administrator rights; a refusal is status 5.
#include <string>

#include "platform/registry.h"
#include "shell/pc_options.h"
#include "shell/shell_services.h"
#include "ui/message_box.h"

namespace kestrove::shell {

inline constexpr const char* kExtensionKey = ".cp3";
inline constexpr const char* kFileTypeKey = "cp3_file";
inline constexpr const char* kOpenCommandKey = "cp3_file\\shell\\open\\command";
inline constexpr const char* kDefaultIconKey = "cp3_file\\DefaultIcon";

// The option numbers: 1 open by double-click (the association itself),
// 2 re-encrypt on save, 3 with the key that opened the file.
inline constexpr int kOpenByDoubleClick = 1;
inline constexpr int kReencryptOnSave = 2;
inline constexpr int kReencryptSameKey = 3;

// "\"PROGRAM\" \"-F\" \"%1\"": the text the shell runs, and the text that
// says whether the association is this copy's.
std::string command_text(const std::string& program_path);

// Option 1 registers the association with its marker; 2 and 3 create their
// marker only. Other numbers do nothing. 0 or the first failing status;
// steps already made stay.
platform::RegistryStatus add_option(ShellServices& services, int option);
// Option 1 removes ".cp3" and the whole "cp3_file" branch (markers 2 and 3
// with it); a PC without them gives 0. 2 and 3 remove their marker; a missing
// marker gives 2.
platform::RegistryStatus remove_option(ShellServices& services, int option);
// Deletes a key of HKEY_CLASSES_ROOT with everything below it.
platform::RegistryStatus delete_tree(platform::Registry& registry, const std::string& path);

// Sets the three association flags from the registry: all off when the
// association is another program's. 0, or -9 when the state cannot be read
// (after a message for a failing size query).
int read_association_state(ShellServices& services, ui::MessageBoxView& boxes, PcOptions& options);

}  // namespace kestrove::shell
