// The limits a package must keep. The library, the zpk tool and the writer
// all refuse the same packages because they all read these.
#pragma once

#include <cstdint>

// DefPatch records the package and then each unpacked file in a list of 20
// names of at most 31 characters.
constexpr int kZpkMaxFiles = 19;
constexpr int kZpkMaxNameLength = 31;

// Folder entries are passed over, but the central directory is read whole
// before anything is written; this bounds it.
constexpr int kZpkMaxEntries = 64;

// A whole entry name, folders included.
constexpr int kZpkMaxPathLength = 255;

// All files of one package together. Definition files are a few MiB; the cap
// keeps a small hostile package from filling the target volume.
constexpr std::uint32_t kZpkMaxTotalBytes = 256u * 1024u * 1024u;

// Deflate cannot expand data by more than about 1032 to 1; an entry that claims
// more is lying about its size.
constexpr std::uint32_t kZpkMaxDeflateRatio = 1032;
