// The test-only ZIP builder.
#include "raw_zip.h"

#include <cstring>

#include <zlib.h>

namespace {

void put16(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string deflateBytes(const std::string& data)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint32_t crcOf(const std::string& data)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string buildRawZip(const std::vector<RawEntry>& entries, const RawZipOptions& options)
{
    std::string archive;
    std::string central;
    for (const RawEntry& e : entries) {
        std::string packed = e.packedBytes ? *e.packedBytes : (e.method == 8 ? deflateBytes(e.data) : e.data);
        std::uint32_t crc = e.crc ? *e.crc : crcOf(e.data);
        std::uint32_t compressed = e.compressedSize ? *e.compressedSize : static_cast<std::uint32_t>(packed.size());
        std::uint32_t size = e.size ? *e.size : static_cast<std::uint32_t>(e.data.size());
        std::uint16_t flags = static_cast<std::uint16_t>(e.flags | (e.dataDescriptor ? 0x0008 : 0));
        std::uint32_t offset = e.localOffset ? *e.localOffset : static_cast<std::uint32_t>(archive.size());

        if (e.writeLocal) {
            std::string localName = e.localName ? *e.localName : e.name;
            put32(archive, 0x04034b50);
            put16(archive, 20);
            put16(archive, flags);
            put16(archive, e.localMethod ? *e.localMethod : e.method);
            put16(archive, 0);
            put16(archive, 0x21);
            put32(archive, e.dataDescriptor ? 0 : crc);
            put32(archive, e.dataDescriptor ? 0 : compressed);
            put32(archive, e.dataDescriptor ? 0 : (e.localSize ? *e.localSize : size));
            put16(archive, static_cast<std::uint32_t>(localName.size()));
            put16(archive, static_cast<std::uint32_t>(e.localExtra.size()));
            archive += localName;
            archive += e.localExtra;
            archive += packed;
            if (e.dataDescriptor) {
                put32(archive, 0x08074b50);
                put32(archive, crc);
                put32(archive, compressed);
                put32(archive, size);
            }
        }

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        put16(central, flags);
        put16(central, e.method);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, compressed);
        put32(central, size);
        put16(central, static_cast<std::uint32_t>(e.name.size()));
        put16(central, static_cast<std::uint32_t>(e.centralExtra.size()));
        put16(central, 0);
        put16(central, e.startDisk ? *e.startDisk : 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central += e.name;
        central += e.centralExtra;
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(archive.size());
    archive += central;
    if (options.zip64Locator) {
        put32(archive, 0x07064b50);
        put32(archive, 0);
        put32(archive, 0);
        put32(archive, 0);
        put32(archive, 1);
    }
    std::uint16_t count = options.entryCount ? *options.entryCount : static_cast<std::uint16_t>(entries.size());
    put32(archive, 0x06054b50);
    put16(archive, options.disk);
    put16(archive, options.disk);
    put16(archive, count);
    put16(archive, count);
    put32(archive, static_cast<std::uint32_t>(central.size()));
    put32(archive, centralOffset);
    put16(archive, static_cast<std::uint32_t>(options.comment.size()));
    archive += options.comment;
    archive += options.trailing;
    return archive;
}

std::string fillerBytes(std::size_t length, std::uint32_t seed, bool text)
{
    static const char kWords[] = "virus definition signature pattern scan engine update ";
    std::string out;
    out.reserve(length);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        if (text)
            out += kWords[(i + (state >> 28)) % (sizeof kWords - 1)];
        else
            out += static_cast<char>(state >> 24);
    }
    return out;
}
