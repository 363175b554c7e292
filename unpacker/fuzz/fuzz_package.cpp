// libFuzzer target over the package reader, the extractor and the signature
// block, under faults each input chooses in its first 8 bytes (the rest is the
// package): byte 0, bits 0-1: no read fault (0), the read fails (1, 3) or comes
// back short, half its bytes and failure (2); bit 2: the read is the one that
// covers an offset, else the one of a number; bytes 1-3: that number (from 1)
// or offset; 4-5: the write (from 1) at which the sink fails, 0 none; 6, bit 0:
// it fails as a full disk, else as a failed write; 7: inflate's memory in
// 256-byte units, 0 all of it. Besides the sanitizers' findings it stops on a
// broken promise: a signature found ends the package and is of the key's
// length; an accepted catalog keeps the limits; a fault ends the call it hit
// with its status (11 for a read), never in success; a file is complete only
// with all its bytes and its CRC-32; no step reads over 32 KiB or writes over
// 64 KiB; a failed file leaves the extractor holding nothing (another step
// says 10, reading and writing nothing); a read after a failed one gives what
// a new extractor gives.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zpk_extract.h"
#include "zpk_reader.h"
#include "zpk_signature.h"

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Faults {
    int read = 0; // 0 none, 1 fails, 2 comes back short
    bool byOffset = false;
    std::uint32_t readAt = 0, writeAt = 0;
    ZpkStatus writeStatus = ZPK_ERR_WRITE_FAILED;
    std::size_t memory = ZpkExtractor::kInflateMemory;
};

// The package in memory; the chosen read fails, once.
class FaultySource final : public ZpkSource {
public:
    FaultySource(const std::uint8_t* data, std::size_t size, const Faults& faults) : package_(data, size), faults_(faults) {}
    std::uint64_t size() const override { return package_.size(); }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t length) override
    {
        ++reads;
        bytes += length;
        if (faults_.read == 0 || fired ||
            (faults_.byOffset ? faults_.readAt < offset || faults_.readAt - offset >= length : reads != faults_.readAt))
            return package_.readAt(offset, buffer, length);
        fired = true;
        if (faults_.read == 2)
            package_.readAt(offset, buffer, length / 2);
        return false;
    }
    std::uint32_t reads = 0;
    std::uint64_t bytes = 0;
    bool fired = false;

private:
    ZpkMemorySource package_;
    Faults faults_;
};

// Takes each file's bytes; the chosen write fails, once.
class FaultySink final : public ZpkSink {
public:
    explicit FaultySink(const Faults& faults) : faults_(faults) {}
    ZpkStatus write(const void* data, std::size_t length) override
    {
        if (++writes == faults_.writeAt) {
            fired = true;
            return faults_.writeStatus;
        }
        written += length;
        crc = static_cast<std::uint32_t>(crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(length)));
        return ZPK_DONE;
    }
    std::uint32_t writes = 0, crc = 0;
    std::uint64_t written = 0;
    bool fired = false;

private:
    Faults faults_;
};

// What a read of a package gave.
struct Outcome {
    ZpkStatus signature[4] = {}, catalog = ZPK_DONE, file[kZpkMaxFiles] = {};
    std::uint64_t written[kZpkMaxFiles] = {};
    std::uint32_t crc[kZpkMaxFiles] = {};
    bool faulted = false; // a fault fired, or inflate lacked memory
    bool operator==(const Outcome&) const = default;
};

// A fault that fired during a call must have ended it so.
void faultEnds(bool fired, ZpkStatus status, ZpkStatus expected)
{
    require(!fired || status == expected);
}

ZpkCatalog catalog;
ZpkSignature signature;

