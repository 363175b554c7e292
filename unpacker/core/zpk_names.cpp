// Entry name rules; see zpk_names.h.
#include "zpk_names.h"

#include <cstring>

#include "zpk_limits.h"

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(const char* text, std::size_t length, const char* word)
{
    std::size_t wordLength = std::strlen(word);
    if (length != wordLength)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (lowerAscii(text[i]) != lowerAscii(word[i]))
            return false;
    }
    return true;
}

// Windows opens a device, not a file, for these base names, whatever the
// extension: "nul.dat" is the null device.
bool isDeviceName(const char* name, std::size_t length)
{
    std::size_t base = 0;
    while (base < length && name[base] != '.')
        ++base;
    while (base > 0 && name[base - 1] == ' ')
        --base;
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    for (const char* device : kDevices) {
        if (equalsIgnoringCase(name, base, device))
            return true;
    }
    if (base == 4 && name[3] >= '0' && name[3] <= '9')
        return equalsIgnoringCase(name, 3, "com") || equalsIgnoringCase(name, 3, "lpt");
    return false;
}

} // namespace

bool isValidWindowsName(const char* name, std::size_t length, std::size_t maxLength)
{
    if (length == 0 || length > maxLength)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c > 0x7E || std::strchr("<>:\"/\\|?*", c) != nullptr)
            return false;
    }
    // Windows drops trailing dots and spaces, so "A.DAT." would be written as
    // "A.DAT"; this also refuses "." and "..".
    char last = name[length - 1];
    if (last == '.' || last == ' ')
        return false;
    return !isDeviceName(name, length);
}

ZpkNameCheck checkEntryName(const char* path, std::size_t length, ZpkBareName& bareName)
{
    ZpkNameCheck result;
    if (path == nullptr || length == 0 || length > static_cast<std::size_t>(kZpkMaxPathLength))
        return result;
    std::memset(bareName, 0, sizeof bareName);

    bool isDirectory = path[length - 1] == '/' || path[length - 1] == '\\';
    std::size_t end = isDirectory ? length - 1 : length;

    std::size_t start = 0;
    for (std::size_t i = 0; i <= end; ++i) {
        if (i < end && path[i] != '/' && path[i] != '\\')
            continue;
        // path[start, i) is one part; an empty part means a leading separator
        // (an absolute path) or two in a row.
        bool isLast = i == end;
        std::size_t maxLength = (isLast && !isDirectory) ? kZpkMaxNameLength : kZpkMaxPathLength;
        if (!isValidWindowsName(path + start, i - start, maxLength))
            return result;
        start = i + 1;
    }

    if (!isDirectory) {
        std::size_t nameStart = 0;
        for (std::size_t i = 0; i < length; ++i) {
            if (path[i] == '/' || path[i] == '\\')
                nameStart = i + 1;
        }
        std::memcpy(bareName, path + nameStart, length - nameStart);
    }
    result.status = ZPK_DONE;
    result.isDirectory = isDirectory;
    return result;
}

bool sameNameIgnoringCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (lowerAscii(*a) != lowerAscii(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}
