// kestrove_gui_driver: drives the windows of a running Windows program from a
// test script, one command per run. Windows are found by their exact caption
// among the visible top-level windows, controls by their id. Arguments arrive
// in the ANSI code page (CP932); everything printed is UTF-8.
//
//   wait CAPTION [MS]          a window with that caption is shown
//   gone CAPTION [MS]          no window with that caption is shown any more
//   text CAPTION ID            prints the control's text (ID 0: the window)
//   set CAPTION ID TEXT        sets the control's text
//   click CAPTION ID           presses a button or check box
//   rclick CAPTION ID          right-clicks a control (opens its context menu)
//   checked CAPTION ID         prints 1 when checked, 0 when not (2: indeterminate)
//   enabled CAPTION ID         prints 1 or 0
//   box CAPTION [MS]           prints the text of a message box
//   answer CAPTION BUTTON [MS] prints the text of a message box, then presses
//                              BUTTON (1 OK, 2 Cancel, 4 Retry, 6 Yes, 7 No)
//   list CAPTION ID            prints the lines of a list box or combo box
//   select CAPTION ID INDEX    selects a line and tells the owner as a user's
//                              choice would
//   drop CAPTION ID FILE...    drops files on a control
//   menu CAPTION|"" INDEX      chooses an item of the open popup menu (INDEX
//                              counts the items that are not separators)
//   menu-cancel [CAPTION]      closes the open popup menu
//   close CAPTION              asks the window to close (WM_CLOSE)
//   windows                    lists the shown top-level windows and controls
//   idle SECONDS               does nothing for that long (keeps Wine warm)
//   registry-write KEY deny|allow
//                              denies (or gives back) the right to write the
//                              HKEY_CLASSES_ROOT key KEY to everyone, as a PC
//                              does to a user without Administrator rights
//
// MS is how long to wait for the window (default 10000, or
// KESTROVE_DRIVER_TIMEOUT_MS). Exit status 0 on success, 1 with a one-line
// reason on stderr otherwise.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kReplyMs = 5000;
constexpr int kStaticTextId = 0xFFFF;  // the text of a message box

DWORD g_timeout_ms = 10000;

// ---------------------------------------------------------------- output

std::string wide_to_utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// Arguments and our own messages are in the ANSI code page (CP932).
std::string to_utf8(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int wide_length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), wide_length);
  return wide_to_utf8(wide);
}

void write_bytes(DWORD which, const std::string& bytes) {
  HANDLE handle = GetStdHandle(which);
  DWORD written = 0;
  size_t done = 0;
  while (done < bytes.size() &&
         WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) &&
         written > 0) {
    done += written;
  }
}

// Prints one line (UTF-8); CR LF becomes LF so that scripts can compare
// multi-line texts.
void print_line(const std::string& utf8) {
  std::string text;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    text += utf8[i];
  }
  write_bytes(STD_OUTPUT_HANDLE, text + "\n");
}

int fail(const std::string& ansi_reason) {
  write_bytes(STD_ERROR_HANDLE, "kestrove_gui_driver: " + to_utf8(ansi_reason) + "\n");
  return 1;
}

std::string hex(const void* value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(value)));
  return buffer;
}

// ---------------------------------------------------------------- windows

std::string class_of(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// Reads texts through the Unicode messages and gives them in UTF-8: the
// controls are Unicode windows, and Wine hands an ANSI caller in another
// process some of their texts (LB_GETTEXT) unconverted.
bool send_for_text(HWND hwnd, UINT length_message, UINT text_message, WPARAM index, std::string& utf8) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, length_message, index, 0, SMTO_ABORTIFHUNG, kReplyMs, &length) ||
      static_cast<LONG_PTR>(length) < 0) {
    return false;
  }
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR got = 0;
  const WPARAM wparam = text_message == WM_GETTEXT ? buffer.size() : index;
  if (!SendMessageTimeoutW(hwnd, text_message, wparam, reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kReplyMs, &got) ||
      static_cast<LONG_PTR>(got) < 0) {
    return false;
  }
  utf8 = wide_to_utf8(std::wstring(buffer.data(), got < buffer.size() ? got : buffer.size() - 1));
  return true;
}

