// The package reader and extractor, natively: sound packages give their
// files, broken and hostile ones their status, and work comes in bounded steps.
#include <gtest/gtest.h>

#include <string>

#include "memory_unpack.h"
#include "package_cases.h"
#include "raw_zip.h"
#include "zip_fixtures.h"
#include "zpk_extract.h"
#include "zpk_status_text.h"
#include "zpk_writer.h"

namespace {

void expectFiles(const std::vector<ZpkInput>& got, const std::vector<ZpkInput>& want, const std::string& label)
{
    ASSERT_EQ(got.size(), want.size()) << label;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name) << label;
        EXPECT_TRUE(got[i].data == want[i].data) << label << ": " << want[i].name << " differs";
    }
}

TEST(PackageReader, SoundPackagesGiveTheirFilesInOrder)
{
    for (const GoodCase& c : goodCases()) {
        MemoryUnpack result = unpackInMemory(c.bytes, kCasePackageName);
        EXPECT_EQ(result.status, ZPK_DONE) << c.label << ": " << zpkStatusText(result.status);
        expectFiles(result.files, c.files, c.label);
    }
}

TEST(PackageReader, BrokenAndHostilePackagesGiveTheirStatus)
{
    for (const BadCase& c : badCases()) {
        MemoryUnpack result = unpackInMemory(c.bytes, kCasePackageName);
        EXPECT_EQ(result.status, c.status) << c.label << ": got " << zpkStatusText(result.status);
        if (!c.whileWriting)
            EXPECT_EQ(result.steps, 0u) << c.label << ": refused only after writing began";
    }
}

TEST(PackageReader, ZipToolPackagesGiveTheirFiles)
{
    std::vector<ZipFixture> fixtures = loadZipFixtures(ZPK_FIXTURE_DIR "/");
    ASSERT_GE(fixtures.size(), 5u);
    for (const ZipFixture& f : fixtures) {
        MemoryUnpack result = unpackInMemory(readWholeFile(f.package));
        EXPECT_EQ(result.status, f.status) << f.package << ": " << zpkStatusText(result.status);
        if (f.status == ZPK_DONE)
            expectFiles(result.files, f.files, f.package);
    }
}

TEST(PackageReader, EveryCutOfAPackageIsRefused)
{
    std::string package;
    ASSERT_TRUE(zpkBuild({{"A.DAT", fillerBytes(3000, 3, true)}, {"B.DAT", "bee"}, {"defs/C.DAT", ""}}, package, nullptr));
    for (std::size_t length = 0; length < package.size(); ++length) {
        MemoryUnpack result = unpackInMemory(package.substr(0, length));
        EXPECT_NE(result.status, ZPK_DONE) << "cut to " << length;
        EXPECT_EQ(result.bytesWritten, 0u) << "cut to " << length;
    }
}

TEST(PackageReader, NeverWritesMoreThanDeclared)
{
    // The stream holds 1 MiB; the headers say 10 bytes.
    RawEntry liar;
    liar.name = "A.DAT";
    liar.data = std::string(1024 * 1024, 'a');
    liar.size = 10;
    MemoryUnpack result = unpackInMemory(buildRawZip({liar}));
    EXPECT_EQ(result.status, ZPK_ERR_DATA_DAMAGED);
    EXPECT_LE(result.bytesWritten, 10u);
}

TEST(PackageExtractor, WorksInBoundedSteps)
{
    // Highly compressible: 4 MiB from a few KiB, so one read could give it all.
    std::string zeros(4 * 1024 * 1024, '\0');
    std::string noise = fillerBytes(300 * 1024, 9, false);
    std::string package;
    ASSERT_TRUE(zpkBuild({{"ZEROS.DAT", zeros}, {"NOISE.DAT", noise}}, package, nullptr));
    MemoryUnpack result = unpackInMemory(package);
    ASSERT_EQ(result.status, ZPK_DONE);
    EXPECT_LE(result.largestStep, ZpkExtractor::kOutputChunk);
    EXPECT_GE(result.steps, (zeros.size() + noise.size()) / ZpkExtractor::kOutputChunk);
    expectFiles(result.files, {{"ZEROS.DAT", zeros}, {"NOISE.DAT", noise}}, "bounded");
}

TEST(PackageExtractor, StepWithoutBeginIsRefused)
{
    ZpkMemorySource source("", 0);
    class NoSink final : public ZpkSink {
    public:
        ZpkStatus write(const void*, std::size_t) override { return ZPK_DONE; }
    } sink;
    auto extractor = std::make_unique<ZpkExtractor>();
    EXPECT_EQ(extractor->step(source, sink), ZPK_ERR_NOT_READY);
}

TEST(PackageExtractor, ReportsTheSinksFailure)
{
    std::string package;
    ASSERT_TRUE(zpkBuild({{"A.DAT", fillerBytes(200000, 4, true)}}, package, nullptr));
    ZpkMemorySource source(package.data(), package.size());
    auto catalog = std::make_unique<ZpkCatalog>();
    ASSERT_EQ(readCatalog(source, *catalog, nullptr), ZPK_DONE);
    class FullSink final : public ZpkSink {
    public:
        ZpkStatus write(const void*, std::size_t) override { return ZPK_ERR_DISK_FULL; }
    } sink;
    auto extractor = std::make_unique<ZpkExtractor>();
    EXPECT_EQ(extractEntry(*extractor, catalog->files[0], source, sink), ZPK_ERR_DISK_FULL);
}

TEST(StatusTexts, EveryStatusHasItsOwnText)
{
    const int statuses[] = {0, 2, 3, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
    std::vector<std::string> seen;
    for (int status : statuses) {
        std::string text = zpkStatusText(status);
        EXPECT_NE(text, "unknown status") << status;
        for (const std::string& other : seen)
            EXPECT_NE(text, other) << status;
        seen.push_back(text);
    }
    EXPECT_STREQ(zpkStatusText(1), "unknown status");
}

} // namespace
