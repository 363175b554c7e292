// Reads and validates a whole package before anything is unpacked.
//
// readCatalog walks the ZIP central directory and every file's local header
// and settles whether the package is sound: supported entries only, at most
// 19 files with names the library may write, no two alike, sizes that agree
// between the headers and stay under the total cap, and data that lies
// inside the archive without overlapping. Only the contents themselves
// (inflating and CRC-32) are left to ZpkExtractor.
#pragma once

#include <cstdint>

#include "zpk_limits.h"
#include "zpk_names.h"
#include "zpk_source.h"
#include "zpk_status.h"

struct ZpkEntry {
    ZpkBareName name;                 // the name the file is written under
    std::uint16_t method = 0;         // stored or deflated
    std::uint32_t crc = 0;            // CRC-32 of the unpacked content
    std::uint32_t compressedSize = 0; // bytes at dataOffset
    std::uint32_t size = 0;           // unpacked bytes
    std::uint64_t dataOffset = 0;     // where the entry's data begins in the package
};

// The files of a package in package order; folder entries are left out.
struct ZpkCatalog {
    ZpkEntry files[kZpkMaxFiles];
    int fileCount = 0;
    std::uint64_t totalSize = 0;
};

// Reads the catalog of the package in `source`. `packageName` is the
// package's own file name: a file of that name would overwrite the package
// while it is read, so it counts as a duplicate. Returns ZPK_DONE when the
// package is sound, else the status that says why not; the catalog is then
// left empty.
ZpkStatus readCatalog(ZpkSource& source, ZpkCatalog& catalog, const char* packageName);
