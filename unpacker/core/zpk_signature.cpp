// Finding and decoding the signature block; see zpk_signature.h.
#include "zpk_signature.h"

#include <cstring>

#include "zpk_format.h"

using namespace zpkformat;

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

} // namespace

bool decodeBase64(const char* text, std::size_t length, unsigned char* out, std::size_t capacity,
                  std::size_t* written)
{
    if (length % 4 != 0)
        return false;
    std::size_t count = 0;
    for (std::size_t i = 0; i < length; i += 4) {
        const bool last = i + 4 == length;
        const int padding = last && text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0;
        std::uint32_t group = 0;
        for (int j = 0; j < 4; ++j) {
            const int value = j >= 4 - padding ? 0 : base64Value(text[i + j]);
            if (value < 0)
                return false;
            group = group << 6 | static_cast<std::uint32_t>(value);
        }
        // Only one text gives each signature: bits the padding drops must be 0.
        if ((group & ((1u << (8 * padding)) - 1)) != 0 || static_cast<std::size_t>(3 - padding) > capacity - count)
            return false;
        for (int j = 0; j < 3 - padding; ++j)
            out[count++] = static_cast<unsigned char>(group >> (16 - 8 * j));
    }
    *written = count;
    return true;
}

ZpkStatus findSignature(ZpkSource& source, std::size_t signatureBytes, ZpkSignature& signature)
{
    signature = ZpkSignature{};
    if (signatureBytes == 0 || signatureBytes > kZpkMaxSignatureBytes)
        return ZPK_ERR_NOT_SIGNED;
    // The end record, the magic and the text, which must end the file.
    const std::size_t textLength = zpkBase64Length(signatureBytes);
    const std::size_t commentLength = kZpkSignatureMagicLength + textLength;
    const std::size_t tailLength = kEndOfCentralSize + commentLength;
    const std::uint64_t size = source.size();
    if (size < tailLength)
        return ZPK_ERR_NOT_SIGNED;
    unsigned char tail[kEndOfCentralSize + kZpkSignatureMagicLength + zpkBase64Length(kZpkMaxSignatureBytes)];
    if (!source.readAt(size - tailLength, tail, tailLength))
        return ZPK_ERR_PACKAGE_UNREADABLE;
    const unsigned char* comment = tail + kEndOfCentralSize;
    if (read32(tail) != kEndOfCentralSignature || read16(tail + 20) != commentLength ||
        std::memcmp(comment, kZpkSignatureMagic, kZpkSignatureMagicLength) != 0)
        return ZPK_ERR_NOT_SIGNED;
    std::size_t decoded = 0;
    if (!decodeBase64(reinterpret_cast<const char*>(comment + kZpkSignatureMagicLength), textLength,
                      signature.bytes, sizeof signature.bytes, &decoded) ||
        decoded != signatureBytes) {
        signature = ZpkSignature{};
        return ZPK_ERR_NOT_SIGNED;
    }
    signature.length = decoded;
    signature.signedLength = size - textLength;
    return ZPK_DONE;
}
