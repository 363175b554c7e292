// The package file behind the zpk tool's reads; see file_source.h.
#include "file_source.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ZpkFileSource::ZpkFileSource(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    struct stat info;
    open_ = fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    size_ = open_ ? static_cast<std::uint64_t>(info.st_size) : 0;
}

ZpkFileSource::~ZpkFileSource()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ZpkFileSource::readAt(std::uint64_t offset, void* buffer, std::size_t length)
{
    if (!open_ || offset > size_ || length > size_ - offset)
        return false;
    char* out = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t got = ::pread(fd_, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        // A file cut short since it was opened ends the read as a failure too.
        if (got <= 0)
            return false;
        out += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}
