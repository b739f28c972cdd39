// The shortcut file as the shell reads it back: the program's path, no
// arguments, no working folder, the target's own icon, a normal window.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/shell_links.h"
#include "support/temp_folder.h"

namespace kestrove::platform {
namespace {

TEST(ShellLinksWin32, TheShortcutPointsAtTheProgramWithoutArguments) {
  testing::TempFolder temp;
  temp.write_file("prog.exe", "MZ");
  Shortcut shortcut;
  shortcut.link = temp / "prog.lnk";
  shortcut.target = temp / "prog.exe";
  ASSERT_EQ(create_shortcut(shortcut), 1);
  ASSERT_TRUE(temp.exists("prog.lnk"));

  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, shortcut.link.c_str(), -1, wide, MAX_PATH);
  EXPECT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
  char text[MAX_PATH] = {};
  link->GetPath(text, MAX_PATH, nullptr, 0);
  EXPECT_STREQ(text, shortcut.target.c_str());
  text[0] = 'x';
  link->GetArguments(text, MAX_PATH);
  EXPECT_STREQ(text, "");
  int show = 0;
  link->GetShowCmd(&show);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  file->Release();
  link->Release();
  CoUninitialize();

  Path folder;
  EXPECT_TRUE(sendto_folder(folder));
  EXPECT_NE(folder.find("SendTo"), std::string::npos) << folder;
}

}  // namespace
}  // namespace kestrove::platform
