// Reading a registry value as text into a fixed buffer.
#pragma once

#include <windows.h>

#include <cstddef>

// Reads the value `name` of `key` into `buffer` whatever type the registry
// reports, and gives the byte count the registry returned. The text is always
// terminated: a value that does not fit the buffer with its terminator counts
// as unreadable and false is returned.
bool readRegistryText(HKEY key, const char* name, char* buffer, std::size_t size, DWORD* byteCount);
