// Package validation: the central directory, each local header, the names and
// the sizes, all before a single file is written.
#include "zpk_reader.h"

#include <cstring>

#include "zpk_format.h"

using namespace zpkformat;

namespace {

// A small read cache over the source, so that walking headers does not cost
// one read call per field.
class Window {
public:
    explicit Window(ZpkSource& source) : source_(source), size_(source.size()) {}

    std::uint64_t size() const { return size_; }
    bool readFailed() const { return readFailed_; }

    // `length` bytes at `offset`, or null when they lie (partly) outside the
    // package or cannot be read. `backward` keeps the bytes before `offset`
    // in the cache, for scanning from the end.
    const unsigned char* get(std::uint64_t offset, std::size_t length, bool backward = false)
    {
        if (length > sizeof buffer_ || offset > size_ || length > size_ - offset)
            return nullptr;
        if (offset >= start_ && offset + length <= start_ + length_)
            return buffer_ + (offset - start_);
        std::uint64_t start = offset;
        if (backward)
            start = offset + length > sizeof buffer_ ? offset + length - sizeof buffer_ : 0;
        std::uint64_t available = size_ - start;
        std::size_t count = available < sizeof buffer_ ? static_cast<std::size_t>(available) : sizeof buffer_;
        if (!source_.readAt(start, buffer_, count)) {
            readFailed_ = true;
            length_ = 0;
            return nullptr;
        }
        start_ = start;
        length_ = count;
        return buffer_ + (offset - start_);
    }

private:
    ZpkSource& source_;
    std::uint64_t size_;
    unsigned char buffer_[4096];
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
    bool readFailed_ = false;
};

// Bytes that are missing: unreadable when the read itself failed, otherwise
// the headers point outside the package.
ZpkStatus missing(const Window& window)
{
    return window.readFailed() ? ZPK_ERR_PACKAGE_UNREADABLE : ZPK_ERR_NOT_A_PACKAGE;
}

struct EndRecord {
    std::uint64_t position = 0; // where the end-of-central-directory record starts
    std::uint32_t entryCount = 0;
    std::uint32_t centralSize = 0;
    std::uint32_t centralOffset = 0;
};

// The end record is the last one whose comment runs exactly to the end of the
// file; anything else there means the package was cut short or padded.
ZpkStatus findEndRecord(Window& window, EndRecord& end)
{
    std::uint64_t size = window.size();
    if (size < kEndOfCentralSize)
        return ZPK_ERR_NOT_A_PACKAGE;
    std::uint64_t last = size - kEndOfCentralSize;
    std::uint64_t first = last > kMaxCommentLength ? last - kMaxCommentLength : 0;
    for (std::uint64_t p = last + 1; p-- > first;) {
        const unsigned char* record = window.get(p, kEndOfCentralSize, true);
        if (record == nullptr)
            return missing(window);
        if (read32(record) != kEndOfCentralSignature || read16(record + 20) != last - p)
            continue;

        std::uint16_t disk = read16(record + 4);
        std::uint16_t centralDisk = read16(record + 6);
        std::uint16_t entriesHere = read16(record + 8);
        std::uint16_t entries = read16(record + 10);
        std::uint32_t centralSize = read32(record + 12);
        std::uint32_t centralOffset = read32(record + 16);
        // Counts or offsets at their maximum are ZIP64 markers.
        if (entries == 0xFFFF || entriesHere == 0xFFFF || centralSize == 0xFFFFFFFF ||
            centralOffset == 0xFFFFFFFF)
            return ZPK_ERR_UNSUPPORTED;
        if (p >= kZip64LocatorSize) {
            const unsigned char* locator = window.get(p - kZip64LocatorSize, 4, true);
            if (locator == nullptr)
                return missing(window);
            if (read32(locator) == kZip64LocatorSignature)
                return ZPK_ERR_UNSUPPORTED;
        }
        // A package split over several disks.
        if (disk != 0 || centralDisk != 0 || entriesHere != entries)
            return ZPK_ERR_UNSUPPORTED;
        if (static_cast<std::uint64_t>(centralOffset) + centralSize != p)
            return ZPK_ERR_NOT_A_PACKAGE;
        end.position = p;
        end.entryCount = entries;
        end.centralSize = centralSize;
        end.centralOffset = centralOffset;
        return ZPK_DONE;
    }
    return ZPK_ERR_NOT_A_PACKAGE;
}

// Looks through an extra-field block for ZIP64 sizes or AES encryption.
ZpkStatus checkExtraFields(Window& window, std::uint64_t offset, std::uint32_t length)
{
    std::uint64_t end = offset + length;
    while (end - offset >= 4) {
        const unsigned char* header = window.get(offset, 4);
        if (header == nullptr)
            return missing(window);
        std::uint16_t id = read16(header);
        std::uint16_t size = read16(header + 2);
        if (id == kExtraZip64 || id == kExtraAes)
            return ZPK_ERR_UNSUPPORTED;
        if (size > end - offset - 4)
            break; // padding or a malformed tail: nothing known lies there
        offset += 4 + size;
    }
    return ZPK_DONE;
}

ZpkStatus checkMethodAndFlags(std::uint16_t method, std::uint16_t flags)
{
    if ((flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders)) != 0)
        return ZPK_ERR_UNSUPPORTED;
    if (method != kMethodStored && method != kMethodDeflated)
        return ZPK_ERR_UNSUPPORTED;
    return ZPK_DONE;
}

