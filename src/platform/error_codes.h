#pragma once
// The Win32 error codes that the program's messages depend on. Both backends
// report these codes for the same faults (the POSIX one maps errno to them).
#include <cstdint>

namespace kestrove::platform {

using ErrorCode = std::uint32_t;

namespace error {
inline constexpr ErrorCode success = 0;
inline constexpr ErrorCode file_not_found = 2;
inline constexpr ErrorCode path_not_found = 3;
inline constexpr ErrorCode too_many_open_files = 4;
inline constexpr ErrorCode access_denied = 5;
inline constexpr ErrorCode invalid_handle = 6;
inline constexpr ErrorCode not_enough_memory = 8;
inline constexpr ErrorCode write_protect = 19;
inline constexpr ErrorCode bad_unit = 20;
inline constexpr ErrorCode not_ready = 21;
inline constexpr ErrorCode sharing_violation = 32;
inline constexpr ErrorCode handle_eof = 38;
inline constexpr ErrorCode not_supported = 50;
inline constexpr ErrorCode file_exists = 80;
inline constexpr ErrorCode invalid_parameter = 87;
inline constexpr ErrorCode disk_full = 112;
inline constexpr ErrorCode invalid_name = 123;
inline constexpr ErrorCode negative_seek = 131;
inline constexpr ErrorCode dir_not_empty = 145;
inline constexpr ErrorCode already_exists = 183;
inline constexpr ErrorCode filename_exced_range = 206;
inline constexpr ErrorCode directory_name_invalid = 267;
inline constexpr ErrorCode request_aborted = 1235;
}  // namespace error

// The calling thread's last error, as GetLastError / SetLastError.
ErrorCode last_error();
void set_last_error(ErrorCode code);

}  // namespace kestrove::platform
