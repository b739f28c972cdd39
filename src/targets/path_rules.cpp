#include "targets/path_rules.h"

#include "text/cp932.h"

namespace kestrove::targets {
namespace {

// ASCII letters lowered byte by byte, as the protected-folder test has always
// compared.
std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

int is_path_allowed(std::string_view path, std::string_view system_directory) {
  const std::string low_path = lowered(path);
  const std::string low_system = lowered(system_directory);
  if (!low_system.empty() && low_path.find(low_system) != std::string::npos) return 0;
  if (low_path.find("program files") != std::string::npos) return 0;
  if (path.size() <= 3 && low_path.size() >= 2 && low_system.size() >= 2 &&
      low_path.compare(0, 2, low_system, 0, 2) == 0)
    return 0;
  return 1;
}

std::string record_base_folder(std::string_view path) {
  const std::size_t slash = text::find_last_char(path, '\\');
  return slash == text::npos ? std::string() : std::string(path.substr(0, slash));
}

}  // namespace kestrove::targets
