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
        // Raw deflate, as ZIP stores it: no zlib header or trailer.
        int result = inflateInit2(&stream_, -MAX_WBITS);
        if (result != Z_OK)
            return result == Z_MEM_ERROR ? ZPK_ERR_OUT_OF_MEMORY : ZPK_ERR_DATA_DAMAGED;
        inflating_ = true;
    }
    active_ = true;
    return ZPK_DONE;
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

    if (!inflating_) {
        std::size_t count = compressedLeft_ < kOutputChunk ? compressedLeft_ : kOutputChunk;
        if (count > 0) {
            if (!source.readAt(readOffset_, output_, count)) {
                end();
                return ZPK_ERR_PACKAGE_UNREADABLE;
            }
            readOffset_ += count;
            compressedLeft_ -= static_cast<std::uint32_t>(count);
            ZpkStatus status = emit(sink, output_, count);
            if (status != ZPK_DONE) {
                end();
                return status;
            }
        }
        return compressedLeft_ == 0 ? finish() : ZPK_WORKING;
    }

    if (stream_.avail_in == 0 && compressedLeft_ > 0) {
        std::size_t count = compressedLeft_ < kInputChunk ? compressedLeft_ : kInputChunk;
        if (!source.readAt(readOffset_, input_, count)) {
            end();
            return ZPK_ERR_PACKAGE_UNREADABLE;
        }
        readOffset_ += count;
        compressedLeft_ -= static_cast<std::uint32_t>(count);
        stream_.next_in = input_;
        stream_.avail_in = static_cast<uInt>(count);
    }
    stream_.next_out = output_;
    stream_.avail_out = static_cast<uInt>(kOutputChunk);
    int result = inflate(&stream_, Z_NO_FLUSH);
    std::size_t produced = kOutputChunk - stream_.avail_out;
    if (result == Z_MEM_ERROR) {
        end();
        return ZPK_ERR_OUT_OF_MEMORY;
    }
    // Z_BUF_ERROR: no progress was possible, so the input ran out before the
    // end of the stream.
    if (result != Z_OK && result != Z_STREAM_END) {
        end();
        return ZPK_ERR_DATA_DAMAGED;
    }
    ZpkStatus status = emit(sink, output_, produced);
    if (status != ZPK_DONE) {
        end();
        return status;
    }
    if (result == Z_STREAM_END) {
        // Bytes left after the end of the stream do not belong to any file.
        if (stream_.avail_in != 0 || compressedLeft_ != 0) {
            end();
            return ZPK_ERR_DATA_DAMAGED;
        }
        return finish();
    }
    if (stream_.avail_in == 0 && compressedLeft_ == 0 && produced < kOutputChunk) {
        // All input consumed, output not full, yet no end of stream: truncated.
        end();
        return ZPK_ERR_DATA_DAMAGED;
    }
    return ZPK_WORKING;
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
