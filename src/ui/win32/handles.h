#pragma once
// Small move-only owners of Win32 handles: a kernel handle, a window's
// device context with its saved state, and a loaded menu. Each releases what
// it holds on every way out; where the release can fail and the caller
// wants to know, it can be released explicitly first.
#include <windows.h>

namespace kestrove::ui::win32 {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// GetDC / ReleaseDC.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() { release(); }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  // True when ReleaseDC succeeded (or there was nothing to release).
  bool release() {
    if (dc_ == nullptr) return true;
    const bool released = ReleaseDC(window_, dc_) == 1;
    dc_ = nullptr;
    return released;
  }

 private:
  HWND window_;
  HDC dc_;
};

// SaveDC / RestoreDC: whatever is selected in between is undone.
class SavedDCState {
 public:
  explicit SavedDCState(HDC dc) : dc_(dc), level_(SaveDC(dc)) {}
  ~SavedDCState() { restore(); }
  SavedDCState(const SavedDCState&) = delete;
  SavedDCState& operator=(const SavedDCState&) = delete;

  explicit operator bool() const { return level_ != 0; }
  bool restore() {
    if (level_ == 0) return true;
    const bool restored = RestoreDC(dc_, level_) != FALSE;
    level_ = 0;
    return restored;
  }

 private:
  HDC dc_;
  int level_;
};

// LoadMenuA / DestroyMenu (its submenus go with it).
class UniqueMenu {
 public:
  explicit UniqueMenu(HMENU menu) : menu_(menu) {}
  ~UniqueMenu() {
    if (menu_ != nullptr) DestroyMenu(menu_);
  }
  UniqueMenu(const UniqueMenu&) = delete;
  UniqueMenu& operator=(const UniqueMenu&) = delete;

  HMENU get() const { return menu_; }
  explicit operator bool() const { return menu_ != nullptr; }

 private:
  HMENU menu_;
};

}  // namespace kestrove::ui::win32