// Reads the package as the library does: step by step with the checks of
// each step, or with extractEntry.
Outcome readPackage(const std::uint8_t* data, std::size_t size, const Faults& faults, ZpkExtractor& extractor,
                    bool stepwise)
{
    Outcome out;
    FaultySource source(data, size, faults);
    static const std::size_t keyLengths[] = {0, 256, 384, kZpkMaxSignatureBytes + 1};
    for (int k = 0; k < 4; ++k) {
        bool fired = source.fired;
        out.signature[k] = findSignature(source, keyLengths[k], signature);
        faultEnds(source.fired != fired, out.signature[k], ZPK_ERR_PACKAGE_UNREADABLE);
        require(out.signature[k] == ZPK_DONE ? signature.length == keyLengths[k] &&
                    signature.signedLength + zpkBase64Length(keyLengths[k]) == size : signature.length == 0);
    }
    bool fired = source.fired;
    out.catalog = readCatalog(source, catalog, "virusdef.zpk");
    faultEnds(source.fired != fired, out.catalog, ZPK_ERR_PACKAGE_UNREADABLE);
    out.faulted = source.fired;
    require(out.catalog == ZPK_DONE || catalog.fileCount == 0);
    require(catalog.fileCount >= 0 && catalog.fileCount <= kZpkMaxFiles && catalog.totalSize <= kZpkMaxTotalBytes);
    extractor.limitInflateMemory(faults.memory);
    FaultySink sink(faults);
    for (int i = 0; i < catalog.fileCount; ++i) {
        const ZpkEntry& entry = catalog.files[i];
        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(entry.name, std::strlen(entry.name), bare);
        require(check.status == ZPK_DONE && !check.isDirectory && entry.dataOffset + entry.compressedSize <= size);

        fired = source.fired;
        sink.written = sink.crc = 0;
        sink.fired = false;
        ZpkStatus status = stepwise ? extractor.begin(entry) : extractEntry(extractor, entry, source, sink);
        while (stepwise && (status == ZPK_DONE || status == ZPK_WORKING)) {
            const std::uint64_t bytes = source.bytes, written = sink.written;
            status = extractor.step(source, sink);
            require(source.bytes - bytes <= ZpkExtractor::kInputChunk);
            require(sink.written - written <= ZpkExtractor::kOutputChunk && sink.written <= entry.size);
            if (status == ZPK_DONE)
                break;
        }
        if (status != ZPK_DONE) {
            const std::uint32_t reads = source.reads, writes = sink.writes;
            require(extractor.step(source, sink) == ZPK_ERR_NOT_READY && source.reads == reads && sink.writes == writes);
        }
        faultEnds(source.fired != fired, status, ZPK_ERR_PACKAGE_UNREADABLE);
        faultEnds(sink.fired, status, faults.writeStatus);
        require(status != ZPK_DONE || (sink.written == entry.size && sink.crc == entry.crc));
        out.file[i] = status;
        out.written[i] = sink.written;
        out.crc[i] = sink.crc;
        out.faulted = out.faulted || source.fired || sink.fired || status == ZPK_ERR_OUT_OF_MEMORY;
    }
    return out;
}

// One for the whole run: each input is read after the failures of those before.
ZpkExtractor extractor;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    Faults faults;
    faults.read = (data[0] & 3) == 2 ? 2 : (data[0] & 3) != 0;
    faults.byOffset = (data[0] & 4) != 0;
    faults.readAt = data[1] | data[2] << 8 | data[3] << 16;
    faults.writeAt = data[4] | data[5] << 8;
    faults.writeStatus = data[6] & 1 ? ZPK_ERR_DISK_FULL : ZPK_ERR_WRITE_FAILED;
    faults.memory = data[7] != 0 ? data[7] * 256u : ZpkExtractor::kInflateMemory;

    Outcome first = readPackage(data + 8, size - 8, faults, extractor, true);
    // The reader holds nothing from one read to the next; the extractor must
    // not either. So the same package again, without faults: on the extractor
    // that may just have failed, and on a new one.
    if (first.catalog != ZPK_DONE && !first.faulted)
        return 0;
    Outcome again = first.faulted ? readPackage(data + 8, size - 8, Faults{}, extractor, true) : first;
    ZpkExtractor fresh;
    require(again == readPackage(data + 8, size - 8, Faults{}, fresh, false));
    return 0;
}
