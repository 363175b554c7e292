// Whether a program file is on the disk (see file_tests.h).
#include "discovery/file_tests.h"

#include <windows.h>

#include "run/text.h"

bool fileExists(const char* path)
{
    if (textIsEmpty(path))
        return false;
    if (textLength(path) < OFS_MAXPATHNAME) {
        OFSTRUCT record{};
        return OpenFile(path, &record, OF_EXIST) != HFILE_ERROR;
    }
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
