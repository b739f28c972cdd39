// kestrove_gui_probe: a small dialog that the GUI driver's own test drives,
// one control for each kind of thing the driver does. Whatever the probe
// sees (a drop, a choice in the list or the menu, the answer of its message
// box) it writes into the status line, so the test reads it back.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr int kEdit = 101;
constexpr int kCheck = 102;
constexpr int kList = 103;
constexpr int kBoxButton = 104;
constexpr int kDropZone = 105;
constexpr int kStatus = 106;
constexpr int kMenuFirst = 201;  // 201, separator, 202, 203

constexpr const char* kCaption = "■プローブ■";

WNDPROC g_static_proc = nullptr;

void status(HWND dialog, const std::string& text) { SetDlgItemTextA(dialog, kStatus, text.c_str()); }

// The drop zone is a static control that takes dropped files itself.
LRESULT CALLBACK drop_zone_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DROPFILES) {
    HDROP drop = reinterpret_cast<HDROP>(wparam);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string names;
    for (UINT i = 0; i < count; ++i) {
      char name[MAX_PATH] = {};
      DragQueryFileA(drop, i, name, sizeof name);
      if (i) names += '|';
      names += name;
    }
    DragFinish(drop);
    status(GetParent(hwnd), names);
    return 0;
  }
  return CallWindowProcA(g_static_proc, hwnd, message, wparam, lparam);
}

HWND add(HWND dialog, const char* cls, const char* text, DWORD style, int id, int x, int y, int w, int h,
         DWORD ex_style = 0) {
  HWND control = CreateWindowExA(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

void init(HWND dialog) {
  SetWindowTextA(dialog, kCaption);
  SetWindowPos(dialog, nullptr, 0, 0, 410, 230, SWP_NOMOVE | SWP_NOZORDER);
  add(dialog, "STATIC", "ラベル", 0, -1, 10, 12, 60, 16);
  add(dialog, "EDIT", "初期値", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, kEdit, 80, 10, 300, 20);
  add(dialog, "BUTTON", "確認する", WS_TABSTOP | BS_AUTOCHECKBOX, kCheck, 10, 40, 150, 20);
  HWND list = add(dialog, "LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOTIFY, kList, 10, 70, 200, 80);
  for (const char* line : {"一覧表", "ソフト", "予定"}) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  add(dialog, "BUTTON", "メッセージ", WS_TABSTOP | BS_PUSHBUTTON, kBoxButton, 230, 70, 150, 24);
  HWND zone = add(dialog, "STATIC", "ここにドロップ", SS_SUNKEN | SS_CENTER, kDropZone, 230, 110, 150, 40);
  g_static_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(zone, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(drop_zone_proc)));
  DragAcceptFiles(zone, TRUE);
  add(dialog, "STATIC", "", SS_LEFT | SS_NOPREFIX, kStatus, 10, 160, 380, 20);
}

void context_menu(HWND dialog, LPARAM where) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, kMenuFirst, "最初");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kMenuFirst + 1, "二番目");
  AppendMenuA(menu, MF_STRING, kMenuFirst + 2, "三番目");
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where)), 0,
                 dialog, nullptr);
  DestroyMenu(menu);
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      init(dialog);
      return TRUE;
    case WM_TIMER: {
      // Two boxes with one caption, the second owned by the first.
      KillTimer(dialog, 1);
      HWND first = GetWindow(dialog, GW_ENABLEDPOPUP);
      MessageBoxA(first ? first : dialog, "二つ目の箱", kCaption, MB_OK);
      return TRUE;
    }
    case WM_CONTEXTMENU:
      context_menu(dialog, lparam);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == kBoxButton && HIWORD(wparam) == BN_CLICKED) {
        SetTimer(dialog, 1, USER_TIMER_MINIMUM, nullptr);  // opens a second box over this one
        const int answer = MessageBoxA(dialog, "表示テスト：ソフト予定", kCaption, MB_OKCANCEL | MB_ICONINFORMATION);
        status(dialog, "答え " + std::to_string(answer));
      } else if (id == kList && HIWORD(wparam) == LBN_SELCHANGE) {
        const LRESULT index = SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0);
        char line[64] = {};
        SendDlgItemMessageA(dialog, kList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(line));
        status(dialog, "選択 " + std::to_string(index) + " " + line);
      } else if (id >= kMenuFirst && id <= kMenuFirst + 2) {
        status(dialog, "メニュー " + std::to_string(id));
      } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
      }
      return TRUE;
    }
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // An empty dialog (menu, class and title are empty words); the controls
  // are made in WM_INITDIALOG.
  std::vector<WORD> memory(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(memory.data());
  dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
  dialog->cx = 270;
  dialog->cy = 130;
  const INT_PTR result = DialogBoxIndirectParamA(instance, dialog, nullptr, dialog_proc, 0);
  return result == -1 ? 2 : 0;
}
