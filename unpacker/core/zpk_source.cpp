// The in-memory package source.
#include "zpk_source.h"

#include <cstring>

bool ZpkMemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t length)
{
    if (offset > size_ || length > size_ - offset)
        return false;
    if (length != 0)
        std::memcpy(buffer, data_ + offset, length);
    return true;
}
