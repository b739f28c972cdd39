#pragma once
// Whole-file conversion between an open plain file and an open cp3 (or cp2)
// file, with the message of every failing step. The workers wrap these with
// the file handling around them (temporary file, move into place).
#include <cstdint>
#include <string>

#include "conversion/cp3_format.h"
#include "platform/file_system.h"

namespace kestrove::conversion {

inline constexpr int kResultStopped = 200;

// Told before each chunk; may ask the conversion to stop (result 200).
class ChunkObserver {
 public:
  virtual ~ChunkObserver() = default;
  virtual void chunk_starting(int percent) = 0;
  virtual bool stop_requested() = 0;
};

struct EncryptParameters {
  std::string key;  // 8 characters
  std::uint32_t algorithm = kAlgorithmRecord;
  bool is_group = false;
};

// Writes the header and the body of a cp3 file into `out` (positioned at 0)
// from `plain` (positioned at 0, `plain_size` bytes).
bool write_cp3(platform::OpenFile& plain, std::uint64_t plain_size, platform::OpenFile& out,
               const EncryptParameters& parameters, ChunkObserver* observer, StepFailure& failure);

// Deciphers the body of a cp3 file whose header was read and whose key was
// found, writing the plain content to `out`.
bool read_cp3_body(platform::OpenFile& cp3, std::uint64_t file_size, const Cp3Header& header,
                   const std::string& key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure);

// The same for a cp2 file under the PersonalKey string.
bool read_cp2_body(platform::OpenFile& cp2, std::uint64_t file_size, const Cp2Header& header,
                   const std::string& personal_key, platform::OpenFile& out, ChunkObserver* observer,
                   StepFailure& failure);

}  // namespace kestrove::conversion
