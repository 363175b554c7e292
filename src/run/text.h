// Bounded text operations on fixed buffers.
//
// Every copy and join the program makes into a fixed buffer goes through these.
// Each reports whether the whole text fit; when it does not, the destination is
// left exactly as it was, so a path that is too long is never cut into the name
// of some other file.
#pragma once

#include <cstdarg>
#include <cstddef>

// Paths are single-byte texts in buffers of 256 characters, terminator included.
constexpr std::size_t kPathSize = 256;
using PathBuffer = char[kPathSize];

std::size_t textLength(const char* text);
bool textIsEmpty(const char* text);
bool endsWithBackslash(const char* text);

// The part of `path` after its last backslash (the whole text when it has none).
const char* afterLastBackslash(const char* path);

bool copyText(char* dest, std::size_t capacity, const char* source);
bool appendText(char* dest, std::size_t capacity, const char* source);
// dest = first + second, with nothing put between them.
bool joinText(char* dest, std::size_t capacity, const char* first, const char* second);
// printf-style formatting; on overflow dest is left as it was.
bool formatText(char* dest, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Compares two texts, taking the letters A to Z as equal to a to z only.
bool equalIgnoringAsciiCase(const char* a, const char* b);

template <std::size_t N> bool copyText(char (&dest)[N], const char* source)
{
    return copyText(dest, N, source);
}

template <std::size_t N> bool appendText(char (&dest)[N], const char* source)
{
    return appendText(dest, N, source);
}

template <std::size_t N> bool joinText(char (&dest)[N], const char* first, const char* second)
{
    return joinText(dest, N, first, second);
}

template <std::size_t N, typename... Args>
bool formatText(char (&dest)[N], const char* format, Args... args)
{
    return formatText(dest, N, format, args...);
}
