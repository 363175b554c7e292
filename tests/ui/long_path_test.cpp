// UpdateContext::ExpandToLongPath: every directory name after the root in its
// long form and on-disk letter case, ending with a backslash; names that cannot
// be looked up kept as given; a long form too long for its buffer cut, never
// written past it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstring>

#include "harness/scratch.h"
#include "run/update_context.h"

namespace {

std::string shortForm(const std::string& path)
{
    char shortPath[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return length > 0 && length < sizeof shortPath ? shortPath : "";
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string withoutBackslash(std::string path)
{
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

// The result buffer with guard bytes on either side, to see any write past it.
struct GuardedResult {
    char before[16];
    PathBuffer result;
    char after[16];
};

std::string expand(const std::string& path)
{
    GuardedResult guarded;
    std::memset(&guarded, 0x5a, sizeof guarded);
    UpdateContext context;
    context.ExpandToLongPath(path.c_str(), guarded.result);
    for (char c : guarded.before)
        EXPECT_EQ(0x5a, c) << "written before the result";
    for (char c : guarded.after)
        EXPECT_EQ(0x5a, c) << "written past the result";
    EXPECT_NE(nullptr, std::memchr(guarded.result, '\0', sizeof guarded.result));
    return guarded.result;
}

class LongPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The scratch folder's own path may hold short names (the temporary
        // directory's, for instance): compare against its long form.
        char longPath[MAX_PATH] = "";
        GetLongPathNameA(scratch.path().c_str(), longPath, sizeof longPath);
        base = longPath;
        programFiles = base + "Program Files\\";
        virDefs = programFiles + "VirDefs Of November\\";
        ASSERT_TRUE(CreateDirectoryA(programFiles.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(virDefs.c_str(), nullptr));
    }
    ScratchDir scratch;
    std::string base, programFiles, virDefs;
};

TEST_F(LongPath, ShortNamesBecomeLongNames)
{
    std::string shortPath = shortForm(virDefs);
    ASSERT_NE("", shortPath);
    ASSERT_NE(virDefs, shortPath);
    EXPECT_EQ(virDefs, expand(shortPath));
}

TEST_F(LongPath, LongNamesTakeTheLetterCaseOnTheDisk)
{
    // The root is kept as given, the names after it come from the disk.
    std::string given = upper(virDefs);
    EXPECT_EQ(given.substr(0, 3) + virDefs.substr(3), expand(given));
}

TEST_F(LongPath, PathWithoutTrailingBackslashStillEndsWithOne)
{
    EXPECT_EQ(virDefs, expand(withoutBackslash(shortForm(virDefs))));
}

TEST_F(LongPath, NamesThatCannotBeFoundAreKeptAsGiven)
{
    // A directory removed after discovery recorded it.
    std::string shortParent = shortForm(programFiles);
    EXPECT_EQ(programFiles + "Gone Away\\deeper\\", expand(shortParent + "Gone Away\\deeper\\"));
    EXPECT_EQ(programFiles + "gone\\", expand(shortParent + "gone"));
}

TEST_F(LongPath, NamesWithWildcardsAreKeptAsGiven)
{
    // "Program*" would otherwise find "Program Files".
    EXPECT_EQ(base + "Program*\\", expand(base + "Program*\\"));
    EXPECT_EQ(base + "Pr?gram Files\\", expand(base + "Pr?gram Files\\"));
}

TEST(LongPathForms, RootAndShortTexts)
{
    struct Case {
        const char* given;
        const char* expected;
    } cases[] = {
        {"C:\\", "C:\\"},
        {"C:", "C:"},
        {"", ""},
        {"C:\\\\", "C:\\\\"}, // an empty name is kept as it is
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, expand(c.given)) << "given " << c.given;
}

TEST_F(LongPath, LongFormTooLongForTheBufferIsCut)
{
    // Three nested directories of 90-character names: the short form fits a
    // path buffer, the long form (over 280 characters) does not.
    std::string longPath = base;
    const std::string name(90, 'L');
    std::string shortPath;
    for (char level : {'a', 'b', 'c'}) {
        longPath += std::string(1, level) + name + "\\";
        std::wstring wide = L"\\\\?\\";
        for (char c : longPath)
            wide += static_cast<wchar_t>(c);
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << GetLastError();
    }
    // The short form, built one level at a time from what the search reports.
    shortPath = shortForm(base);
    std::string walk = base;
    for (char level : {'a', 'b', 'c'}) {
        WIN32_FIND_DATAA found;
        std::string probe = shortPath + level + "*";
        HANDLE search = FindFirstFileA(probe.c_str(), &found);
        ASSERT_NE(INVALID_HANDLE_VALUE, search) << probe;
        FindClose(search);
        ASSERT_NE('\0', found.cAlternateFileName[0]) << "no short name for " << found.cFileName;
        shortPath += std::string(found.cAlternateFileName) + "\\";
    }
    ASSERT_LT(shortPath.size(), 200u);
    ASSERT_GT(longPath.size(), 255u);

    std::string expanded = expand(shortPath);
    EXPECT_EQ(longPath.substr(0, 255), expanded);
}

} // namespace
