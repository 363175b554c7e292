// A test-only ZIP builder that writes whatever it is told, including the
// broken and hostile archives the real writer refuses to make.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RawEntry {
    std::string name;
    std::string data;            // the content the entry claims to hold
    std::uint16_t method = 8;    // 0 stored, 8 deflated, anything else as given
    std::uint16_t flags = 0;
    bool dataDescriptor = false; // sizes and CRC after the data, zeros in the local header

    // Overrides; each applies to both headers unless it says local.
    std::optional<std::string> packedBytes; // the bytes stored instead of data (deflated or as is)
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> compressedSize;
    std::optional<std::uint32_t> size;
    std::optional<std::string> localName;
    std::optional<std::uint32_t> localSize;
    std::optional<std::uint16_t> localMethod;
    std::optional<std::uint16_t> startDisk;
    std::string centralExtra;
    std::string localExtra;

    // No local header or data of its own: the central entry points at
    // localOffset, for archives whose entries share bytes.
    bool writeLocal = true;
    std::optional<std::uint32_t> localOffset;
};

struct RawZipOptions {
    std::string comment;
    std::optional<std::uint16_t> entryCount; // in the end record
    std::uint16_t disk = 0;
    bool zip64Locator = false;
    std::string trailing; // bytes after the end record
};

// Raw deflate of `data`, as ZIP stores it.
std::string deflateBytes(const std::string& data);
std::uint32_t crcOf(const std::string& data);

std::string buildRawZip(const std::vector<RawEntry>& entries, const RawZipOptions& options = {});

// Deterministic filler bytes: compressible text when `text`, else noise.
std::string fillerBytes(std::size_t length, std::uint32_t seed, bool text);