// A window's text asked of the window itself, so that controls of another
// process answer (GetWindowText would not ask them).
bool read_text(HWND hwnd, std::string& utf8) { return send_for_text(hwnd, WM_GETTEXTLENGTH, WM_GETTEXT, 0, utf8); }

// A top-level caption is known to the system: no need to ask the window.
std::string caption_of(HWND hwnd) {
  char caption[1024] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  return caption;
}

std::string caption_utf8(HWND hwnd) {
  wchar_t caption[1024] = {};
  GetWindowTextW(hwnd, caption, 1024);
  return wide_to_utf8(caption);
}

int id_of(HWND hwnd) { return static_cast<int>(GetWindowLongPtrA(hwnd, GWLP_ID) & 0xFFFF); }

std::vector<HWND> visible_top_windows() {
  std::vector<HWND> windows;  // in Z order, the top first
  EnumWindows(
      [](HWND hwnd, LPARAM out) -> BOOL {
        if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM out) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

// A control by id: a direct child first, then any descendant (a page of a
// tab). Ids compare in 16 bits, so 0xFFFF and -1 are the same. ID 0 is the
// window itself.
HWND find_control(HWND window, int id) {
  if (id == 0) return window;
  id &= 0xFFFF;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (id_of(child) == id) return child;
  }
  for (HWND child : descendants(window)) {
    if (id_of(child) == id) return child;
  }
  return nullptr;
}

bool owns(HWND owner, HWND window) {
  for (HWND h = GetWindow(window, GW_OWNER); h; h = GetWindow(h, GW_OWNER)) {
    if (h == owner) return true;
  }
  return false;
}

// A message box: a dialog with the static text 0xFFFF and nothing but
// statics and the standard buttons (OK .. Continue, Help).
bool is_message_box(HWND hwnd) {
  if (class_of(hwnd) != "#32770") return false;
  bool has_text = false;
  for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string cls = class_of(child);
    const int id = id_of(child);
    if (_stricmp(cls.c_str(), "Static") == 0) {
      if (id == kStaticTextId) has_text = true;
    } else if (_stricmp(cls.c_str(), "Button") != 0 || id < IDOK || id > 11) {
      return false;
    }
  }
  return has_text;
}

// Of several windows that share a caption, the one a user would act on: an
// enabled one if any (a modal box disables its owner), and of those one that
// owns none of the others (a box owned by another box is on top of it), the
// foremost in Z order.
HWND pick(const std::vector<HWND>& candidates) {
  std::vector<HWND> pool;
  for (HWND h : candidates) {
    if (IsWindowEnabled(h)) pool.push_back(h);
  }
  if (pool.empty()) pool = candidates;
  for (HWND h : pool) {
    bool owner_of_other = false;
    for (HWND other : pool) {
      if (other != h && owns(h, other)) owner_of_other = true;
    }
    if (!owner_of_other) return h;
  }
  return pool.empty() ? nullptr : pool.front();
}

template <typename Accept>
std::vector<HWND> windows_with_caption(const std::string& caption, Accept accept) {
  std::vector<HWND> found;
  for (HWND h : visible_top_windows()) {
    if (caption_of(h) == caption && accept(h)) found.push_back(h);
  }
  return found;
}

// Waits for a shown window with CAPTION that ACCEPT takes; null on time-out.
template <typename Accept>
HWND wait_for(const std::string& caption, DWORD timeout_ms, Accept accept) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = pick(windows_with_caption(caption, accept))) return h;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(kPollMs);
  }
}

bool wait_until_closed(HWND hwnd, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(kPollMs);
  }
  return true;
}

// ---------------------------------------------------------------- arguments

bool parse_number(const char* text, long long& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 0);
  return *text != '\0' && *end == '\0';
}

