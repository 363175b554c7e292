// Bounded text operations on fixed buffers (see text.h).
#include "run/text.h"

#include <stdio.h>

#include <cstring>

std::size_t textLength(const char* text)
{
    return std::strlen(text);
}

bool textIsEmpty(const char* text)
{
    return text[0] == '\0';
}

bool endsWithBackslash(const char* text)
{
    std::size_t length = textLength(text);
    return length > 0 && text[length - 1] == '\\';
}

const char* afterLastBackslash(const char* path)
{
    const char* slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

bool copyText(char* dest, std::size_t capacity, const char* source)
{
    std::size_t length = textLength(source);
    if (length >= capacity)
        return false;
    std::memmove(dest, source, length + 1);
    return true;
}

bool appendText(char* dest, std::size_t capacity, const char* source)
{
    std::size_t used = textLength(dest);
    std::size_t length = textLength(source);
    if (used >= capacity || length >= capacity - used)
        return false;
    std::memmove(dest + used, source, length + 1);
    return true;
}

bool joinText(char* dest, std::size_t capacity, const char* first, const char* second)
{
    std::size_t firstLength = textLength(first);
    std::size_t secondLength = textLength(second);
    if (firstLength >= capacity || secondLength >= capacity - firstLength)
        return false;
    // memmove: either part may already lie in dest.
    std::memmove(dest + firstLength, second, secondLength + 1);
    std::memmove(dest, first, firstLength);
    return true;
}

bool formatText(char* dest, std::size_t capacity, const char* format, ...)
{
    // Format into a scratch buffer first so that a text that does not fit leaves
    // dest untouched; no text the program formats is longer than a path and a message.
    char scratch[1024];
    if (capacity == 0 || capacity > sizeof scratch)
        return false;
    std::va_list args;
    va_start(args, format);
    // The system's own formatter (msvcrt): it writes at most `capacity`
    // characters and answers -1 for a text that does not fit.
    int length = _vsnprintf(scratch, capacity, format, args);
    va_end(args);
    if (length < 0 || static_cast<std::size_t>(length) >= capacity)
        return false;
    std::memcpy(dest, scratch, static_cast<std::size_t>(length) + 1);
    return true;
}

bool equalIgnoringAsciiCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}
