// zpk: the maker's package tool.
//
//   zpk pack [--key PRIVATE.pem] OUT.zpk FILE...
//                      build a package of the files, each under its own file
//                      name, and sign it with the maker's private key; refuses
//                      what zunpck32.dll would refuse. Without --key the package
//                      is left unsigned, and the library refuses it.
//   zpk list [--key PUBLIC.pem] PKG    show the signature and the files of a package
//   zpk check [--key PUBLIC.pem] PKG   check a package as the library does: the
//                      signature, then every file, CRC-32 included
//
// The signature is checked against the public key built into the tool (the one
// zunpck32.dll of the same build trusts), or against --key; the key is named by
// its fingerprint, the SHA-256 of its DER SubjectPublicKeyInfo.
// Exit code 0 on success, 1 when a package is refused, unsigned or unreadable,
// 2 on wrong use.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "file_source.h"
#include "zpk_extract.h"
#include "zpk_format.h"
#include "zpk_reader.h"
#include "zpk_signature.h"
#include "zpk_status_text.h"
#include "zpk_trusted_key.h"
#include "zpk_writer.h"

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

int usage()
{
    std::fputs("usage: zpk pack [--key PRIVATE.pem] OUT.zpk FILE...\n"
               "       zpk list [--key PUBLIC.pem] PKG\n"
               "       zpk check [--key PUBLIC.pem] PKG\n",
               stderr);
    return 2;
}

bool readWhole(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string baseName(const std::string& path)
{
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int refuse(const std::string& package, int status)
{
    std::fprintf(stderr, "zpk: %s: refused, status %d: %s\n", package.c_str(), status, zpkStatusText(status));
    return 1;
}

// A PEM key file: the private key to sign with, or a public key to check against.
Key readKey(const std::string& path, bool isPrivate)
{
    Key key(nullptr, EVP_PKEY_free);
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        key.reset(isPrivate ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr)
                            : PEM_read_PUBKEY(file, nullptr, nullptr, nullptr));
        std::fclose(file);
    }
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA || EVP_PKEY_get_bits(key.get()) < 2048 ||
        static_cast<std::size_t>(EVP_PKEY_get_size(key.get())) > kZpkMaxSignatureBytes) {
        std::fprintf(stderr, "zpk: %s is not an RSA %s key of at least 2048 bits (PEM)\n", path.c_str(),
                     isPrivate ? "private" : "public");
        key.reset();
    }
    return key;
}

std::string fingerprint(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    std::string text = "SHA256:";
    if (length > 0 && EVP_Digest(der, static_cast<std::size_t>(length), digest, &digestLength, EVP_sha256(), nullptr)) {
        char pair[3];
        for (unsigned int i = 0; i < digestLength; ++i) {
            std::snprintf(pair, sizeof pair, "%02x", digest[i]);
            text += pair;
        }
    }
    OPENSSL_free(der);
    return text;
}

// Turns a package without a comment into a signed one: the end record's
// comment becomes the signature block (see zpk_signature.h).
bool sign(std::string& package, EVP_PKEY* key, std::string* error)
{
    const std::size_t bytes = static_cast<std::size_t>(EVP_PKEY_get_size(key));
    const std::size_t comment = kZpkSignatureMagicLength + zpkBase64Length(bytes);
    zpkformat::write16(reinterpret_cast<unsigned char*>(&package[package.size() - 2]),
                       static_cast<std::uint16_t>(comment));
    package += kZpkSignatureMagic;
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    std::vector<unsigned char> signature(bytes);
    std::size_t signatureLength = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &signatureLength,
                       reinterpret_cast<const unsigned char*>(package.data()), package.size()) != 1 ||
        signatureLength != bytes) {
        *error = "signing failed";
        return false;
    }
    std::string text(zpkBase64Length(bytes) + 1, '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), signature.data(), static_cast<int>(bytes));
    text.pop_back();
    package += text;
    return true;
}

