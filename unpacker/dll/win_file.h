// The package file and the output file of the library, as seen by the
// platform-free reader: ReadFile behind ZpkSource, WriteFile behind ZpkSink.
#pragma once

#include <windows.h>

#include "zpk_extract.h"
#include "zpk_source.h"

// The open package. Owns its handle.
class WinFileSource final : public ZpkSource {
public:
    WinFileSource() = default;
    ~WinFileSource() { close(); }
    WinFileSource(const WinFileSource&) = delete;
    WinFileSource& operator=(const WinFileSource&) = delete;

    // Opens for reading; others may read the package but not change it while it is open.
    bool open(const char* path);
    void close();

    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t length) override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::uint64_t size_ = 0;
};

// The file being unpacked. Owns its handle.
class WinFileSink final : public ZpkSink {
public:
    WinFileSink() = default;
    ~WinFileSink() { close(); }
    WinFileSink(const WinFileSink&) = delete;
    WinFileSink& operator=(const WinFileSink&) = delete;

    // Creates or replaces `path`. ZPK_DONE, or the failure to report.
    ZpkStatus create(const char* path);
    // Closes the file; false when the system reports that it could not.
    bool close();
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    ZpkStatus write(const void* data, std::size_t length) override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
