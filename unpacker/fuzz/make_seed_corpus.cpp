// Writes the fuzzer's seeds: every small package of the tests' tables, sound
// and hostile, one file each, named after its case.
//   make_seed_corpus OUTDIR
#include <cstdio>
#include <string>

#include "package_cases.h"
#include "raw_zip.h"
#include "zpk_writer.h"

namespace {

std::string fileName(const std::string& prefix, const std::string& label)
{
    std::string name = prefix;
    for (char c : label) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? c : '_';
    }
    return name.substr(0, 60) + ".zpk";
}

int written = 0;

void put(const std::string& dir, const std::string& name, const std::string& bytes)
{
    // Small seeds keep the fuzzer fast; the big cases add nothing new in structure.
    if (bytes.size() > 16 * 1024)
        return;
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (f == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    ++written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_seed_corpus OUTDIR\n", stderr);
        return 2;
    }
    for (const GoodCase& c : goodCases())
        put(argv[1], fileName("good_", c.label), c.bytes);
    for (const BadCase& c : badCases())
        put(argv[1], fileName("bad_", c.label), c.bytes);
    // Small sound packages of every kind the big table cases have.
    std::string out;
    std::vector<ZpkInput> mixed = {{"A.DAT", fillerBytes(3000, 1, true)}, {"B.BIN", fillerBytes(500, 2, false)},
                                   {"EMPTY.DAT", ""}, {"defs/C.DAT", "c"}};
    if (zpkBuild(mixed, out, nullptr))
        put(argv[1], "good_small_mixed.zpk", out);
    std::vector<ZpkInput> nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen.push_back({"F" + std::to_string(i), fillerBytes(20 + i, i, i % 2 == 0)});
    if (zpkBuild(nineteen, out, nullptr))
        put(argv[1], "good_small_19_files.zpk", out);
    RawEntry described;
    described.name = "DESC.DAT";
    described.data = fillerBytes(2000, 3, true);
    described.dataDescriptor = true;
    put(argv[1], "good_small_descriptor.zpk", buildRawZip({described}));
    std::printf("%d seeds\n", written);
    return 0;
}
