// The signature check (see signature_check.h).
#include "signature_check.h"

#include <cstring>

#include "zpk_signature.h"
#include "zpk_trusted_key.h"

bool SignatureCheck::begin()
{
    end();
    // The key as a CryptoAPI public key blob: header, RSA parameters, modulus.
    static_assert(sizeof kZpkTrustedModulus >= 256 && sizeof kZpkTrustedModulus <= kZpkMaxSignatureBytes,
                  "the trusted key must have 2048 to 8192 bits");
    static BYTE blob[sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + sizeof kZpkTrustedModulus];
    auto* header = reinterpret_cast<BLOBHEADER*>(blob);
    header->bType = PUBLICKEYBLOB;
    header->bVersion = CUR_BLOB_VERSION;
    header->reserved = 0;
    header->aiKeyAlg = CALG_RSA_SIGN;
    auto* rsa = reinterpret_cast<RSAPUBKEY*>(blob + sizeof(BLOBHEADER));
    rsa->magic = 0x31415352; // "RSA1": a public key
    rsa->bitlen = sizeof kZpkTrustedModulus * 8;
    rsa->pubexp = kZpkTrustedExponent;
    std::memcpy(blob + sizeof(BLOBHEADER) + sizeof(RSAPUBKEY), kZpkTrustedModulus, sizeof kZpkTrustedModulus);
    if (!CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptImportKey(provider_, blob, sizeof blob, 0, 0, &key_) ||
        !CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) {
        end();
        return false;
    }
    signatureBytes_ = sizeof kZpkTrustedModulus;
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
