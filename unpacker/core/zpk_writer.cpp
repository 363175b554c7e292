// Package writer; see zpk_writer.h.
#include "zpk_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "zpk_format.h"
#include "zpk_limits.h"
#include "zpk_names.h"

using namespace zpkformat;

namespace {

// Every entry gets the same time stamp, 1 January 1980, so the same files
// always give the same package; DefPatch stamps the unpacked files itself.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (1 << 5) | 1;

bool fail(std::string* error, const std::string& reason)
{
    if (error != nullptr)
        *error = reason;
    return false;
}

std::string quoted(const std::string& name)
{
    std::string shown;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return "\"" + shown + "\"";
}

bool checkInputs(const std::vector<ZpkInput>& files, std::string* error)
{
    int fileCount = 0;
    std::uint64_t total = 0;
    std::vector<std::string> bareNames;
    for (const ZpkInput& file : files) {
        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(file.name.data(), file.name.size(), bare);
        if (check.status != ZPK_DONE) {
            return fail(error, quoted(file.name) +
                                   ": not a name the unpacker writes (1 to 31 characters, plain "
                                   "ASCII, none of <>:\"/\\|?*, no device name such as CON or NUL, "
                                   "no \"..\" or drive, not ending in a dot or space)");
        }
        if (check.isDirectory) {
            if (!file.data.empty())
                return fail(error, quoted(file.name) + ": a folder entry cannot hold data");
            continue;
        }
        for (const std::string& earlier : bareNames) {
            if (sameNameIgnoringCase(earlier.c_str(), bare))
                return fail(error, quoted(file.name) + ": a second file named \"" + earlier +
                                       "\" (names are compared ignoring case)");
        }
        bareNames.push_back(bare);
        if (++fileCount > kZpkMaxFiles)
            return fail(error, "more than " + std::to_string(kZpkMaxFiles) + " files in one package");
        total += file.data.size();
        if (total > kZpkMaxTotalBytes)
            return fail(error, "the files add up to more than " +
                                   std::to_string(kZpkMaxTotalBytes / (1024 * 1024)) + " MiB");
    }
    if (files.size() > static_cast<std::size_t>(kZpkMaxEntries))
        return fail(error, "more than " + std::to_string(kZpkMaxEntries) + " entries in one package");
    return true;
}

// Raw deflate (no zlib header), as ZIP stores it.
bool deflateRaw(const std::string& data, std::string& out)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

void append16(std::string& out, std::uint16_t v)
{
    unsigned char b[2];
    write16(b, v);
    out.append(reinterpret_cast<char*>(b), 2);
}

void append32(std::string& out, std::uint32_t v)
{
    unsigned char b[4];
    write32(b, v);
    out.append(reinterpret_cast<char*>(b), 4);
}

} // namespace

bool zpkBuild(const std::vector<ZpkInput>& files, std::string& out, std::string* error)
{
    if (!checkInputs(files, error))
        return false;

    std::string archive;
    std::string central;
    for (const ZpkInput& file : files) {
        std::string compressed;
        std::uint16_t method = kMethodStored;
        if (!file.data.empty() && deflateRaw(file.data, compressed) && compressed.size() < file.data.size())
            method = kMethodDeflated;
        const std::string& stored = method == kMethodDeflated ? compressed : file.data;
        std::uint32_t crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(file.data.data()), static_cast<uInt>(file.data.size())));
        std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        auto size32 = [](std::size_t n) { return static_cast<std::uint32_t>(n); };

        append32(archive, kLocalHeaderSignature);
        append16(archive, kVersionNeeded);
        append16(archive, 0); // flags
        append16(archive, method);
        append16(archive, kDosTime);
        append16(archive, kDosDate);
        append32(archive, crc);
        append32(archive, size32(stored.size()));
        append32(archive, size32(file.data.size()));
        append16(archive, static_cast<std::uint16_t>(file.name.size()));
        append16(archive, 0); // extra
        archive += file.name;
        archive += stored;

        append32(central, kCentralHeaderSignature);
        append16(central, kVersionNeeded); // made by: MS-DOS, 2.0
        append16(central, kVersionNeeded);
        append16(central, 0);
        append16(central, method);
        append16(central, kDosTime);
        append16(central, kDosDate);
        append32(central, crc);
        append32(central, size32(stored.size()));
        append32(central, size32(file.data.size()));
        append16(central, static_cast<std::uint16_t>(file.name.size()));
        append16(central, 0); // extra
        append16(central, 0); // comment
        append16(central, 0); // disk
        append16(central, 0); // internal attributes
        append32(central, 0); // external attributes
        append32(central, offset);
        central += file.name;
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(archive.size());
    archive += central;
    append32(archive, kEndOfCentralSignature);
    append16(archive, 0);
    append16(archive, 0);
    append16(archive, static_cast<std::uint16_t>(files.size()));
    append16(archive, static_cast<std::uint16_t>(files.size()));
    append32(archive, static_cast<std::uint32_t>(central.size()));
    append32(archive, centralOffset);
    append16(archive, 0); // comment
    out.swap(archive);
    return true;
}

bool zpkBuildFor(const std::string& outPath, const std::vector<ZpkInput>& files, std::string& out,
                 std::string* error)
{
    // An entry named like the package would be written over the package while
    // the library is still reading it; the library refuses it, so refuse it here.
    std::size_t slash = outPath.find_last_of("/\\");
    std::string packageName = slash == std::string::npos ? outPath : outPath.substr(slash + 1);
    for (const ZpkInput& file : files) {
        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(file.name.data(), file.name.size(), bare);
        if (check.status == ZPK_DONE && !check.isDirectory && sameNameIgnoringCase(bare, packageName.c_str()))
            return fail(error, quoted(file.name) + ": a file may not have the package's own name");
    }
    return zpkBuild(files, out, error);
}

bool zpkWritePackage(const std::string& outPath, const std::string& package, std::string* error)
{
    std::FILE* file = std::fopen(outPath.c_str(), "wb");
    if (file == nullptr)
        return fail(error, "cannot create " + outPath);
    bool written = std::fwrite(package.data(), 1, package.size(), file) == package.size();
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(outPath.c_str());
        return fail(error, "cannot write " + outPath);
    }
    return true;
}
