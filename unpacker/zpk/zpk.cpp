// zpk: the maker's package tool.
//
//   zpk pack OUT.zpk FILE...   build a package of the files, each under its own
//                              file name; refuses what zunpck32.dll would refuse
//   zpk list PKG               show the files of a package
//   zpk check PKG              validate a package as the library does, CRC-32 included
//
// Exit code 0 on success, 1 when a package is refused or unreadable, 2 on wrong use.
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "zpk_extract.h"
#include "zpk_format.h"
#include "zpk_reader.h"
#include "zpk_status_text.h"
#include "zpk_writer.h"

namespace {

int usage()
{
    std::fputs("usage: zpk pack OUT.zpk FILE...\n"
               "       zpk list PKG\n"
               "       zpk check PKG\n",
               stderr);
    return 2;
}

bool readWhole(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string baseName(const std::string& path)
{
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int refuse(const std::string& package, int status)
{
    std::fprintf(stderr, "zpk: %s: refused, status %d: %s\n", package.c_str(), status, zpkStatusText(status));
    return 1;
}

int pack(const std::string& out, const std::vector<std::string>& paths)
{
    std::vector<ZpkInput> files;
    for (const std::string& path : paths) {
        ZpkInput input;
        input.name = baseName(path);
        if (!readWhole(path, input.data)) {
            std::fprintf(stderr, "zpk: cannot read %s\n", path.c_str());
            return 1;
        }
        files.push_back(std::move(input));
    }
    std::string error;
    if (!zpkWriteFile(out, files, &error)) {
        std::fprintf(stderr, "zpk: %s not written: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s: %zu file%s\n", out.c_str(), files.size(), files.size() == 1 ? "" : "s");
    return 0;
}

// Discards what it is given; only the extractor's checks matter.
class NullSink final : public ZpkSink {
public:
    ZpkStatus write(const void*, std::size_t) override { return ZPK_DONE; }
};

int listOrCheck(const std::string& path, bool check)
{
    std::string package;
    if (!readWhole(path, package))
        return refuse(path, ZPK_ERR_PACKAGE_UNREADABLE);
    ZpkMemorySource source(package.data(), package.size());
    ZpkCatalog catalog;
    ZpkStatus status = readCatalog(source, catalog, baseName(path).c_str());
    if (status != ZPK_DONE)
        return refuse(path, status);

    if (!check) {
        std::printf("%10s %10s  %-8s %-8s  %s\n", "size", "packed", "method", "crc-32", "name");
        for (int i = 0; i < catalog.fileCount; ++i) {
            const ZpkEntry& e = catalog.files[i];
            std::printf("%10" PRIu32 " %10" PRIu32 "  %-8s %08" PRIx32 "  %s\n", e.size, e.compressedSize,
                        e.method == zpkformat::kMethodDeflated ? "deflated" : "stored", e.crc, e.name);
        }
        std::printf("%d file%s, %" PRIu64 " bytes\n", catalog.fileCount, catalog.fileCount == 1 ? "" : "s",
                    catalog.totalSize);
        return 0;
    }

    auto extractor = std::make_unique<ZpkExtractor>();
    NullSink sink;
    for (int i = 0; i < catalog.fileCount; ++i) {
        status = extractEntry(*extractor, catalog.files[i], source, sink);
        if (status != ZPK_DONE) {
            std::fprintf(stderr, "zpk: %s: %s: refused, status %d: %s\n", path.c_str(), catalog.files[i].name,
                         status, zpkStatusText(status));
            return 1;
        }
    }
    std::printf("%s: OK, %d file%s, %" PRIu64 " bytes\n", path.c_str(), catalog.fileCount,
                catalog.fileCount == 1 ? "" : "s", catalog.totalSize);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "pack" && argc >= 4)
        return pack(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    if ((command == "list" || command == "check") && argc == 3)
        return listOrCheck(argv[2], command == "check");
    return usage();
}
