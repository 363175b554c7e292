// The small volume for tests of a full disk: a 1 MiB tmpfs that the CTest fixture
// "small_volume" (small_volume.sh) mounts and links as drive S: of the tests'
// Wine prefix. Tests that need it skip when it is not there (not root).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "harness/scratch.h"

inline const char kSmallVolume[] = "S:\\";

// Bytes free to this user on the volume of `path`; 0 when it cannot be measured.
inline unsigned long long freeBytesOn(const std::string& path)
{
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(path.c_str(), &available, &total, &totalFree))
        return 0;
    return available.QuadPart;
}

// True when S: is the mounted small volume.
inline bool smallVolumeReady()
{
    ULARGE_INTEGER available, total, totalFree;
    return GetDiskFreeSpaceExA(kSmallVolume, &available, &total, &totalFree) &&
           total.QuadPart <= 2 * 1024 * 1024;
}

#define SKIP_WITHOUT_SMALL_VOLUME()                                                                \
    do {                                                                                           \
        if (!smallVolumeReady())                                                                   \
            GTEST_SKIP() << "drive S: is not the small volume: mounting it needs root";           \
    } while (0)

// Takes up space on the small volume with a filler file until about `leave`
// bytes (rounded down to the volume's 4 KiB pages) remain free; the file goes
// when the object does.
class VolumeFiller {
public:
    VolumeFiller(const std::string& folder, unsigned long long leave) : path_(folder + "filler.bin")
    {
        const unsigned long long free = freeBytesOn(folder);
        if (free > leave)
            writeFile(path_, std::string(static_cast<std::size_t>(free - leave), 'f'));
    }
    ~VolumeFiller() { DeleteFileA(path_.c_str()); }
    VolumeFiller(const VolumeFiller&) = delete;
    VolumeFiller& operator=(const VolumeFiller&) = delete;

private:
    std::string path_;
};
