#include <windows.h>
#include <shlobj.h>

#include "platform/system_info.h"

namespace kestrove::platform {
namespace {

// The shell's interfaces released on every way out.
template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

// A failed HRESULT as the Win32 error the messages are made of.
void set_error_from(HRESULT hr) {
  SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_FILE_NOT_FOUND);
}

}  // namespace

std::string system_directory() {
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
  return n > 0 && n <= MAX_PATH ? std::string(buffer, n) : std::string("C:\\WINDOWS\\system32");
}

// The path as the shell names the item (long names, proper case), through
// the desktop folder. A relative argument is made absolute first: the
// desktop folder would read it as relative to the desktop.
bool expand_path(const std::string& argument, Path& full_path) {
  char absolute[2048];
  const DWORD n = GetFullPathNameA(argument.c_str(), sizeof absolute, absolute, nullptr);
  if (n == 0) return false;
  if (n >= sizeof absolute) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  wchar_t wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, absolute, -1, wide, MAX_PATH) == 0) return false;

  Released<IMalloc> allocator;
  Released<IShellFolder> desktop;
  HRESULT hr = SHGetMalloc(&allocator.p);
  if (SUCCEEDED(hr)) hr = SHGetDesktopFolder(&desktop.p);
  if (FAILED(hr)) {
    set_error_from(hr);
    return false;
  }
  LPITEMIDLIST items = nullptr;
  hr = desktop.p->ParseDisplayName(nullptr, nullptr, wide, nullptr, &items, nullptr);
  if (FAILED(hr) || items == nullptr) {
    set_error_from(hr);
    return false;
  }
  char shell_path[MAX_PATH] = {};
  const BOOL got = SHGetPathFromIDListA(items, shell_path);
  allocator.p->Free(items);
  if (!got) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  full_path = shell_path;
  return true;
}

}  // namespace kestrove::platform

namespace kestrove::platform {

bool program_path(Path& path) {
  char buffer[521] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, 520);
  if (n == 0) return false;
  if (n >= 520) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  path.assign(buffer, n);
  return true;
}

}  // namespace kestrove::platform
