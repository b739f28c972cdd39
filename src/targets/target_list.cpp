#include "targets/target_list.h"

namespace kestrove::targets {

bool TargetList::assign(const std::vector<std::string>& paths) {
  if (paths.size() > static_cast<std::size_t>(kTargetCapacity)) return false;
  count_ = 0;
  for (const std::string& path : paths) append(path);
  return true;
}

bool TargetList::append(const std::string& path) {
  if (count_ >= kTargetCapacity) return false;
  TargetEntry& entry = entries_[static_cast<std::size_t>(count_)];
  entry = TargetEntry{};
  entry.source_path = path;
  ++count_;
  return true;
}

}  // namespace kestrove::targets
