#pragma once
// The files of one conversion run: a list of fixed capacity, filled from
// index 0 by every selection, read by the workers, and carrying what the
// decrypt and re-encrypt workers learn about each file for open in place.
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/cp3_format.h"
#include "platform/file_system.h"

namespace kestrove::targets {

inline constexpr std::int32_t kTargetCapacity = 2560;

struct TargetEntry {
  std::string source_path;  // the file to convert
  std::string output_path;  // the decrypted file (the work copy when opened in place)
  conversion::OffsetTable offset_table;  // copies of the cp3 header that opened it
  conversion::InfoBlock info_block;
  std::string key_name;                  // the 8-character key that opened it
  std::int32_t algorithm = 0;            // 1 DES body, 2 AES body
  std::int32_t decrypted_cp3 = 0;        // 1: decrypted, may be opened in place
  std::int32_t watch_state = 0;          // running number in the monitor's list
  // Times of the cp3 file when it was opened in place, and of the work copy
  // when it was encrypted again; kept per file so that several files opened
  // together are each compared with their own times.
  platform::FileTimes opened_file_times;
  platform::FileTimes edited_file_times;
};

// Process-wide flags of the selection operations.
struct SelectionFlags {
  bool limit_exceeded = false;               // the 2561st file was met
  bool attribute_question_answered = false;  // OK to skipping read-only/hidden files
};

class TargetList {
 public:
  TargetList() : entries_(kTargetCapacity) {}

  std::int32_t count() const { return count_; }
  TargetEntry& operator[](std::int32_t index) { return entries_.at(static_cast<std::size_t>(index)); }
  const TargetEntry& operator[](std::int32_t index) const { return entries_.at(static_cast<std::size_t>(index)); }

  // Makes `paths` the files of the next run, from entry 0; every other field
  // starts afresh. False (and nothing changed) for more than the capacity.
  bool assign(const std::vector<std::string>& paths);
  // Appends one file; false when the list is full.
  bool append(const std::string& path);
  void clear() { count_ = 0; }

  std::string base_folder;  // folder of the first chosen item (BaseFolder)
  SelectionFlags flags;

 private:
  std::vector<TargetEntry> entries_;
  std::int32_t count_ = 0;
};

}  // namespace kestrove::targets
