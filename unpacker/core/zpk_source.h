// Where the reader gets package bytes from: the DLL reads a file with ReadFile,
// the tool and the tests read memory or a stdio file.
#pragma once

#include <cstddef>
#include <cstdint>

class ZpkSource {
public:
    // Total size of the package in bytes.
    virtual std::uint64_t size() const = 0;
    // Reads exactly `length` bytes at `offset`; false when they cannot all be
    // read (a read that fails or comes back short), and the buffer may then
    // hold part of them: nothing of it is to be used.
    virtual bool readAt(std::uint64_t offset, void* buffer, std::size_t length) = 0;

protected:
    ~ZpkSource() = default;
};

// A package held in memory (not copied; it must outlive the source).
class ZpkMemorySource final : public ZpkSource {
public:
    ZpkMemorySource(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t length) override;

private:
    const unsigned char* data_;
    std::size_t size_;
};