int pack(const std::string& out, const std::vector<std::string>& paths, const std::string& keyPath)
{
    Key key(nullptr, EVP_PKEY_free);
    if (!keyPath.empty() && !(key = readKey(keyPath, true)))
        return 1;
    std::vector<ZpkInput> files;
    for (const std::string& path : paths) {
        ZpkInput input;
        input.name = baseName(path);
        if (!readWhole(path, input.data)) {
            std::fprintf(stderr, "zpk: cannot read %s\n", path.c_str());
            return 1;
        }
        files.push_back(std::move(input));
    }
    std::string error, package;
    if (!zpkBuildFor(out, files, package, &error) || (key && !sign(package, key.get(), &error)) ||
        !zpkWritePackage(out, package, &error)) {
        std::fprintf(stderr, "zpk: %s not written: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s: %zu file%s, %s\n", out.c_str(), files.size(), files.size() == 1 ? "" : "s",
                key ? ("signed by key " + fingerprint(key.get())).c_str() : "UNSIGNED: the library refuses it");
    return 0;
}

// Checks the signature as the library does, hashing the signed bytes piece by
// piece; says whether it holds and for which key.
ZpkStatus checkSignature(const std::string& path, ZpkSource& source, EVP_PKEY* key)
{
    ZpkSignature signature;
    ZpkStatus status = findSignature(source, static_cast<std::size_t>(EVP_PKEY_get_size(key)), signature);
    if (status == ZPK_DONE) {
        DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
        bool holds = context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1;
        unsigned char piece[ZpkExtractor::kInputChunk];
        for (std::uint64_t done = 0; holds && done < signature.signedLength; done += sizeof piece) {
            const std::uint64_t left = signature.signedLength - done;
            const std::size_t length = left < sizeof piece ? static_cast<std::size_t>(left) : sizeof piece;
            if (!source.readAt(done, piece, length))
                return ZPK_ERR_PACKAGE_UNREADABLE;
            holds = EVP_DigestVerifyUpdate(context.get(), piece, length) == 1;
        }
        if (!holds || EVP_DigestVerifyFinal(context.get(), signature.bytes, signature.length) != 1)
            status = ZPK_ERR_BAD_SIGNATURE;
    }
    if (status == ZPK_ERR_PACKAGE_UNREADABLE)
        return status;
    std::printf("%s: signature %s key %s\n", path.c_str(),
                status == ZPK_DONE ? "holds for" : status == ZPK_ERR_NOT_SIGNED ? "missing; checked for" : "does not hold for",
                fingerprint(key).c_str());
    return status;
}

// Discards what it is given; only the extractor's checks matter.
class NullSink final : public ZpkSink {
public:
    ZpkStatus write(const void*, std::size_t) override { return ZPK_DONE; }
};

int listOrCheck(const std::string& path, bool check, const std::string& keyPath)
{
    const unsigned char* trusted = kZpkTrustedKey;
    Key key = keyPath.empty() ? Key(d2i_PUBKEY(nullptr, &trusted, sizeof kZpkTrustedKey), EVP_PKEY_free)
                              : readKey(keyPath, false);
    if (!key)
        return 1;
    ZpkFileSource source(path);
    if (!source.isOpen())
        return refuse(path, ZPK_ERR_PACKAGE_UNREADABLE);
    ZpkStatus signatureStatus = checkSignature(path, source, key.get());
    if (signatureStatus == ZPK_ERR_PACKAGE_UNREADABLE || (check && signatureStatus != ZPK_DONE))
        return refuse(path, signatureStatus);

    ZpkCatalog catalog;
    ZpkStatus status = readCatalog(source, catalog, baseName(path).c_str());
    if (status != ZPK_DONE)
        return refuse(path, status);

    if (!check) {
        std::printf("%10s %10s  %-8s %-8s  %s\n", "size", "packed", "method", "crc-32", "name");
        for (int i = 0; i < catalog.fileCount; ++i) {
            const ZpkEntry& e = catalog.files[i];
            std::printf("%10" PRIu32 " %10" PRIu32 "  %-8s %08" PRIx32 "  %s\n", e.size, e.compressedSize,
                        e.method == zpkformat::kMethodDeflated ? "deflated" : "stored", e.crc, e.name);
        }
        std::printf("%d file%s, %" PRIu64 " bytes\n", catalog.fileCount, catalog.fileCount == 1 ? "" : "s",
                    catalog.totalSize);
        return signatureStatus == ZPK_DONE ? 0 : 1;
    }

    auto extractor = std::make_unique<ZpkExtractor>();
    NullSink sink;
    for (int i = 0; i < catalog.fileCount; ++i) {
        status = extractEntry(*extractor, catalog.files[i], source, sink);
        if (status != ZPK_DONE) {
            std::fprintf(stderr, "zpk: %s: %s: refused, status %d: %s\n", path.c_str(), catalog.files[i].name,
                         status, zpkStatusText(status));
            return 1;
        }
    }
    std::printf("%s: OK, %d file%s, %" PRIu64 " bytes\n", path.c_str(), catalog.fileCount,
                catalog.fileCount == 1 ? "" : "s", catalog.totalSize);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string key;
    if (args.size() >= 3 && args[1] == "--key") {
        key = args[2];
        args.erase(args.begin() + 1, args.begin() + 3);
    }
    if (args.size() >= 3 && args[0] == "pack")
        return pack(args[1], std::vector<std::string>(args.begin() + 2, args.end()), key);
    if (args.size() == 2 && (args[0] == "list" || args[0] == "check"))
        return listOrCheck(args[1], args[0] == "check", key);
    return usage();
}
