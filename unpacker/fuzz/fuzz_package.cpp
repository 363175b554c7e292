// libFuzzer target over the package reader: any bytes as a package, its
// signature block looked for, then read, validated and, when accepted, unpacked
// into a counting sink. The reader is fuzzed on its own, as the signature check
// before it needs the maker's key. Besides the sanitizers' findings it stops on
// a broken promise: a signature that does not end the package or is not of the
// key's length, a file longer than declared, a bad name let through, too many
// files or bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zpk_extract.h"
#include "zpk_reader.h"
#include "zpk_signature.h"

namespace {

class CountingSink final : public ZpkSink {
public:
    ZpkStatus write(const void*, std::size_t length) override
    {
        written += length;
        return ZPK_DONE;
    }
    std::uint64_t written = 0;
};

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Large buffers; one for the whole run.
ZpkExtractor extractor;
ZpkCatalog catalog;
ZpkSignature signature;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ZpkMemorySource source(data, size);
    static const std::size_t keyLengths[] = {256, 384};
    for (std::size_t bytes : keyLengths) {
        if (findSignature(source, bytes, signature) == ZPK_DONE)
            require(signature.length == bytes && signature.signedLength + zpkBase64Length(bytes) == size);
        else
            require(signature.length == 0);
    }
    ZpkStatus status = readCatalog(source, catalog, "virusdef.zpk");
    if (status != ZPK_DONE) {
        require(catalog.fileCount == 0);
        return 0;
    }
    require(catalog.fileCount >= 0 && catalog.fileCount <= kZpkMaxFiles);
    require(catalog.totalSize <= kZpkMaxTotalBytes);
    for (int i = 0; i < catalog.fileCount; ++i) {
        const ZpkEntry& entry = catalog.files[i];
        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(entry.name, std::strlen(entry.name), bare);
        require(check.status == ZPK_DONE && !check.isDirectory);
        require(entry.dataOffset + entry.compressedSize <= size);

        CountingSink sink;
        status = extractor.begin(entry);
        while (status == ZPK_DONE || status == ZPK_WORKING) {
            std::uint64_t before = sink.written;
            status = extractor.step(source, sink);
            require(sink.written - before <= ZpkExtractor::kOutputChunk);
            require(sink.written <= entry.size);
            if (status == ZPK_DONE)
                break;
        }
        if (status != ZPK_DONE)
            return 0;
        require(sink.written == entry.size);
    }
    return 0;
}
