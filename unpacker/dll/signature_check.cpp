// The signature check (see signature_check.h).
#include "signature_check.h"

#include "zpk_signature.h"
#include "zpk_trusted_key.h"

bool SignatureCheck::begin()
{
    end();
    // The decoded key lives here rather than on the heap.
    alignas(8) static BYTE keyInfo[4096];
    DWORD keyInfoSize = sizeof keyInfo;
    DWORD bits = 0, bitsSize = sizeof bits;
    if (!CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, kZpkTrustedKey, sizeof kZpkTrustedKey, 0,
                             nullptr, keyInfo, &keyInfoSize) ||
        !CryptImportPublicKeyInfo(provider_, X509_ASN_ENCODING, reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(keyInfo),
                                  &key_) ||
        !CryptGetKeyParam(key_, KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &bitsSize, 0) || bits < 2048 ||
        bits / 8 > kZpkMaxSignatureBytes || !CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) {
        end();
        return false;
    }
    signatureBytes_ = bits / 8;
    return true;
}

bool SignatureCheck::hash(const void* data, std::size_t length)
{
    return hash_ && CryptHashData(hash_, static_cast<const BYTE*>(data), static_cast<DWORD>(length), 0);
}

bool SignatureCheck::verify(const unsigned char* signature, std::size_t length)
{
    // CryptoAPI takes the signature least significant byte first.
    BYTE reversed[kZpkMaxSignatureBytes];
    bool holds = hash_ && length == signatureBytes_;
    for (std::size_t i = 0; holds && i < length; ++i)
        reversed[i] = signature[length - 1 - i];
    holds = holds && CryptVerifySignatureA(hash_, reversed, static_cast<DWORD>(length), key_, nullptr, 0);
    end();
    return holds;
}

void SignatureCheck::end()
{
    if (hash_)
        CryptDestroyHash(hash_);
    if (key_)
        CryptDestroyKey(key_);
    if (provider_)
        CryptReleaseContext(provider_, 0);
    hash_ = 0;
    key_ = 0;
    provider_ = 0;
    signatureBytes_ = 0;
}