bool parse_timeout(int argc, char** argv, int index, DWORD& timeout) {
  timeout = g_timeout_ms;
  if (index >= argc) return true;
  long long ms = 0;
  if (!parse_number(argv[index], ms) || ms < 0) return false;
  timeout = static_cast<DWORD>(ms);
  return true;
}

// The window with CAPTION that holds control ID, and the control.
int find_window_and_control(const std::string& caption, const char* id_text, HWND& window, HWND& control) {
  long long id = 0;
  if (!parse_number(id_text, id)) return fail(std::string("not a control id: ") + id_text);
  window = wait_for(caption, g_timeout_ms, [&](HWND h) { return find_control(h, static_cast<int>(id)) != nullptr; });
  if (!window) {
    if (windows_with_caption(caption, [](HWND) { return true; }).empty()) {
      return fail("no window \"" + caption + "\" (waited " + std::to_string(g_timeout_ms) + " ms)");
    }
    return fail("window \"" + caption + "\" has no control " + id_text);
  }
  control = find_control(window, static_cast<int>(id));
  return 0;
}

// ---------------------------------------------------------------- commands

int cmd_wait(const std::string& caption, DWORD timeout) {
  if (wait_for(caption, timeout, [](HWND) { return true; })) return 0;
  return fail("no window \"" + caption + "\" within " + std::to_string(timeout) + " ms");
}

int cmd_gone(const std::string& caption, DWORD timeout) {
  const DWORD start = GetTickCount();
  while (!windows_with_caption(caption, [](HWND) { return true; }).empty()) {
    if (GetTickCount() - start >= timeout) {
      return fail("window \"" + caption + "\" still shown after " + std::to_string(timeout) + " ms");
    }
    Sleep(kPollMs);
  }
  return 0;
}

int cmd_text(HWND control) {
  std::string text;
  if (!read_text(control, text)) return fail("the control did not answer WM_GETTEXT");
  print_line(text);
  return 0;
}

int cmd_set(HWND control, const std::string& text) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kReplyMs,
                           &result)) {
    return fail("the control did not answer WM_SETTEXT");
  }
  if (!result) return fail("the control refused the text");
  return 0;
}

// BM_CLICK makes the button go through a user's press and release, so an
// automatic check box toggles and the owner gets BN_CLICKED. Posted: the
// owner may open a modal window in answer.
int cmd_click(HWND window, HWND control) {
  if (!IsWindowEnabled(window)) return fail("the window is disabled (is a modal window open?)");
  if (!IsWindowEnabled(control)) return fail("the control is disabled");
  if (!PostMessageA(control, BM_CLICK, 0, 0)) return fail("PostMessage failed: " + std::to_string(GetLastError()));
  return 0;
}

int cmd_rclick(HWND control) {
  RECT rect{};
  GetClientRect(control, &rect);
  const LPARAM point = MAKELPARAM((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
  if (!PostMessageA(control, WM_RBUTTONDOWN, MK_RBUTTON, point) || !PostMessageA(control, WM_RBUTTONUP, 0, point)) {
    return fail("PostMessage failed: " + std::to_string(GetLastError()));
  }
  return 0;
}

int cmd_checked(HWND control) {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &state)) {
    return fail("the control did not answer BM_GETCHECK");
  }
  print_line(std::to_string(state & 3));
  return 0;
}

int cmd_enabled(HWND control) {
  print_line(IsWindowEnabled(control) ? "1" : "0");
  return 0;
}

HWND wait_for_box(const std::string& caption, DWORD timeout) {
  return wait_for(caption, timeout, is_message_box);
}

int cmd_box(const std::string& caption, DWORD timeout, HWND& box) {
  box = wait_for_box(caption, timeout);
  if (!box) return fail("no message box \"" + caption + "\" within " + std::to_string(timeout) + " ms");
  std::string text;
  if (!read_text(find_control(box, kStaticTextId), text)) return fail("the message box did not answer WM_GETTEXT");
  print_line(text);
  return 0;
}

