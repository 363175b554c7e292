// Small owners for the system handles the program opens: each closes its handle
// when it goes out of scope, so no path through a function leaks one.
#pragma once

#include <windows.h>

template <typename Handle, Handle None, typename Traits> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool valid() const { return handle_ != None; }
    Handle get() const { return handle_; }

    // For calls that hand the handle back through an out-argument.
    Handle* receive()
    {
        reset();
        return &handle_;
    }

    void reset(Handle handle = None)
    {
        if (handle_ != None)
            Traits::close(handle_);
        handle_ = handle;
    }

    Handle release()
    {
        Handle handle = handle_;
        handle_ = None;
        return handle;
    }

private:
    Handle handle_ = None;
};

struct FileHandleTraits {
    static void close(HANDLE handle) { CloseHandle(handle); }
};
struct FindHandleTraits {
    static void close(HANDLE handle) { FindClose(handle); }
};
struct RegKeyTraits {
    static void close(HKEY key) { RegCloseKey(key); }
};
struct LibraryTraits {
    static void close(HMODULE module) { FreeLibrary(module); }
};
struct GdiObjectTraits {
    static void close(HGDIOBJ object) { DeleteObject(object); }
};

// A file from CreateFileA: INVALID_HANDLE_VALUE means none.
class FileHandle : public UniqueHandle<HANDLE, nullptr, FileHandleTraits> {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle)
        : UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
};

// A search from FindFirstFileA: INVALID_HANDLE_VALUE means none.
class FindHandle : public UniqueHandle<HANDLE, nullptr, FindHandleTraits> {
public:
    FindHandle() = default;
    explicit FindHandle(HANDLE handle)
        : UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
};

using RegKey = UniqueHandle<HKEY, nullptr, RegKeyTraits>;
using Library = UniqueHandle<HMODULE, nullptr, LibraryTraits>;
using GdiObject = UniqueHandle<HGDIOBJ, nullptr, GdiObjectTraits>;
