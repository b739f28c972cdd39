#include "crypto/gcrypt_library.h"

#include <gcrypt.h>

#include <cstring>
#include <mutex>
#include <utility>

namespace kestrove::crypto {

namespace {

bool initialise_gcrypt() {
    // The version check also performs libgcrypt's own global set-up; it fails
    // when the library found at run time is older than the headers we built with.
    if (gcry_check_version(GCRYPT_VERSION) == nullptr) {
        return false;
    }
    // Another component of the process may have finished initialisation
    // already; doing it twice is not allowed.
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) != 0) {
        return true;
    }
    // Our keys live in ordinary buffers anyway, and secure memory needs
    // privileges that a desktop user does not have.
    if (gcry_control(GCRYCTL_DISABLE_SECMEM, 0) != 0) {
        return false;
    }
    return gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0) == 0;
}

}  // namespace

bool ensure_gcrypt_ready() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = initialise_gcrypt(); });
    return ready;
}

CipherHandle::~CipherHandle() { reset(); }

CipherHandle::CipherHandle(CipherHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

CipherHandle& CipherHandle::operator=(CipherHandle&& other) noexcept {
    if (this != &other) {
        reset();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool CipherHandle::open(int algorithm, int mode) {
    reset();
    if (!ensure_gcrypt_ready()) {
        return false;
    }
    gcry_cipher_hd_t opened = nullptr;
    if (gcry_cipher_open(&opened, algorithm, mode, 0) != 0) {
        return false;
    }
    handle_ = opened;
    return true;
}

void CipherHandle::reset() noexcept {
    if (handle_ != nullptr) {
        gcry_cipher_close(handle_);
        handle_ = nullptr;
    }
}

bool cbc_with_plain_tail(gcry_cipher_handle* handle, const std::uint8_t* iv, std::size_t block_size,
                         bool encipher, const std::uint8_t* in, std::uint8_t* out, std::size_t len) {
    if (handle == nullptr) {
        return false;
    }
    const std::size_t whole = len - len % block_size;
    if (whole != 0) {
        // Every call is a chain of its own: the chaining value starts afresh.
        if (gcry_cipher_setiv(handle, iv, block_size) != 0) {
            return false;
        }
        // libgcrypt's in-place form is a null input; overlapping in/out
        // pointers are not part of its contract.
        const void* source = in == out ? nullptr : in;
        const std::size_t source_len = in == out ? 0 : whole;
        const gcry_error_t err = encipher ? gcry_cipher_encrypt(handle, out, whole, source, source_len)
                                          : gcry_cipher_decrypt(handle, out, whole, source, source_len);
        if (err != 0) {
            return false;
        }
    }
    const std::size_t tail = len - whole;
    if (tail != 0 && in != out) {
        std::memmove(out + whole, in + whole, tail);
    }
    return true;
}

}  // namespace kestrove::crypto
