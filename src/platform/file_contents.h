#pragma once
// Reading a small file whole through the file layer.
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace kestrove::platform {

// The bytes of a file, at most `limit` + 1 of them, so that a caller sees
// that there were more; false with last_error() when it cannot be read.
bool read_file_contents(FileSystem& files, const Path& path, std::string& bytes,
                        std::uint64_t limit = UINT64_MAX);

}  // namespace kestrove::platform
