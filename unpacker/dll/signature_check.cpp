// The signature check (see signature_check.h).
#include "signature_check.h"

#include <cstring>

#include "zpk_signature.h"
#include "zpk_trusted_key.h"

namespace {

constexpr std::size_t kDigestBytes = 32;

bool succeeded(NTSTATUS status)
{
    return status >= 0;
}

} // namespace

bool SignatureCheck::begin()
{
    end();
    // The key as a CNG public key blob: header, exponent, modulus, both most
    // significant byte first (the built-in modulus is least significant first).
    static_assert(sizeof kZpkTrustedModulus >= 256 && sizeof kZpkTrustedModulus <= kZpkMaxSignatureBytes,
                  "the trusted key must have 2048 to 8192 bits");
    constexpr std::size_t kExponentBytes = 4;
    static UCHAR blob[sizeof(BCRYPT_RSAKEY_BLOB) + kExponentBytes + sizeof kZpkTrustedModulus];
    auto* header = reinterpret_cast<BCRYPT_RSAKEY_BLOB*>(blob);
    header->Magic = BCRYPT_RSAPUBLIC_MAGIC;
    header->BitLength = sizeof kZpkTrustedModulus * 8;
    header->cbPublicExp = kExponentBytes;
    header->cbModulus = sizeof kZpkTrustedModulus;
    header->cbPrime1 = 0;
    header->cbPrime2 = 0;
    UCHAR* exponent = blob + sizeof(BCRYPT_RSAKEY_BLOB);
    for (std::size_t i = 0; i < kExponentBytes; ++i)
        exponent[i] = static_cast<UCHAR>(kZpkTrustedExponent >> (8 * (kExponentBytes - 1 - i)));
    UCHAR* modulus = exponent + kExponentBytes;
    for (std::size_t i = 0; i < sizeof kZpkTrustedModulus; ++i)
        modulus[i] = kZpkTrustedModulus[sizeof kZpkTrustedModulus - 1 - i];

    cng_ = systemCng();
    if (cng_ == nullptr)
        return false;
    DWORD objectLength = 0;
    ULONG got = 0;
    if (!succeeded(cng_->openAlgorithmProvider(&rsa_, BCRYPT_RSA_ALGORITHM, nullptr, 0)) ||
        !succeeded(cng_->importKeyPair(rsa_, nullptr, BCRYPT_RSAPUBLIC_BLOB, &key_, blob, sizeof blob, 0)) ||
        !succeeded(cng_->openAlgorithmProvider(&sha256_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !succeeded(cng_->getProperty(sha256_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                     sizeof objectLength, &got, 0)) ||
        got != sizeof objectLength || objectLength > sizeof hashObject_ ||
        !succeeded(cng_->createHash(sha256_, &hash_, hashObject_, sizeof hashObject_, nullptr, 0, 0))) {
        end();
        return false;
    }
    signatureBytes_ = sizeof kZpkTrustedModulus;
    return true;
}

bool SignatureCheck::hash(const void* data, std::size_t length)
{
    return hash_ != nullptr && succeeded(cng_->hashData(hash_, static_cast<PUCHAR>(const_cast<void*>(data)),
                                                        static_cast<ULONG>(length), 0));
}

bool SignatureCheck::verify(const unsigned char* signature, std::size_t length)
{
    UCHAR digest[kDigestBytes];
    BCRYPT_PKCS1_PADDING_INFO padding = {BCRYPT_SHA256_ALGORITHM};
    const bool holds = hash_ != nullptr && length == signatureBytes_ &&
                       succeeded(cng_->finishHash(hash_, digest, sizeof digest, 0)) &&
                       succeeded(cng_->verifySignature(key_, &padding, digest, sizeof digest,
                                                        const_cast<PUCHAR>(signature), static_cast<ULONG>(length),
                                                        BCRYPT_PAD_PKCS1));
    end();
    return holds;
}

void SignatureCheck::end()
{
    // Handles are only ever had from cng_.
    if (hash_ != nullptr)
        cng_->destroyHash(hash_);
    if (key_ != nullptr)
        cng_->destroyKey(key_);
    if (sha256_ != nullptr)
        cng_->closeAlgorithmProvider(sha256_, 0);
    if (rsa_ != nullptr)
        cng_->closeAlgorithmProvider(rsa_, 0);
    hash_ = nullptr;
    key_ = nullptr;
    sha256_ = nullptr;
    rsa_ = nullptr;
    signatureBytes_ = 0;
}
