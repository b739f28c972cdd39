#include "app/instance.h"

#include <atomic>
#include <ctime>

#include "conversion/error_text.h"
#include "conversion/file_operations.h"
#include "text/cp932.h"

namespace kestrove::app {
namespace {

// The clock in seconds seeds the names; a counter keeps retries within one
// second from drawing the same name again.
std::string random_name(std::size_t count) {
  static std::atomic<std::uint32_t> draws{0};
  return conversion::random_hex_text(count, static_cast<std::uint32_t>(std::time(nullptr)) + draws++ * 7919u);
}

}  // namespace

int check_temp_folder(platform::FileSystem& files, ui::MessageBoxView& owner, std::string& temporary_folder) {
  if (!files.temp_folder(temporary_folder)) {
    owner.show(conversion::compose_error_text("TMPフォルダへの書き込みに失敗しました。",
                                              static_cast<std::int32_t>(platform::last_error())),
               ui::kCaptionNotice, ui::mb::error_box);
    return 0;
  }
  std::string folder = temporary_folder;
  if (!text::ends_with_char(folder, '\\')) folder += '\\';
  for (;;) {
    const std::string test_file = folder + random_name(10);
    platform::File file =
        files.open(test_file, platform::FileAccess::none, platform::FileCreation::create_new, platform::share::none);
    if (!file) {
      if (platform::last_error() == platform::error::file_exists) continue;
      owner.show(conversion::compose_error_text("TMPフォルダへの書き込みに失敗しました。",
                                                static_cast<std::int32_t>(platform::last_error())),
                 ui::kCaptionNotice, ui::mb::error_box);
      return 0;
    }
    file.reset();
    if (!files.delete_file(test_file)) {
      owner.show(conversion::compose_error_text("TMPフォルダのファイル削除に失敗しました。",
                                                static_cast<std::int32_t>(platform::last_error())),
                 ui::kCaptionNotice, ui::mb::error_box);
      return 0;
    }
    return 1;
  }
}

bool claim_instance_name(Instance& instance, const MutexCreator& create_mutex) {
  // Another instance holding a name only sends us to the next name; a
  // system that cannot create mutexes at all must not hang the start.
  constexpr int kFailuresBeforeGivingUp = 20;
  int failures = 0;
  for (;;) {
    const std::string name = random_name(8);
    platform::NamedMutex mutex;
    const platform::MutexCreation created = create_mutex(name, mutex);
    if (created == platform::MutexCreation::created ||
        (created == platform::MutexCreation::failed && ++failures >= kFailuresBeforeGivingUp)) {
      instance.name = name;
      instance.mutex = std::move(mutex);
      instance.temporary_file = instance.temporary_folder;
      if (!text::ends_with_char(instance.temporary_file, '\\')) instance.temporary_file += '\\';
      instance.temporary_file += name + ".tmp";
      return created == platform::MutexCreation::created;
    }
    if (created == platform::MutexCreation::already_exists) {
      failures = 0;
      mutex.reset();
    }
    platform::sleep_ms(50);
  }
}

}  // namespace kestrove::app
