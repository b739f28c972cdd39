#include <windows.h>
#include <shlobj.h>

#include "platform/shell_links.h"

namespace kestrove::platform {
namespace {

template <typename T>
struct Released {
  T* p = nullptr;
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
  ~Released() {
    if (p) p->Release();
  }
};

// COM for the Shell Link object; balanced even when the thread had it already.
struct ComScope {
  HRESULT hr = CoInitialize(nullptr);
  ComScope() = default;
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

}  // namespace

bool sendto_folder(Path& folder) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, &items)) || items == nullptr) return false;
  char path[MAX_PATH] = {};
  const BOOL got = SHGetPathFromIDListA(items, path);
  Released<IMalloc> allocator;
  if (SUCCEEDED(SHGetMalloc(&allocator.p))) allocator.p->Free(items);
  if (!got) return false;
  folder = path;
  return true;
}

int create_shortcut(const Shortcut& shortcut) {
  ComScope com;
  Released<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link.p)))) {
    return 1;
  }
  Released<IPersistFile> file;
  if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p)))) return 1;
  link.p->SetPath(shortcut.target.c_str());
  link.p->SetDescription(shortcut.description.c_str());
  link.p->SetArguments(shortcut.arguments.c_str());
  link.p->SetWorkingDirectory(shortcut.working_folder.c_str());
  link.p->SetIconLocation(shortcut.icon_path.c_str(), shortcut.icon_index);
  link.p->SetShowCmd(shortcut.show_command);
  wchar_t wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, shortcut.link.c_str(), -1, wide, MAX_PATH) == 0) return 0;
  file.p->Save(wide, TRUE);
  return 1;
}

}  // namespace kestrove::platform
