#pragma once
// Failure messages: the caller's first line, then why, from a Win32 error.
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrove::conversion {

// first_line + a Japanese sentence for the common file-system codes, or
// " : <code>" for any other; code 0 adds nothing.
std::string compose_error_text(std::string_view first_line, std::int32_t code);

// first_line + " : <code>" unless code is 0; never the sentences.
std::string compose_code_text(std::string_view first_line, std::int32_t code);

}  // namespace kestrove::conversion
