// Entry names: which names a package may hold and what name a file gets on disk.
//
// An entry may sit under folders ("defs/A.DAT"); only the part after its last
// "/" or "\" is used, and the file is always written directly in the target
// directory. Every part of the path must still be a plain Windows name, so
// that "../x", "C:\x" or "\x" are refused rather than quietly flattened.
#pragma once

#include <cstddef>

#include "zpk_status.h"

// The bare name a file is written under: at most 31 characters and the NUL.
using ZpkBareName = char[32];

struct ZpkNameCheck {
    ZpkStatus status = ZPK_ERR_BAD_NAME; // ZPK_DONE when the name is acceptable
    bool isDirectory = false;            // ends in "/" or "\": a folder entry, passed over
};

// Checks the entry name `path` (`length` bytes, not NUL-terminated) and, for a
// file, copies its bare name into `bareName`. Refused with ZPK_ERR_BAD_NAME:
// empty or longer than 255; an empty part ("/x", "a//b"); a part that is not a
// valid Windows file name (see isValidWindowsName); a bare name over 31.
ZpkNameCheck checkEntryName(const char* path, std::size_t length, ZpkBareName& bareName);

// One path part: 1 to `maxLength` printable ASCII characters, none of <>:"/\|?*,
// not ending in "." or " " (so not "." or ".."), and not a device name
// (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, CLOCK$), also not with
// an extension ("con.txt"). Bytes of 128 and above are refused as well: they
// would name different files under different code pages.
bool isValidWindowsName(const char* name, std::size_t length, std::size_t maxLength);

// Names compared as Windows compares them here: A-Z equal to a-z.
bool sameNameIgnoringCase(const char* a, const char* b);
