// Reading a registry value as text (see registry_text.h).
#include "discovery/registry_text.h"

bool readRegistryText(HKEY key, const char* name, char* buffer, std::size_t size, DWORD* byteCount)
{
    if (size == 0)
        return false;
    DWORD count = static_cast<DWORD>(size);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &count) != ERROR_SUCCESS) {
        buffer[0] = '\0';
        return false;
    }
    // A value stored without its terminator still needs one here.
    if (count == 0 || buffer[count - 1] != '\0') {
        if (count >= size) {
            buffer[0] = '\0';
            return false;
        }
        buffer[count] = '\0';
    }
    *byteCount = count;
    return true;
}
