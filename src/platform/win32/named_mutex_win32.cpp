// Named mutexes over CreateMutexA.
#include <windows.h>

#include "platform/named_mutex.h"

namespace kestrove::platform {
namespace {

class Win32NamedMutex final : public NamedMutexHandle {
 public:
  explicit Win32NamedMutex(HANDLE handle) : handle_(handle) {}
  ~Win32NamedMutex() override { CloseHandle(handle_); }
  Win32NamedMutex(const Win32NamedMutex&) = delete;
  Win32NamedMutex& operator=(const Win32NamedMutex&) = delete;

  void release() override { ReleaseMutex(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

MutexCreation create_named_mutex(const std::string& name, NamedMutex& mutex) {
  mutex.reset();
  const HANDLE handle = CreateMutexA(nullptr, TRUE, name.c_str());
  if (handle == nullptr) return MutexCreation::failed;
  const DWORD error = GetLastError();  // read before anything else can change it
  mutex = std::make_unique<Win32NamedMutex>(handle);
  SetLastError(error);
  return error == ERROR_ALREADY_EXISTS ? MutexCreation::already_exists : MutexCreation::created;
}

void sleep_ms(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace kestrove::platform
