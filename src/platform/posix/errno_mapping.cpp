#include "platform/posix/errno_mapping.h"

#include <cerrno>
#include <sys/stat.h>

namespace kestrove::platform::posix {
namespace {

thread_local ErrorCode g_last_error = 0;

bool parent_folder_exists(const std::string& native_path) {
  std::string parent = native_path;
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  const std::size_t slash = parent.rfind('/');
  if (slash == std::string::npos) return true;  // relative to the current folder
  parent.resize(slash == 0 ? 1 : slash);
  struct stat st {};
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

ErrorCode win32_error_from_errno(int err, Operation operation, const std::string& native_path) {
  switch (err) {
    case 0: return error::success;
    case ENOENT:
      return parent_folder_exists(native_path) ? error::file_not_found : error::path_not_found;
    case ENOTDIR: return error::path_not_found;
    case EACCES:
    case EPERM:
    case EISDIR: return error::access_denied;
    case EROFS: return error::write_protect;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return error::disk_full;
    case EEXIST:
      return operation == Operation::create_file ? error::file_exists : error::already_exists;
    case ENAMETOOLONG: return error::filename_exced_range;
    case EBUSY:
    case ETXTBSY: return error::sharing_violation;
    case ENOTEMPTY: return error::dir_not_empty;
    case EMFILE:
    case ENFILE: return error::too_many_open_files;
    case ENOMEM: return error::not_enough_memory;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return error::not_ready;
    case EINVAL: return error::invalid_parameter;
    case EILSEQ: return error::invalid_name;
    case EXDEV: return 17;  // ERROR_NOT_SAME_DEVICE
    case EIO: return 1117;  // ERROR_IO_DEVICE
    default: return 31;  // ERROR_GEN_FAILURE
  }
}

bool fail_with_errno(int err, Operation operation, const std::string& native_path) {
  set_last_error(win32_error_from_errno(err, operation, native_path));
  return false;
}

}  // namespace kestrove::platform::posix

namespace kestrove::platform {
ErrorCode last_error() { return posix::g_last_error; }
void set_last_error(ErrorCode code) { posix::g_last_error = code; }
}  // namespace kestrove::platform
