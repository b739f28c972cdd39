#include "targets/destination_folder.h"

#include "conversion/error_text.h"
#include "keys/key_device.h"
#include "text/cp932.h"

namespace kestrove::targets {

int check_destination_folder(platform::FileSystem& files, const std::string& path) {
  std::string folder = path;
  const bool network = !folder.empty() && folder[0] == '\\';
  if (!network && (folder.size() < 3 || folder[1] != ':')) return kNotAFolderPath;
  if (!text::ends_with_char(folder, '\\')) folder += '\\';
  return static_cast<int>(keys::write_test(files, folder));
}

int destination_folder_dialog(ui::FolderPromptView& view, platform::FileSystem& files, std::string& destination) {
  constexpr const char* kInvalid = "指定されたフォルダパスが不正です。";
  for (;;) {
    std::string text;
    if (!view.ask(text)) {
      view.close(0);
      return 0;
    }
    if (text.size() > 512) text.resize(512);
    const int result = check_destination_folder(files, text);
    if (result == 0) {
      destination = text;
      view.close(1);
      return 1;
    }
    const std::string message = result == kNotAFolderPath ? std::string(kInvalid)
                                                          : conversion::compose_error_text(kInvalid, result);
    view.boxes().show(message, ui::kCaptionNotice, ui::mb::warning_box);
  }
}

}  // namespace kestrove::targets
