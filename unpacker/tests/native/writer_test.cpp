// The package writer: what it refuses, and that ordinary zip tools and the
// reader both accept what it writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "memory_unpack.h"
#include "raw_zip.h"
#include "zip_fixtures.h"
#include "zpk_writer.h"

namespace {

// A temporary folder of the test's own.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/zpk-writer-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

TEST(PackageWriter, RefusesWhatTheLibraryRefusesAndSaysWhy)
{
    std::vector<ZpkInput> twenty;
    for (int i = 0; i < 20; ++i)
        twenty.push_back({"F" + std::to_string(i), "x"});
    struct Case {
        std::vector<ZpkInput> files;
        std::string reasonPart;
    } cases[] = {
        {twenty, "more than 19 files"},
        {{{std::string(32, 'n'), "x"}}, "not a name"},
        {{{"../x", "x"}}, "not a name"},
        {{{"C:\\x", "x"}}, "not a name"},
        {{{"CON", "x"}}, "not a name"},
        {{{"aux.dat", "x"}}, "not a name"},
        {{{"", "x"}}, "not a name"},
        {{{"A.DAT", "1"}, {"a.dat", "2"}}, "second file named \"A.DAT\""},
        {{{"x/A.DAT", "1"}, {"y/a.DAT", "2"}}, "second file"},
        {{{"defs/", "data"}}, "folder entry cannot hold data"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string error;
        std::string out = "untouched";
        EXPECT_FALSE(zpkBuild(c.files, out, &error)) << c.reasonPart;
        EXPECT_NE(error.find(c.reasonPart), std::string::npos) << error;
        EXPECT_EQ(out, "untouched");
        EXPECT_FALSE(zpkWriteFile(dir / "out.zpk", c.files, &error));
        EXPECT_FALSE(exists(dir / "out.zpk")) << c.reasonPart;
    }
}

TEST(PackageWriter, RefusesAFileNamedLikeThePackage)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(zpkWriteFile(dir / "virusdef.zpk", {{"VIRUSDEF.ZPK", "x"}}, &error));
    EXPECT_NE(error.find("package's own name"), std::string::npos) << error;
    EXPECT_FALSE(exists(dir / "virusdef.zpk"));
}

TEST(PackageWriter, ReportsAnUnwritablePath)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(zpkWriteFile(dir / "missing/out.zpk", {{"A.DAT", "x"}}, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    // A null error pointer is allowed.
    EXPECT_FALSE(zpkWriteFile(dir / "missing/out.zpk", {{"../A.DAT", "x"}}, nullptr));
}

TEST(PackageWriter, WritesWhatUnzipAndTheReaderAccept)
{
    TempDir dir;
    std::vector<ZpkInput> files = {{"VIRSCAN.DAT", fillerBytes(500000, 5, true)},
                                   {"NOISE.BIN", fillerBytes(70000, 6, false)},
                                   {"EMPTY.DAT", ""},
                                   {"defs/SUB.DAT", "in a folder"}};
    std::string error;
    ASSERT_TRUE(zpkWriteFile(dir / "virusdef.zpk", files, &error)) << error;
    EXPECT_EQ(std::system(("unzip -tqq '" + dir / "virusdef.zpk" + "'").c_str()), 0);
    ASSERT_EQ(std::system(("unzip -qq -d '" + dir / "out" + "' '" + dir / "virusdef.zpk" + "'").c_str()), 0);
    for (const ZpkInput& f : files)
        EXPECT_TRUE(readWholeFile(dir / "out/" + f.name) == f.data) << f.name;

    MemoryUnpack result = unpackInMemory(readWholeFile(dir / "virusdef.zpk"));
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.files.size(), 4u);
    EXPECT_EQ(result.files[3].name, "SUB.DAT");

    // The same files give the same package.
    std::string again;
    ASSERT_TRUE(zpkBuild(files, again, nullptr));
    EXPECT_TRUE(again == readWholeFile(dir / "virusdef.zpk"));
}

TEST(PackageWriter, ReplacesAnExistingPackage)
{
    TempDir dir;
    ASSERT_TRUE(zpkWriteFile(dir / "p.zpk", {{"OLD.DAT", std::string(100000, 'o')}}, nullptr));
    ASSERT_TRUE(zpkWriteFile(dir / "p.zpk", {{"NEW.DAT", "n"}}, nullptr));
    MemoryUnpack result = unpackInMemory(readWholeFile(dir / "p.zpk"));
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].name, "NEW.DAT");
}

} // namespace
