// Unpacks a package held in memory with the platform-free reader, the way the
// library does, and records how the work was divided.
#pragma once

#include <string>
#include <vector>

#include "zpk_writer.h"

struct MemoryUnpack {
    int status = 0;               // ZPK_DONE or the failure
    std::vector<ZpkInput> files;  // the files completed, in order
    std::size_t largestStep = 0;  // most bytes produced by one step
    std::size_t steps = 0;
    std::size_t bytesWritten = 0; // including a failing file's part
};

MemoryUnpack unpackInMemory(const std::string& package, const char* packageName = "virusdef.zpk");