// Compares the local header of a file with its central directory entry and
// works out where its data lies.
ZpkStatus checkLocalHeader(Window& window, const unsigned char* centralName, std::uint16_t nameLength,
                           std::uint16_t flags, std::uint32_t localOffset, std::uint32_t centralOffset,
                           ZpkEntry& entry)
{
    // The header with the name the central directory gives, in one piece (the
    // caller copied the central name out, as the window moves on).
    if (static_cast<std::uint64_t>(localOffset) + kLocalHeaderSize + nameLength > centralOffset)
        return ZPK_ERR_NOT_A_PACKAGE;
    const unsigned char* local = window.get(localOffset, kLocalHeaderSize + nameLength);
    if (local == nullptr)
        return missing(window);
    if (read32(local) != kLocalHeaderSignature)
        return ZPK_ERR_NOT_A_PACKAGE;
    std::uint16_t localFlags = read16(local + 6);
    std::uint16_t localMethod = read16(local + 8);
    std::uint32_t localCrc = read32(local + 14);
    std::uint32_t localCompressed = read32(local + 18);
    std::uint32_t localSize = read32(local + 22);
    std::uint16_t localNameLength = read16(local + 26);
    std::uint16_t localExtraLength = read16(local + 28);

    ZpkStatus status = checkMethodAndFlags(localMethod, localFlags);
    if (status != ZPK_DONE)
        return status;
    if (localMethod != entry.method || localNameLength != nameLength ||
        (localFlags & kFlagDataDescriptor) != (flags & kFlagDataDescriptor))
        return ZPK_ERR_NOT_A_PACKAGE;
    // With a data descriptor the local header carries zeros and the real values
    // follow the data; the central directory has them either way.
    if ((localFlags & kFlagDataDescriptor) == 0) {
        if (localCompressed == 0xFFFFFFFF || localSize == 0xFFFFFFFF)
            return ZPK_ERR_UNSUPPORTED;
        if (localCrc != entry.crc || localCompressed != entry.compressedSize || localSize != entry.size)
            return ZPK_ERR_NOT_A_PACKAGE;
    }
    if (std::memcmp(local + kLocalHeaderSize, centralName, nameLength) != 0)
        return ZPK_ERR_NOT_A_PACKAGE;

    entry.dataOffset = static_cast<std::uint64_t>(localOffset) + kLocalHeaderSize + localNameLength + localExtraLength;
    if (entry.dataOffset + entry.compressedSize > centralOffset)
        return ZPK_ERR_NOT_A_PACKAGE;
    return ZPK_DONE;
}

