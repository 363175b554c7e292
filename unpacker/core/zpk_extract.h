// Unpacks one file of a validated package, a bounded piece per call.
//
// Each step reads at most 32 KiB of the package and produces at most 64 KiB,
// so the library can return to its caller between pieces. The extractor
// never produces more than the entry's declared size, and only reports a
// file complete once its size and CRC-32 are right. Whatever ends a file,
// completion or a failure, also ends everything the extractor held for it:
// a later begin() starts as on a new extractor.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

#include "zpk_reader.h"
#include "zpk_source.h"
#include "zpk_status.h"

// Where the unpacked bytes go. Returns ZPK_DONE, or the failure to report
// (ZPK_ERR_WRITE_FAILED, ZPK_ERR_DISK_FULL).
class ZpkSink {
public:
    virtual ZpkStatus write(const void* data, std::size_t length) = 0;

protected:
    ~ZpkSink() = default;
};

class ZpkExtractor {
public:
    static constexpr std::size_t kInputChunk = 32 * 1024;
    static constexpr std::size_t kOutputChunk = 64 * 1024;
    // inflate's state (about 7 KiB) and its 32 KiB window, with room to spare.
    static constexpr std::size_t kInflateMemory = 48 * 1024;

    ZpkExtractor();
    ~ZpkExtractor();
    ZpkExtractor(const ZpkExtractor&) = delete;
    ZpkExtractor& operator=(const ZpkExtractor&) = delete;

    // Starts on `entry`, which must come from readCatalog. ZPK_DONE, or
    // ZPK_ERR_OUT_OF_MEMORY.
    ZpkStatus begin(const ZpkEntry& entry);

    // Does one bounded piece: ZPK_WORKING when there is more to do, ZPK_DONE
    // when the file is complete and verified, or a failure (the file's
    // content is then not to be trusted).
    ZpkStatus step(ZpkSource& source, ZpkSink& sink);

    // Drops the current file, if any.
    void end();

    // How much of its memory inflate may have: tests give it less, to run the
    // paths where inflate cannot get its memory. Takes effect at begin().
    void limitInflateMemory(std::size_t bytes) { memoryLimit_ = bytes < kInflateMemory ? bytes : kInflateMemory; }

private:
    ZpkStatus finish();
    ZpkStatus fail(ZpkStatus status);
    ZpkStatus emit(ZpkSink& sink, const unsigned char* data, std::size_t length);
    static voidpf allocate(voidpf self, uInt items, uInt size);
    static void release(voidpf self, voidpf address);

    z_stream stream_;
    bool inflating_ = false;
    bool active_ = false;
    ZpkEntry entry_;
    std::uint64_t readOffset_ = 0;
    std::uint32_t compressedLeft_ = 0;
    std::uint32_t written_ = 0;
    std::uint32_t crc_ = 0;
    unsigned char input_[kInputChunk];
    unsigned char output_[kOutputChunk];
    // inflate's memory is the extractor's own, never the heap's; it is all
    // given back when the file ends.
    alignas(16) unsigned char memory_[kInflateMemory];
    std::size_t memoryUsed_ = 0;
    std::size_t memoryLimit_ = kInflateMemory;
};

// Unpacks a whole entry into `sink` (for the tool and tests).
ZpkStatus extractEntry(ZpkExtractor& extractor, const ZpkEntry& entry, ZpkSource& source, ZpkSink& sink);
