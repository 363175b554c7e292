// The maker's signature at the end of a package.
//
// A signed package ends with its end-of-central-directory record, and that
// record's archive comment, which runs to the end of the file, is the signature
// block: the 8 characters "ZPKSIG1 " and then the base64 text (with padding, no
// line breaks) of an RSA signature (PKCS#1 v1.5 with SHA-256) exactly as long as
// the maker's key. The signature covers every byte before its base64 text: the
// whole archive, the end record with its comment length, and "ZPKSIG1 ". ZIP
// tools take the block for a comment and list the package as usual.
//
// This file only finds and decodes the block; the library checks the signature
// with the system's CNG (bcrypt) and the zpk tool with OpenSSL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zpk_source.h"
#include "zpk_status.h"

constexpr char kZpkSignatureMagic[] = "ZPKSIG1 ";
constexpr std::size_t kZpkSignatureMagicLength = sizeof kZpkSignatureMagic - 1;
// An 8192-bit key; the maker's is at least 2048 bits (256 bytes).
constexpr std::size_t kZpkMaxSignatureBytes = 1024;

// The length of the base64 text of a signature of `bytes` bytes.
constexpr std::size_t zpkBase64Length(std::size_t bytes)
{
    return 4 * ((bytes + 2) / 3);
}

struct ZpkSignature {
    std::uint64_t signedLength = 0;                // the bytes the signature covers, from the start
    unsigned char bytes[kZpkMaxSignatureBytes] = {}; // the signature, most significant byte first
    std::size_t length = 0;
};

// Finds the signature block of a package signed with a key whose signatures
// have `signatureBytes` bytes. ZPK_DONE; ZPK_ERR_NOT_SIGNED when the package
// does not end in such a block (no end record right before it, another comment,
// a signature of another length, anything after it); or
// ZPK_ERR_PACKAGE_UNREADABLE.
ZpkStatus findSignature(ZpkSource& source, std::size_t signatureBytes, ZpkSignature& signature);

// Strict base64 (RFC 4648: the standard alphabet, "=" padding, no other
// characters). Returns false for anything else or when `capacity` is short.
bool decodeBase64(const char* text, std::size_t length, unsigned char* out, std::size_t capacity,
                  std::size_t* written);