int cmd_answer(const std::string& caption, const char* button_text, DWORD timeout) {
  long long id = 0;
  if (!parse_number(button_text, id)) return fail(std::string("not a button id: ") + button_text);
  HWND box = nullptr;
  if (int status = cmd_box(caption, timeout, box)) return status;
  HWND button = find_control(box, static_cast<int>(id));
  if (!button || !IsWindowVisible(button) || class_of(button) != "Button") {
    std::string present;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (class_of(child) == "Button" && IsWindowVisible(child)) present += " " + std::to_string(id_of(child));
    }
    return fail("the message box has no button " + std::string(button_text) + " (it has:" + present + ")");
  }
  if (!PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button))) {
    return fail("PostMessage failed: " + std::to_string(GetLastError()));
  }
  if (!wait_until_closed(box, timeout)) return fail("the message box did not close");
  return 0;
}

bool is_combo(HWND control) { return _stricmp(class_of(control).c_str(), "ComboBox") == 0; }

int cmd_list(HWND control) {
  const bool combo = is_combo(control);
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &count) ||
      static_cast<LONG_PTR>(count) < 0) {
    return fail("the control is no list box");
  }
  for (DWORD_PTR i = 0; i < count; ++i) {
    std::string line;
    if (!send_for_text(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, combo ? CB_GETLBTEXT : LB_GETTEXT, i, line)) {
      return fail("cannot read line " + std::to_string(i));
    }
    print_line(line);
  }
  return 0;
}

// LB_SETCURSEL tells nobody; a user's choice sends LBN_SELCHANGE (and
// CBN_SELCHANGE, the same value) to the owner, so that is posted after it.
int cmd_select(HWND control, const char* index_text) {
  long long index = 0;
  if (!parse_number(index_text, index) || index < 0) return fail(std::string("not an index: ") + index_text);
  DWORD_PTR result = 0;
  bool sent;
  const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
  if (is_combo(control)) {
    sent = SendMessageTimeoutA(control, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kReplyMs, &result);
  } else if (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
    sent = SendMessageTimeoutA(control, LB_SETSEL, FALSE, -1, SMTO_ABORTIFHUNG, kReplyMs, &result) &&
           SendMessageTimeoutA(control, LB_SETSEL, TRUE, index, SMTO_ABORTIFHUNG, kReplyMs, &result) &&
           SendMessageTimeoutA(control, LB_SETCARETINDEX, index, FALSE, SMTO_ABORTIFHUNG, kReplyMs, &result);
  } else {
    sent = SendMessageTimeoutA(control, LB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kReplyMs, &result);
  }
  if (!sent) return fail("the control did not answer");
  if (static_cast<LONG_PTR>(result) == LB_ERR) return fail(std::string("no line ") + index_text);
  if (!PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(id_of(control), LBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(control))) {
    return fail("PostMessage failed: " + std::to_string(GetLastError()));
  }
  return 0;
}

// A drop as the system delivers it: to the control, or the nearest window
// above it that accepts files, with a DROPFILES block in the target's own
// memory (an HDROP of GMEM_FIXED memory is a plain pointer, and that is what
// DragQueryFile reads). The block is left to the target: its DragFinish
// cannot free memory it did not allocate and leaves it be.
int cmd_drop(HWND control, int count, char** files) {
  HWND target = control;
  while (target && !(GetWindowLongPtrA(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) {
    target = (GetWindowLongPtrA(target, GWL_STYLE) & WS_CHILD) ? GetParent(target) : nullptr;
  }
  if (!target) return fail("neither the control nor its windows accept dropped files (DragAcceptFiles)");

  std::string block(sizeof(DROPFILES), '\0');
  for (int i = 0; i < count; ++i) {
    block += files[i];
    block += '\0';
  }
  block += '\0';
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  RECT rect{};
  GetClientRect(control, &rect);
  POINT point{(rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2};
  MapWindowPoints(control, target, &point, 1);
  header.pt = point;
  header.fNC = FALSE;
  header.fWide = FALSE;
  std::memcpy(block.data(), &header, sizeof header);

  DWORD process_id = 0;
  GetWindowThreadProcessId(target, &process_id);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_id);
  if (!process) return fail("cannot open the target process: " + std::to_string(GetLastError()));
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  const bool copied = remote && WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
                      written == block.size();
  const DWORD error = GetLastError();
  if (!copied) {
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return fail("cannot write the file names into the target: " + std::to_string(error));
  }
  CloseHandle(process);
  if (!PostMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
    return fail("PostMessage failed: " + std::to_string(GetLastError()));
  }
  return 0;
}

// The open popup menu: of the whole desktop, or of the thread that owns the
// window with CAPTION.
HWND find_menu(const std::string& caption, DWORD timeout, std::string& reason) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD owner_thread = 0;
    if (!caption.empty()) {
      const auto owners = windows_with_caption(caption, [](HWND) { return true; });
      if (!owners.empty()) owner_thread = GetWindowThreadProcessId(owners.front(), nullptr);
    }
    for (HWND h : visible_top_windows()) {
      if (class_of(h) != "#32768") continue;
      if (caption.empty() || (owner_thread && GetWindowThreadProcessId(h, nullptr) == owner_thread)) return h;
    }
    if (GetTickCount() - start >= timeout) {
      reason = caption.empty() ? "no popup menu is open" : "no popup menu of \"" + caption + "\" is open";
      return nullptr;
    }
    Sleep(kPollMs);
  }
}

