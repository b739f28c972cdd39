#pragma once
// Bytes from the system's cryptographic random source (key material).
#include <cstddef>
#include <cstdint>

namespace kestrove::platform {

bool secure_random(std::uint8_t* out, std::size_t size);

}  // namespace kestrove::platform
