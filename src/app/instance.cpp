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

void claim_instance_name(Instance& instance) {
  for (;;) {
    const std::string name = random_name(8);
    platform::NamedMutex mutex;
    switch (platform::create_named_mutex(name, mutex)) {
      case platform::MutexCreation::created:
        instance.name = name;
        instance.mutex = std::move(mutex);
        instance.temporary_file = instance.temporary_folder;
        if (!text::ends_with_char(instance.temporary_file, '\\')) instance.temporary_file += '\\';
        instance.temporary_file += name + ".tmp";
        return;
      case platform::MutexCreation::already_exists:
        mutex.reset();
        platform::sleep_ms(50);
        break;
      case platform::MutexCreation::failed:
        platform::sleep_ms(50);
        break;
    }
  }
}

}  // namespace kestrove::app