// Keys as a user presses them: Home goes to the first item, each Down to the
// next item that is not a separator, Enter chooses (the menu loop acts on
// the character of Enter).
int cmd_menu(const std::string& caption, const char* index_text) {
  long long index = 0;
  if (!parse_number(index_text, index) || index < 0) return fail(std::string("not an index: ") + index_text);
  std::string reason;
  HWND menu = find_menu(caption, g_timeout_ms, reason);
  if (!menu) return fail(reason);
  bool posted = PostMessageA(menu, WM_KEYDOWN, VK_HOME, 1);
  for (long long i = 0; i < index && posted; ++i) posted = PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 1);
  posted = posted && PostMessageA(menu, WM_CHAR, '\r', 1);
  if (!posted) return fail("PostMessage failed: " + std::to_string(GetLastError()));
  if (!wait_until_closed(menu, g_timeout_ms)) return fail("the menu did not close (is the item disabled?)");
  return 0;
}

int cmd_menu_cancel(const std::string& caption) {
  std::string reason;
  HWND menu = find_menu(caption, g_timeout_ms, reason);
  if (!menu) return fail(reason);
  if (!PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 1)) return fail("PostMessage failed: " + std::to_string(GetLastError()));
  if (!wait_until_closed(menu, g_timeout_ms)) return fail("the menu did not close");
  return 0;
}

int cmd_close(const std::string& caption) {
  HWND window = wait_for(caption, g_timeout_ms, [](HWND) { return true; });
  if (!window) return fail("no window \"" + caption + "\"");
  if (!PostMessageA(window, WM_CLOSE, 0, 0)) return fail("PostMessage failed: " + std::to_string(GetLastError()));
  return 0;
}

std::string describe(HWND hwnd, bool control) {
  std::string text;
  if (control) {
    read_text(hwnd, text);
  } else {
    text = caption_utf8(hwnd);
  }
  if (text.size() > 80) {
    size_t cut = 80;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    text = text.substr(0, cut) + "...";
  }
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string line = hex(hwnd) + " ";
  if (control) line += "id=" + std::to_string(id_of(hwnd)) + " ";
  line += class_of(hwnd) + " \"" + text + "\"";
  if (!IsWindowEnabled(hwnd)) line += " disabled";
  if (control && !IsWindowVisible(hwnd)) line += " hidden";
  if (control && (GetWindowLongPtrA(hwnd, GWL_STYLE) & 0xF) <= BS_AUTO3STATE &&
      _stricmp(class_of(hwnd).c_str(), "Button") == 0) {
    DWORD_PTR state = 0;
    if (SendMessageTimeoutA(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kReplyMs, &state) && state) line += " checked";
  }
  return line;
}

