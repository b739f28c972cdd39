#include "ui/win32/file_chooser.h"

#include <commdlg.h>

namespace kestrove::ui::win32 {
namespace {

constexpr DWORD kFileBufferSize = 520;

// Filters are pairs of a display text and a pattern, ended by an empty text.
// The encryption filter is the display text "*.*" alone, directly followed by
// the terminator.
constexpr char kEncryptionFilter[] = "*.*\0";
constexpr char kDecryptionFilter[] = "暗号化ファイル(*.cp*)\0*.cp*\0";

}  // namespace

std::string choose_file_to_open(HWND owner, bool for_encryption) {
  char file[kFileBufferSize] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = for_encryption ? kEncryptionFilter : kDecryptionFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kFileBufferSize;
  dialog.lpstrTitle = "ファイルを開く　- ケストローブ";
  dialog.Flags = OFN_HIDEREADONLY;
  if (!for_encryption) dialog.lpstrDefExt = ".cp*";
  if (!GetOpenFileNameA(&dialog)) return std::string();
  return file;
}

}  // namespace kestrove::ui::win32
