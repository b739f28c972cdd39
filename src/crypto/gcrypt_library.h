#pragma once

// The one place that knows how libgcrypt is brought up, and the owner of its
// cipher handles. Public headers only see an opaque handle pointer, so code
// above the crypto layer never pulls in gcrypt.h.

#include <cstddef>
#include <cstdint>

struct gcry_cipher_handle;  // libgcrypt's opaque cipher context

namespace kestrove::crypto {

// Brings libgcrypt up once per process (version check, no secure memory,
// initialisation finished). Safe to call from any thread, any number of times.
// Returns false when the library cannot be used.
bool ensure_gcrypt_ready();

// Move-only owner of one libgcrypt cipher handle.
class CipherHandle {
public:
    CipherHandle() noexcept = default;
    ~CipherHandle();

    CipherHandle(CipherHandle&& other) noexcept;
    CipherHandle& operator=(CipherHandle&& other) noexcept;
    CipherHandle(const CipherHandle&) = delete;
    CipherHandle& operator=(const CipherHandle&) = delete;

    // Opens a handle for the given GCRY_CIPHER_* algorithm and
    // GCRY_CIPHER_MODE_* mode, closing any handle held before.
    bool open(int algorithm, int mode);
    void reset() noexcept;

    gcry_cipher_handle* get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    gcry_cipher_handle* handle_ = nullptr;
};

// Runs one CBC chain over the whole blocks of `in`, starting from `iv`
// (block_size bytes), and copies the trailing len % block_size bytes
// unchanged. `in` and `out` may be the same buffer. Returns false on a
// library failure.
bool cbc_with_plain_tail(gcry_cipher_handle* handle, const std::uint8_t* iv, std::size_t block_size,
                         bool encipher, const std::uint8_t* in, std::uint8_t* out, std::size_t len);

}  // namespace kestrove::crypto
