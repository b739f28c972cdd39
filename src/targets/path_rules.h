#pragma once
// Two small rules about chosen paths: which folders may never be converted,
// and the base folder below which the relative structure of a run is kept.
#include <string>
#include <string_view>

namespace kestrove::targets {

// 1 when `path` may be converted, 0 when it is protected: anything inside the
// system directory or inside a folder named "Program Files" (any case, any
// drive), and the root of the system drive. `system_directory` is what
// GetSystemDirectoryA gives, such as "C:\WINDOWS\system32".
int is_path_allowed(std::string_view path, std::string_view system_directory);

// The part of `path` before its last "\" (a trail byte 0x5C of a double-byte
// character is no separator): "D:\data\a.txt" gives "D:\data".
std::string record_base_folder(std::string_view path);

}  // namespace kestrove::targets
