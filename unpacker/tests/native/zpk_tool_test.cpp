// The zpk tool, run as the maker runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "package_cases.h"
#include "raw_zip.h"
#include "zip_fixtures.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string output; // standard output and error together
};

ToolRun zpk(const std::string& arguments)
{
    std::string command = std::string(ZPK_TOOL) + " " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ZpkTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zpk-tool-XXXXXX";
        dir_ = mkdtemp(pattern);
        dir_ += "/";
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string put(const std::string& name, const std::string& content)
    {
        FILE* f = std::fopen((dir_ + name).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        return dir_ + name;
    }
    std::string dir_;
};

TEST_F(ZpkTool, PacksListsAndChecks)
{
    std::string a = put("VIRSCAN.DAT", fillerBytes(100000, 1, true));
    std::string b = put("NOISE.BIN", fillerBytes(5000, 2, false));
    ToolRun packed = zpk("pack " + dir_ + "virusdef.zpk " + a + " " + b);
    EXPECT_EQ(packed.exitCode, 0) << packed.output;

    ToolRun listed = zpk("list " + dir_ + "virusdef.zpk");
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    EXPECT_NE(listed.output.find("100000"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("deflated"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("stored"), std::string::npos) << listed.output;
    EXPECT_LT(listed.output.find("VIRSCAN.DAT"), listed.output.find("NOISE.BIN")) << listed.output;
    EXPECT_NE(listed.output.find("2 files, 105000 bytes"), std::string::npos) << listed.output;

    ToolRun checked = zpk("check " + dir_ + "virusdef.zpk");
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("OK, 2 files"), std::string::npos) << checked.output;
}

TEST_F(ZpkTool, RefusesToPackWhatTheLibraryRefuses)
{
    std::string con = put("con", "x");
    ToolRun run = zpk("pack " + dir_ + "out.zpk " + con);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("\"con\": not a name the unpacker writes"), std::string::npos) << run.output;

    std::string longName = put(std::string(32, 'L'), "x");
    run = zpk("pack " + dir_ + "out.zpk " + longName);
    EXPECT_EQ(run.exitCode, 1);

    std::vector<std::string> files;
    std::string list;
    for (int i = 0; i < 20; ++i)
        list += " " + put("F" + std::to_string(i) + ".DAT", "x");
    run = zpk("pack " + dir_ + "out.zpk" + list);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("more than 19 files"), std::string::npos) << run.output;

    run = zpk("pack " + dir_ + "out.zpk " + dir_ + "missing.dat");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("cannot read"), std::string::npos) << run.output;
    EXPECT_NE(access((dir_ + "out.zpk").c_str(), F_OK), 0);
}

TEST_F(ZpkTool, CheckGivesTheLibrarysStatusForEveryBadPackage)
{
    for (const BadCase& c : badCases()) {
        std::string path = put(kCasePackageName, c.bytes);
        ToolRun run = zpk("check " + path);
        EXPECT_EQ(run.exitCode, 1) << c.label;
        EXPECT_NE(run.output.find("status " + std::to_string(c.status) + ":"), std::string::npos)
            << c.label << ": " << run.output;
    }
}

TEST_F(ZpkTool, ChecksZipToolPackages)
{
    for (const ZipFixture& f : loadZipFixtures(ZPK_FIXTURE_DIR "/")) {
        ToolRun run = zpk("check " + f.package);
        EXPECT_EQ(run.exitCode, f.status == 0 ? 0 : 1) << f.package << ": " << run.output;
    }
}

TEST_F(ZpkTool, ExplainsItsUse)
{
    const char* wrong[] = {"", "pack", "pack out.zpk", "list", "list a b", "extract x", "check"};
    for (const char* arguments : wrong) {
        ToolRun run = zpk(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.output.find("usage: zpk pack OUT.zpk FILE..."), std::string::npos) << arguments;
    }
    ToolRun missing = zpk("list " + dir_ + "nothing.zpk");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("status 11"), std::string::npos) << missing.output;
}

} // namespace
