// ReadFile and WriteFile behind the reader's source and sink.
#include "win_file.h"

namespace {

ZpkStatus statusForError(DWORD error)
{
    return (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) ? ZPK_ERR_DISK_FULL : ZPK_ERR_WRITE_FAILED;
}

} // namespace

bool WinFileSource::open(const char* path)
{
    close();
    handle_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) {
        close();
        return false;
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

void WinFileSource::close()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    size_ = 0;
}

bool WinFileSource::readAt(std::uint64_t offset, void* buffer, std::size_t length)
{
    if (handle_ == INVALID_HANDLE_VALUE || offset > size_ || length > size_ - offset)
        return false;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN))
        return false;
    char* out = static_cast<char*>(buffer);
    while (length > 0) {
        DWORD want = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
        DWORD got = 0;
        if (!ReadFile(handle_, out, want, &got, nullptr) || got == 0)
            return false;
        out += got;
        length -= got;
    }
    return true;
}

ZpkStatus WinFileSink::create(const char* path)
{
    close();
    // A read-only file in the way is a failure, not something to overwrite:
    // some systems let an administrator open it for writing all the same.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return ZPK_ERR_WRITE_FAILED;
    handle_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        return statusForError(GetLastError());
    return ZPK_DONE;
}

bool WinFileSink::close()
{
    if (handle_ == INVALID_HANDLE_VALUE)
        return true;
    bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
}

ZpkStatus WinFileSink::write(const void* data, std::size_t length)
{
    const char* in = static_cast<const char*>(data);
    while (length > 0) {
        DWORD want = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(handle_, in, want, &written, nullptr))
            return statusForError(GetLastError());
        // A full volume can take part of a write and still report success.
        if (written != want)
            return ZPK_ERR_DISK_FULL;
        in += written;
        length -= written;
    }
    return ZPK_DONE;
}