// Every shown top-level window with its controls: what a failing test logs.
int cmd_windows() {
  for (HWND h : visible_top_windows()) {
    print_line(describe(h, false));
    const std::string cls = class_of(h);
    if (cls == "#32768") continue;
    for (HWND child : descendants(h)) print_line("  " + describe(child, true));
  }
  return 0;
}

int cmd_registry_write(const std::string& subkey, const std::string& mode) {
  // Setting values, creating sub-keys and deleting are denied to everyone;
  // reading and changing the permissions stay.
  const char* descriptor = mode == "deny" ? "D:(D;;0x10006;;;WD)(A;;KA;;;WD)" : "D:(A;;KA;;;WD)";
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1, &sd, nullptr)) {
    return fail("bad security descriptor: " + std::to_string(GetLastError()));
  }
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, subkey.c_str(), 0, WRITE_DAC, &key);
  if (status == ERROR_SUCCESS) {
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    RegCloseKey(key);
  }
  LocalFree(sd);
  if (status != ERROR_SUCCESS) return fail("cannot set the permissions of " + subkey + ": " + std::to_string(status));
  return 0;
}

int usage() { return fail("usage: kestrove_gui_driver COMMAND ARGS... (see the head of driver.cpp)"); }

}  // namespace

int main(int argc, char** argv) {
  if (const char* ms = std::getenv("KESTROVE_DRIVER_TIMEOUT_MS")) {
    long long value = 0;
    if (parse_number(ms, value) && value >= 0) g_timeout_ms = static_cast<DWORD>(value);
  }
  if (argc < 2) return usage();
  const std::string command = argv[1];
  const std::string caption = argc > 2 ? argv[2] : "";
  DWORD timeout = g_timeout_ms;

  if (command == "windows" && argc == 2) return cmd_windows();
  if (command == "idle" && argc == 3) {
    long long seconds = 0;
    if (!parse_number(argv[2], seconds) || seconds < 0) return usage();
    Sleep(static_cast<DWORD>(seconds * 1000));
    return 0;
  }
  if (command == "menu-cancel" && argc <= 3) return cmd_menu_cancel(caption);
  if (command == "registry-write" && argc == 4 && (std::strcmp(argv[3], "deny") == 0 || std::strcmp(argv[3], "allow") == 0)) {
    return cmd_registry_write(caption, argv[3]);
  }
  if (argc < 3) return usage();
  if ((command == "wait" || command == "gone" || command == "box") && argc <= 4) {
    if (!parse_timeout(argc, argv, 3, timeout)) return usage();
    if (command == "wait") return cmd_wait(caption, timeout);
    if (command == "gone") return cmd_gone(caption, timeout);
    HWND box = nullptr;
    return cmd_box(caption, timeout, box);
  }
  if (command == "answer" && (argc == 4 || argc == 5)) {
    if (!parse_timeout(argc, argv, 4, timeout)) return usage();
    return cmd_answer(caption, argv[3], timeout);
  }
  if (command == "menu" && argc == 4) return cmd_menu(caption, argv[3]);
  if (command == "close" && argc == 3) return cmd_close(caption);

  // Commands on one control: CAPTION ID ...
  if (argc < 4) return usage();
  const bool known = ((command == "text" || command == "click" || command == "rclick" || command == "checked" ||
                       command == "enabled" || command == "list") &&
                      argc == 4) ||
                     ((command == "set" || command == "select") && argc == 5) || (command == "drop" && argc >= 5);
  if (!known) return usage();
  HWND window = nullptr;
  HWND control = nullptr;
  if (int status = find_window_and_control(caption, argv[3], window, control)) return status;
  if (command == "text") return cmd_text(control);
  if (command == "set") return cmd_set(control, argv[4]);
  if (command == "click") return cmd_click(window, control);
  if (command == "rclick") return cmd_rclick(control);
  if (command == "checked") return cmd_checked(control);
  if (command == "enabled") return cmd_enabled(control);
  if (command == "list") return cmd_list(control);
  if (command == "select") return cmd_select(control, argv[4]);
  return cmd_drop(control, argc - 4, argv + 4);
}
