// The file layer over the Win32 A functions; paths go to them as CP932.
#include <windows.h>

#include "platform/file_system.h"
#include "text/cp932.h"

namespace kestrove::platform {
namespace {

std::uint64_t ticks(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME filetime(std::uint64_t t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

DirectoryEntry entry_of(const WIN32_FIND_DATAA& data) {
  DirectoryEntry e;
  e.name = data.cFileName;
  e.attributes = data.dwFileAttributes;
  e.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  e.times = {ticks(data.ftCreationTime), ticks(data.ftLastAccessTime), ticks(data.ftLastWriteTime)};
  return e;
}

// Owns a search handle of FindFirstFileA.
class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : h_(h) {}
  ~FindHandle() {
    if (valid()) FindClose(h_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

class Win32File final : public OpenFile {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override { CloseHandle(h_); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  bool read(void* buffer, std::uint32_t size, std::uint32_t& got) override {
    DWORD n = 0;
    const BOOL ok = ReadFile(h_, buffer, size, &n, nullptr);
    got = n;
    return ok != FALSE;
  }
  bool write(const void* buffer, std::uint32_t size) override {
    DWORD n = 0;
    if (!WriteFile(h_, buffer, size, &n, nullptr)) return false;
    if (n != size) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    return true;
  }
  bool seek(std::uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) != FALSE;
  }
  bool size(std::uint64_t& bytes) override {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(h_, &s)) return false;
    bytes = static_cast<std::uint64_t>(s.QuadPart);
    return true;
  }
  bool get_times(FileTimes& times) override {
    FILETIME c, a, w;
    if (!GetFileTime(h_, &c, &a, &w)) return false;
    times = {ticks(c), ticks(a), ticks(w)};
    return true;
  }
  bool set_times(const FileTimes& times) override {
    const FILETIME c = filetime(times.creation), a = filetime(times.last_access), w = filetime(times.last_write);
    return SetFileTime(h_, &c, &a, &w) != FALSE;
  }

 private:
  HANDLE h_;
};

// The data of a written file on the medium, not only in the system's cache.
bool flush_file(const Path& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const BOOL flushed = FlushFileBuffers(h);
  const DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(flushed ? ERROR_SUCCESS : error);
  return flushed != FALSE;
}

bool move_over(const Path& from, const Path& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// The attributes SetFileAttributesA takes back (FILE_ATTRIBUTE_NORMAL alone for none).
DWORD settable(DWORD attributes) {
  const DWORD bits = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

class Win32FileSystem final : public FileSystem {
 public:
  File open(const Path& path, FileAccess access, FileCreation creation, unsigned share_mode) override {
    DWORD desired = 0;
    if (access == FileAccess::read || access == FileAccess::read_write) desired |= GENERIC_READ;
    if (access == FileAccess::write || access == FileAccess::read_write) desired |= GENERIC_WRITE;
    DWORD share = 0;
    if (share_mode & share::read) share |= FILE_SHARE_READ;
    if (share_mode & share::write) share |= FILE_SHARE_WRITE;
    DWORD disposition = OPEN_EXISTING;
    switch (creation) {
      case FileCreation::open_existing: disposition = OPEN_EXISTING; break;
      case FileCreation::create_new: disposition = CREATE_NEW; break;
      case FileCreation::create_always: disposition = CREATE_ALWAYS; break;
      case FileCreation::open_always: disposition = OPEN_ALWAYS; break;
    }
    HANDLE h = CreateFileA(path.c_str(), desired, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(h);
  }
  std::uint32_t get_attributes(const Path& path) override { return GetFileAttributesA(path.c_str()); }
  bool set_attributes(const Path& path, std::uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }
  bool delete_file(const Path& path) override { return DeleteFileA(path.c_str()) != FALSE; }
  bool move_file(const Path& from, const Path& to) override { return MoveFileA(from.c_str(), to.c_str()) != FALSE; }

  bool replace_file(const Path& replacement, const Path& target) override {
    if (!flush_file(replacement)) return false;
    const DWORD kept = GetFileAttributesA(target.c_str());
    if (kept == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
      return move_over(replacement, target);  // ReplaceFileA needs a file to replace
    }
    // ReplaceFileA refuses a read-only target; the attributes go back afterwards.
    if ((kept & FILE_ATTRIBUTE_READONLY) != 0 &&
        !SetFileAttributesA(target.c_str(), settable(kept & ~FILE_ATTRIBUTE_READONLY))) {
      return false;
    }
    bool replaced = ReplaceFileA(target.c_str(), replacement.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                 nullptr, nullptr) != FALSE;
    DWORD error = replaced ? ERROR_SUCCESS : GetLastError();
    // Where ReplaceFileA cannot work (the target went meanwhile, a file
    // system without it), a rename over the target does the same.
    const bool target_gone = !replaced && error == ERROR_FILE_NOT_FOUND &&
                             GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
                             GetFileAttributesA(replacement.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!replaced && (target_gone || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION)) {
      replaced = move_over(replacement, target);
      if (!replaced) error = GetLastError();
    }
    // Best effort: the new file is in place whatever this answers.
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
      SetFileAttributesA(target.c_str(), settable(kept));
    }
    SetLastError(error);
    return replaced;
  }
  bool create_directory(const Path& path) override { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }
  bool remove_directory(const Path& path) override { return RemoveDirectoryA(path.c_str()) != FALSE; }

  bool find_entry(const Path& path, DirectoryEntry& entry) override {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(path.c_str(), &data));
    if (!find.valid()) return false;
    entry = entry_of(data);
    return true;
  }

  bool list_directory(const Path& folder, std::vector<DirectoryEntry>& entries) override {
    Path pattern = folder;
    // A trail byte 0x5C ends "表" without being a separator.
    if (!text::ends_with_char(pattern, '\\') && !text::ends_with_char(pattern, '/')) pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find.valid()) return false;
    entries.clear();
    do {
      const std::string name = data.cFileName;
      if (name != "." && name != "..") entries.push_back(entry_of(data));
    } while (FindNextFileA(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) return false;
    SetLastError(ERROR_SUCCESS);
    return true;
  }

  bool free_space(const Path& folder, std::uint64_t& bytes_free) override {
    ULARGE_INTEGER available, total, total_free;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &total_free)) return false;
    bytes_free = available.QuadPart;
    return true;
  }

  bool temp_folder(Path& folder) override {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n > MAX_PATH) return false;
    folder.assign(buffer, n);
    return true;
  }
};

}  // namespace

FileSystem& system_file_system() {
  static Win32FileSystem instance;
  return instance;
}

ErrorCode last_error() { return GetLastError(); }
void set_last_error(ErrorCode code) { SetLastError(code); }

bool from_native_path(const std::string& native, Path& path) {
  char buffer[1024];
  const DWORD n = GetFullPathNameA(native.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return false;
  path.assign(buffer, n);
  return true;
}

}  // namespace kestrove::platform
