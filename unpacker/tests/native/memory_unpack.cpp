// In-memory unpacking for the native tests.
#include "memory_unpack.h"

#include <memory>

#include "zpk_extract.h"
#include "zpk_reader.h"

namespace {

class StringSink final : public ZpkSink {
public:
    ZpkStatus write(const void* data, std::size_t length) override
    {
        content.append(static_cast<const char*>(data), length);
        stepBytes += length;
        return ZPK_DONE;
    }
    std::string content;
    std::size_t stepBytes = 0;
};

} // namespace

MemoryUnpack unpackInMemory(const std::string& package, const char* packageName)
{
    MemoryUnpack result;
    ZpkMemorySource source(package.data(), package.size());
    auto catalog = std::make_unique<ZpkCatalog>();
    result.status = readCatalog(source, *catalog, packageName);
    if (result.status != ZPK_DONE)
        return result;
    auto extractor = std::make_unique<ZpkExtractor>();
    for (int i = 0; i < catalog->fileCount; ++i) {
        StringSink sink;
        int status = extractor->begin(catalog->files[i]);
        while (status == ZPK_DONE || status == ZPK_WORKING) {
            sink.stepBytes = 0;
            status = extractor->step(source, sink);
            ++result.steps;
            if (sink.stepBytes > result.largestStep)
                result.largestStep = sink.stepBytes;
            if (status == ZPK_DONE)
                break;
        }
        result.bytesWritten += sink.content.size();
        if (status != ZPK_DONE) {
            result.status = status;
            return result;
        }
        result.files.push_back({catalog->files[i].name, sink.content});
    }
    return result;
}