ZpkStatus readAll(Window& window, ZpkCatalog& catalog, const char* packageName)
{
    EndRecord end;
    ZpkStatus status = findEndRecord(window, end);
    if (status != ZPK_DONE)
        return status;
    if (end.entryCount > static_cast<std::uint32_t>(kZpkMaxEntries))
        return ZPK_ERR_TOO_MANY_FILES;

    // Each file's local header and data, to refuse entries that share bytes.
    std::uint64_t regionStart[kZpkMaxFiles];
    std::uint64_t regionEnd[kZpkMaxFiles];

    std::uint64_t position = end.centralOffset;
    for (std::uint32_t index = 0; index < end.entryCount; ++index) {
        if (position + kCentralHeaderSize > end.position)
            return ZPK_ERR_NOT_A_PACKAGE;
        const unsigned char* header = window.get(position, kCentralHeaderSize);
        if (header == nullptr)
            return missing(window);
        if (read32(header) != kCentralHeaderSignature)
            return ZPK_ERR_NOT_A_PACKAGE;
        std::uint16_t flags = read16(header + 8);
        std::uint16_t method = read16(header + 10);
        std::uint32_t crc = read32(header + 16);
        std::uint32_t compressedSize = read32(header + 20);
        std::uint32_t size = read32(header + 24);
        std::uint16_t nameLength = read16(header + 28);
        std::uint16_t extraLength = read16(header + 30);
        std::uint16_t commentLength = read16(header + 32);
        std::uint16_t startDisk = read16(header + 34);
        std::uint32_t localOffset = read32(header + 42);

        std::uint64_t nameOffset = position + kCentralHeaderSize;
        std::uint64_t next = nameOffset + nameLength + extraLength + commentLength;
        if (next > end.position)
            return ZPK_ERR_NOT_A_PACKAGE;

        status = checkMethodAndFlags(method, flags);
        if (status != ZPK_DONE)
            return status;
        if (compressedSize == 0xFFFFFFFF || size == 0xFFFFFFFF || localOffset == 0xFFFFFFFF ||
            startDisk == 0xFFFF)
            return ZPK_ERR_UNSUPPORTED;
        if (startDisk != 0)
            return ZPK_ERR_UNSUPPORTED;
        status = checkExtraFields(window, nameOffset + nameLength, extraLength);
        if (status != ZPK_DONE)
            return status;

        if (nameLength == 0 || nameLength > kZpkMaxPathLength)
            return ZPK_ERR_BAD_NAME;
        unsigned char name[kZpkMaxPathLength];
        const unsigned char* nameBytes = window.get(nameOffset, nameLength);
        if (nameBytes == nullptr)
            return missing(window);
        std::memcpy(name, nameBytes, nameLength);

        ZpkBareName bare;
        ZpkNameCheck check = checkEntryName(reinterpret_cast<const char*>(name), nameLength, bare);
        if (check.status != ZPK_DONE)
            return check.status;
        position = next;
        if (check.isDirectory) {
            // A folder: nothing is written for it, but it may not hide data.
            if (size != 0 || (method == kMethodStored && compressedSize != 0))
                return ZPK_ERR_NOT_A_PACKAGE;
            continue;
        }

        if (sameNameIgnoringCase(bare, packageName))
            return ZPK_ERR_DUPLICATE_NAME;
        for (int i = 0; i < catalog.fileCount; ++i) {
            if (sameNameIgnoringCase(bare, catalog.files[i].name))
                return ZPK_ERR_DUPLICATE_NAME;
        }
        if (catalog.fileCount == kZpkMaxFiles)
            return ZPK_ERR_TOO_MANY_FILES;

        if (method == kMethodStored && compressedSize != size)
            return ZPK_ERR_NOT_A_PACKAGE;
        if (method == kMethodDeflated &&
            size > static_cast<std::uint64_t>(compressedSize) * kZpkMaxDeflateRatio + 64)
            return ZPK_ERR_TOO_LARGE;
        if (catalog.totalSize + size > kZpkMaxTotalBytes)
            return ZPK_ERR_TOO_LARGE;

        ZpkEntry& entry = catalog.files[catalog.fileCount];
        std::memcpy(entry.name, bare, sizeof entry.name);
        entry.method = method;
        entry.crc = crc;
        entry.compressedSize = compressedSize;
        entry.size = size;
        status = checkLocalHeader(window, name, nameLength, flags, localOffset, end.centralOffset, entry);
        if (status != ZPK_DONE)
            return status;

        std::uint64_t start = localOffset;
        std::uint64_t stop = entry.dataOffset + entry.compressedSize;
        for (int i = 0; i < catalog.fileCount; ++i) {
            if (start < regionEnd[i] && regionStart[i] < stop)
                return ZPK_ERR_NOT_A_PACKAGE;
        }
        regionStart[catalog.fileCount] = start;
        regionEnd[catalog.fileCount] = stop;
        catalog.totalSize += size;
        ++catalog.fileCount;
    }
    // The directory must end exactly where the end record begins.
    if (position != end.position)
        return ZPK_ERR_NOT_A_PACKAGE;
    return ZPK_DONE;
}

} // namespace

ZpkStatus readCatalog(ZpkSource& source, ZpkCatalog& catalog, const char* packageName)
{
    catalog = ZpkCatalog{};
    Window window(source);
    ZpkStatus status = readAll(window, catalog, packageName);
    if (status != ZPK_DONE)
        catalog = ZpkCatalog{};
    return status;
}
