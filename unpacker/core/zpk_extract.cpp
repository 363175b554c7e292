// Unpacking one entry in bounded steps; see zpk_extract.h.
#include "zpk_extract.h"

#include <cstring>

#include "zpk_format.h"

ZpkExtractor::ZpkExtractor()
{
    std::memset(&stream_, 0, sizeof stream_);
}

ZpkExtractor::~ZpkExtractor()
{
    end();
}

void ZpkExtractor::end()
{
    if (inflating_)
        inflateEnd(&stream_);
    inflating_ = false;
    active_ = false;
    std::memset(&stream_, 0, sizeof stream_);
    memoryUsed_ = 0;
}

voidpf ZpkExtractor::allocate(voidpf self, uInt items, uInt size)
{
    ZpkExtractor& extractor = *static_cast<ZpkExtractor*>(self);
    // Rounded up so that every block stays aligned for inflate's state; in 64
    // bits neither the product of two 32-bit numbers nor the sum overflows.
    const std::uint64_t bytes = (static_cast<std::uint64_t>(items) * size + 15) & ~static_cast<std::uint64_t>(15);
    if (extractor.memoryUsed_ + bytes > extractor.memoryLimit_)
        return Z_NULL;
    unsigned char* block = extractor.memory_ + extractor.memoryUsed_;
    // Zeroed as the heap's calloc would: nothing of an earlier file shows through.
    std::memset(block, 0, static_cast<std::size_t>(bytes));
    extractor.memoryUsed_ += static_cast<std::size_t>(bytes);
    return block;
}

void ZpkExtractor::release(voidpf, voidpf)
{
    // Given back all at once by end().
}

ZpkStatus ZpkExtractor::begin(const ZpkEntry& entry)
{
    end();
    entry_ = entry;
    readOffset_ = entry.dataOffset;
    compressedLeft_ = entry.compressedSize;
    written_ = 0;
    crc_ = static_cast<std::uint32_t>(crc32(0, Z_NULL, 0));
    if (entry.method == zpkformat::kMethodDeflated) {
        stream_.zalloc = allocate;
        stream_.zfree = release;
        stream_.opaque = this;
        // Raw deflate, as ZIP stores it: no zlib header or trailer. The
        // parameters are fixed, so only memory can be missing.
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK)
            return fail(ZPK_ERR_OUT_OF_MEMORY);
        inflating_ = true;
    }
    active_ = true;
    return ZPK_DONE;
}

ZpkStatus ZpkExtractor::fail(ZpkStatus status)
{
    end();
    return status;
}

ZpkStatus ZpkExtractor::emit(ZpkSink& sink, const unsigned char* data, std::size_t length)
{
    // Never write a byte beyond the declared size: that is what keeps a small
    // package from filling the disk.
    if (length > entry_.size - written_)
        return ZPK_ERR_DATA_DAMAGED;
    if (length == 0)
        return ZPK_DONE;
    ZpkStatus status = sink.write(data, length);
    if (status != ZPK_DONE)
        return status;
    crc_ = static_cast<std::uint32_t>(crc32(crc_, data, static_cast<uInt>(length)));
    written_ += static_cast<std::uint32_t>(length);
    return ZPK_DONE;
}

ZpkStatus ZpkExtractor::finish()
{
    end();
    if (written_ != entry_.size)
        return ZPK_ERR_DATA_DAMAGED;
    if (crc_ != entry_.crc)
        return ZPK_ERR_CRC_MISMATCH;
    return ZPK_DONE;
}

ZpkStatus ZpkExtractor::step(ZpkSource& source, ZpkSink& sink)
{
    if (!active_)
        return ZPK_ERR_NOT_READY;

    // The next piece of the package: a stored file's bytes go out as they
    // are, a deflated file's feed inflate until it has used them up.
    if (!inflating_ || stream_.avail_in == 0) {
        std::size_t count = compressedLeft_ < kInputChunk ? compressedLeft_ : kInputChunk;
        if (count > 0 && !source.readAt(readOffset_, input_, count))
            return fail(ZPK_ERR_PACKAGE_UNREADABLE);
        readOffset_ += count;
        compressedLeft_ -= static_cast<std::uint32_t>(count);
        if (!inflating_) {
            ZpkStatus status = emit(sink, input_, count);
            if (status != ZPK_DONE)
                return fail(status);
            return compressedLeft_ == 0 ? finish() : ZPK_WORKING;
        }
        stream_.next_in = input_;
        stream_.avail_in = static_cast<uInt>(count);
    }
    stream_.next_out = output_;
    stream_.avail_out = static_cast<uInt>(kOutputChunk);
    int result = inflate(&stream_, Z_NO_FLUSH);
    if (result == Z_MEM_ERROR)
        return fail(ZPK_ERR_OUT_OF_MEMORY);
    // Z_BUF_ERROR: no progress was possible, so the input ran out before the
    // end of the stream (one step after the last input was used up).
    if (result != Z_OK && result != Z_STREAM_END)
        return fail(ZPK_ERR_DATA_DAMAGED);
    ZpkStatus status = emit(sink, output_, kOutputChunk - stream_.avail_out);
    if (status != ZPK_DONE)
        return fail(status);
    if (result == Z_OK)
        return ZPK_WORKING;
    // Bytes left after the end of the stream do not belong to any file.
    if (stream_.avail_in != 0 || compressedLeft_ != 0)
        return fail(ZPK_ERR_DATA_DAMAGED);
    return finish();
}

ZpkStatus extractEntry(ZpkExtractor& extractor, const ZpkEntry& entry, ZpkSource& source, ZpkSink& sink)
{
    ZpkStatus status = extractor.begin(entry);
    while (status == ZPK_DONE || status == ZPK_WORKING) {
        status = extractor.step(source, sink);
        if (status == ZPK_DONE)
            return status;
    }
    return status;
}
