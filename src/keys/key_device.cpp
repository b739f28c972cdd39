#include "keys/key_device.h"

#include <cstring>
#include <ctime>
#include <vector>

#include "conversion/file_operations.h"
#include "platform/drives.h"

namespace kestrove::keys {
namespace {

constexpr std::uint32_t kTestFileSize = 10240;
constexpr char kTestText[] = "書き込みテスト";
// A name that exists already is drawn again; the bound only guards against
// a file system that answers "exists" to every name.
constexpr unsigned kNameAttempts = 1000;

}  // namespace

int find_key_device(const DeviceLock&, KeyState& state, const KeyServices& services, int start_index) {
  for (int index = start_index < 0 ? 0 : start_index; index < kScanOrderSize; ++index) {
    const std::string candidate = std::string(1, kScanOrder[index]) + ":\\";
    if (services.drive_type(candidate) != platform::kDriveRemovable) continue;
    // A drive without medium must fail quietly, without the system's box.
    const platform::QuietDriveErrors quiet;
    if (write_test(services.files, candidate) == 0) {
      state.device_root = candidate;
      return index;
    }
  }
  return kNoKeyDevice;
}

platform::ErrorCode write_test(platform::FileSystem& files, const std::string& folder) {
  std::vector<char> buffer(kTestFileSize, '\0');
  std::memcpy(buffer.data(), kTestText, sizeof kTestText);
  const std::uint32_t seed = static_cast<std::uint32_t>(std::time(nullptr));
  for (unsigned attempt = 0;; ++attempt) {
    const std::string name = folder + conversion::random_hex_text(10, seed + attempt);
    platform::File file = files.open(name, platform::FileAccess::write, platform::FileCreation::create_new,
                                     platform::share::read_write);
    if (!file) {
      const platform::ErrorCode error = platform::last_error();
      if (error == platform::error::file_exists && attempt + 1 < kNameAttempts) continue;
      return error;
    }
    if (!file->write(buffer.data(), kTestFileSize)) {
      const platform::ErrorCode error = platform::last_error();
      file.reset();
      files.delete_file(name);
      return error;
    }
    file.reset();
    files.delete_file(name);
    return 0;
  }
}

}  // namespace kestrove::keys
