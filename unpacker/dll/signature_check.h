// Checks the maker's signature of a package with the system's CNG (bcrypt):
// SHA-256 over the signed bytes, fed in pieces, then the RSA (PKCS#1 v1.5)
// signature verified against the public key built into the library.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>

#include "system_cng.h"

class SignatureCheck {
public:
    SignatureCheck() = default;
    ~SignatureCheck() { end(); }
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    // Imports the trusted key and starts a hash. False when the system cannot
    // (no CNG, no provider, or a key it cannot take): it cannot check a signature.
    bool begin();
    // The length of the key's signatures in bytes; 0 before begin().
    std::size_t signatureBytes() const { return signatureBytes_; }
    bool hash(const void* data, std::size_t length);
    // Whether `signature` (most significant byte first, as OpenSSL writes it)
    // signs what was hashed. Ends the check.
    bool verify(const unsigned char* signature, std::size_t length);
    void end();

private:
    // The hash's own state. Windows Vista's CNG needs it from the caller
    // (from Windows 7 on it takes its own when given none); 286 bytes for
    // SHA-256 under Wine, and begin() checks what the system asks for.
    static constexpr std::size_t kHashObjectBound = 1024;

    const SystemCng* cng_ = nullptr;
    BCRYPT_ALG_HANDLE sha256_ = nullptr;
    BCRYPT_ALG_HANDLE rsa_ = nullptr;
    BCRYPT_KEY_HANDLE key_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    std::size_t signatureBytes_ = 0;
    alignas(16) UCHAR hashObject_[kHashObjectBound];
};
