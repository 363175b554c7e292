// A package file read piece by piece, as the library reads it: the zpk tool
// never holds a whole package in memory, whatever its size.
#pragma once

#include <string>

#include "zpk_source.h"

class ZpkFileSource final : public ZpkSource {
public:
    // Opens `path` for reading; isOpen() says whether it is a regular file that could be.
    explicit ZpkFileSource(const std::string& path);
    ~ZpkFileSource();
    ZpkFileSource(const ZpkFileSource&) = delete;
    ZpkFileSource& operator=(const ZpkFileSource&) = delete;

    bool isOpen() const { return open_; }

    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t length) override;

private:
    int fd_ = -1;
    bool open_ = false;
    std::uint64_t size_ = 0;
};
