// Product discovery on the real (Wine) registry and disk: each lookup rule, the
// name test, the shared directory's creation with its diagnostic box, the
// Dravomire join, and values that are empty or too long for their slot.
#include <gtest/gtest.h>

#include "harness/box_recorder.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "run/flags.h"
#include "run/update_context.h"

namespace {

using namespace product_keys;

class Discovery : public ::testing::Test {
protected:
    void SetUp() override { diagnosticMode = 0; }
    void TearDown() override { diagnosticMode = 0; }

    // A fresh record after one discovery run.
    UpdateContext discover()
    {
        UpdateContext context;
        context.discoverProducts();
        return context;
    }

    ScratchDir scratch;
    RegistryGuard guard;
};

// A path of exactly `length` characters below `base` (which ends in a
// backslash), made of folders that exist but for the last name.
std::string pathOfLength(const std::string& base, std::size_t length)
{
    std::string path = base;
    while (length - path.size() > 60) {
        path += std::string(50, 'd');
        CreateDirectoryA(path.c_str(), nullptr);
        path += '\\';
    }
    path += std::string(length - path.size(), 'e');
    return path;
}

// --- Both products ------------------------------------------------------------

TEST_F(Discovery, NothingInstalledFindsNothingAndSaysNothing)
{
    diagnosticMode = 1;
    BoxRecorder boxes;
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
    for (const auto& slot : context.definitionDirs)
        EXPECT_STREQ("", slot);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Discovery, BothInstalledFillSlotsZeroAndOneInThatOrder)
{
    FakeGlimOn glimOn(scratch.path());
    FakeDravomire dravomire(scratch.path());
    UpdateContext context = discover();
    EXPECT_EQ(2, context.getFoundCount());
    PathBuffer directory;
    ASSERT_EQ(1, context.nextDirectory(directory));
    EXPECT_EQ(glimOn.sharedDir(), directory);
    ASSERT_EQ(1, context.nextDirectory(directory));
    EXPECT_EQ(dravomire.directory(), directory);
    EXPECT_EQ(0, context.nextDirectory(directory));
    EXPECT_STREQ("", context.definitionDirs[2]);
}

TEST_F(Discovery, OnlyDravomireLeavesSlotZeroEmpty)
{
    FakeDravomire dravomire(scratch.path());
    UpdateContext context = discover();
    EXPECT_EQ(1, context.getFoundCount());
    EXPECT_STREQ("", context.definitionDirs[0]);
    EXPECT_EQ(dravomire.directory(), context.definitionDirs[1]);
}

// --- GlimOn AV's shared directory ----------------------------------------------

TEST_F(Discovery, MissingSharedDirectoryIsCreatedAndRecorded)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(scratch.path(), options);
    BoxRecorder boxes;
    UpdateContext context = discover();
    EXPECT_TRUE(directoryExistsAt(glimOn.sharedDir()));
    EXPECT_EQ(glimOn.sharedDir(), context.definitionDirs[0]);
    EXPECT_EQ(1, context.getFoundCount());
    EXPECT_TRUE(boxes.boxes().empty()) << "the box belongs to diagnostic mode only";
}

TEST_F(Discovery, MissingSharedDirectoryIsShownFirstInDiagnosticMode)
{
    GlimOnOptions options;
    options.createShared = false;
    FakeGlimOn glimOn(scratch.path(), options);
    diagnosticMode = 1;
    bool existedWhenShown = true;
    BoxRecorder boxes;
    boxes.on("Defpatch Could not find:", [&](HWND, const BoxRecord&) {
        existedWhenShown = directoryExistsAt(glimOn.sharedDir());
        return IDOK;
    });
    UpdateContext context = discover();
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Defpatch Could not find:", boxes.boxes()[0].caption);
    EXPECT_EQ(glimOn.sharedDir(), boxes.boxes()[0].text) << "the path as given, with its backslash";
    EXPECT_EQ(1, boxes.boxes()[0].buttons);
    EXPECT_FALSE(boxes.boxes()[0].stopIcon);
    EXPECT_FALSE(existedWhenShown);
    EXPECT_TRUE(directoryExistsAt(glimOn.sharedDir()));
    EXPECT_EQ(glimOn.sharedDir(), context.definitionDirs[0]);
}

TEST_F(Discovery, SharedDirectoryWhoseParentIsMissingIsNotCreated)
{
    FakeGlimOn glimOn(scratch.path());
    const std::string shared = scratch / "no parent\\Shared\\";
    setStringValue(kGlimOn, "sharedir", shared);
    diagnosticMode = 1;
    BoxRecorder boxes;
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_STREQ("", context.definitionDirs[0]);
    EXPECT_FALSE(directoryExistsAt(scratch / "no parent"));
    EXPECT_EQ(std::vector<std::string>{"Defpatch Could not find:"}, boxes.captions());
}

TEST_F(Discovery, SharedDirectoryOfAProductNotInstalledIsNeitherCreatedNorRecorded)
{
    GlimOnOptions options;
    options.createShared = false;
    options.lookup = GlimOnLookup::None;
    FakeGlimOn glimOn(scratch.path(), options);
    diagnosticMode = 1;
    BoxRecorder boxes;
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_FALSE(directoryExistsAt(glimOn.sharedDir()));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Discovery, SharedValueNamingAFileCountsAsADirectory)
{
    FakeGlimOn glimOn(scratch.path());
    const std::string file = scratch / "defs.dat";
    ASSERT_TRUE(writeFile(file, "x"));
    setStringValue(kGlimOn, "sharedir", file);
    UpdateContext context = discover();
    EXPECT_EQ(file + "\\", context.definitionDirs[0]);
}

struct SharedCase {
    const char* name;
    bool backslash;
};

void PrintTo(const SharedCase& c, std::ostream* os)
{
    *os << c.name;
}

class SharedDirBackslash : public Discovery, public ::testing::WithParamInterface<SharedCase> {};

TEST_P(SharedDirBackslash, IsRecordedWithExactlyOneTrailingBackslash)
{
    GlimOnOptions options;
    options.sharedBackslash = GetParam().backslash;
    FakeGlimOn glimOn(scratch.path(), options);
    UpdateContext context = discover();
    EXPECT_EQ(glimOn.sharedDir(), context.definitionDirs[0]);
}

INSTANTIATE_TEST_SUITE_P(Values, SharedDirBackslash,
                         ::testing::Values(SharedCase{"WithBackslash", true}, SharedCase{"WithoutBackslash", false}),
                         [](const ::testing::TestParamInfo<SharedCase>& info) { return std::string(info.param.name); });

TEST_F(Discovery, EmptySharedValueCountsAsAbsent)
{
    FakeGlimOn glimOn(scratch.path());
    setStringValue(kGlimOn, "sharedir", "");
    diagnosticMode = 1;
    BoxRecorder boxes;
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_STREQ("", context.definitionDirs[0]);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Discovery, ValueTypeIsNotExamined)
{
    // The values are read as text whatever type the registry reports.
    FakeGlimOn glimOn(scratch.path());
    const std::string shared = glimOn.sharedDir();
    ASSERT_TRUE(setRawValue(kGlimOn, "sharedir", REG_BINARY, shared.c_str(), static_cast<DWORD>(shared.size() + 1)));
    FakeDravomire dravomire(scratch.path());
    const std::string directory = dravomire.directory();
    ASSERT_TRUE(setRawValue(kDravomire, "Directory", REG_EXPAND_SZ, directory.c_str(),
                            static_cast<DWORD>(directory.size() + 1)));
    UpdateContext context = discover();
    EXPECT_EQ(shared, context.definitionDirs[0]);
    EXPECT_EQ(directory, context.definitionDirs[1]);
}

TEST_F(Discovery, ValueStoredWithoutItsTerminatorIsReadWhole)
{
    FakeGlimOn glimOn(scratch.path());
    const std::string shared = glimOn.sharedDir();
    ASSERT_TRUE(setRawValue(kGlimOn, "sharedir", REG_BINARY, shared.c_str(), static_cast<DWORD>(shared.size())));
    EXPECT_EQ(shared, discover().definitionDirs[0]);
}

TEST_F(Discovery, SharedValueAbsentOrKeyAbsentFindsNothing)
{
    FakeGlimOn glimOn(scratch.path());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGlimOn, 0, KEY_SET_VALUE, &key));
    RegDeleteValueA(key, "sharedir");
    RegCloseKey(key);
    EXPECT_EQ(0, discover().getFoundCount());
    deleteKeyTree(HKEY_LOCAL_MACHINE, kGlimOn);
    EXPECT_EQ(0, discover().getFoundCount());
}

// The slot holds 255 characters and the terminator: a value is taken only when
// it fits there together with the backslash that may have to be added.
struct LengthCase {
    const char* name;
    std::size_t length;
    bool backslash;
    bool recorded;
};

void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class SharedDirLength : public Discovery, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(SharedDirLength, FitsItsSlotOrCountsAsAbsent)
{
    const LengthCase& c = GetParam();
    FakeGlimOn glimOn(scratch.path());
    // A file, which passes the existence test like a directory, so that no
    // directory of that length has to be made.
    std::string value = pathOfLength(scratch.path(), c.backslash ? c.length - 1 : c.length);
    if (value.size() < MAX_PATH) {
        ASSERT_TRUE(writeFile(value, "x")) << value;
    }
    if (c.backslash)
        value += '\\';
    ASSERT_EQ(c.length, value.size());
    setStringValue(kGlimOn, "sharedir", value);
    UpdateContext context = discover();
    if (c.recorded) {
        EXPECT_EQ(1, context.getFoundCount());
        EXPECT_EQ(c.backslash ? value : value + "\\", context.definitionDirs[0]);
    } else {
        EXPECT_EQ(0, context.getFoundCount());
        EXPECT_STREQ("", context.definitionDirs[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SharedDirLength,
                         ::testing::Values(LengthCase{"Chars254NoBackslash", 254, false, true},
                                           LengthCase{"Chars255NoBackslash", 255, false, false},
                                           LengthCase{"Chars255WithBackslash", 255, true, true},
                                           LengthCase{"Chars256WithBackslash", 256, true, false},
                                           LengthCase{"Chars300NoBackslash", 300, false, false}),
                         [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

// --- Is GlimOn AV installed: the three lookups -----------------------------------

// One row: what the registry says about the program file, and the answer.
struct LookupCase {
    const char* name;
    const char* appPath;       // default value of App Paths\glimonav.exe; nullptr: no key, "-": key without value
    const char* glimonAppPath; // default value of App Paths\glimon.exe; nullptr: no key, "-": key without value
    const char* installPath;   // "installpath"; nullptr: not set
    int installed;
};

void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class GlimOnLookups : public Discovery, public ::testing::WithParamInterface<LookupCase> {
protected:
    // In the values, "@" stands for the installation folder with its backslash,
    // "@~" for the folder without it (as "installpath" holds it).
    std::string expand(const char* value) const
    {
        std::string text = value;
        std::size_t at = text.find('@');
        if (at == std::string::npos)
            return text;
        if (text.compare(at, 2, "@~") == 0)
            return text.replace(at, 2, installDir().substr(0, installDir().size() - 1));
        return text.replace(at, 1, installDir());
    }
    std::string installDir() const { return scratch / "Program Files\\GlimOn AV\\"; }
};

TEST_P(GlimOnLookups, AnswerAsTheRegistryAndDiskSay)
{
    const LookupCase& c = GetParam();
    CreateDirectoryA((scratch / "Program Files").c_str(), nullptr);
    CreateDirectoryA(installDir().c_str(), nullptr);
    ASSERT_TRUE(writeFile(installDir() + "glimonav.exe", "program"));
    ASSERT_TRUE(writeFile(installDir() + "glimon.exe", "an older program file"));

    if (c.appPath && std::string(c.appPath) == "-") {
        ASSERT_TRUE(setStringValue(kGlimOnAppPath, "Other", "a value that is not the default"));
    } else if (c.appPath) {
        ASSERT_TRUE(setStringValue(kGlimOnAppPath, "", expand(c.appPath)));
    }
    if (c.glimonAppPath && std::string(c.glimonAppPath) == "-") {
        ASSERT_TRUE(setStringValue(kGlimonAppPath, "Other", "a value that is not the default"));
    } else if (c.glimonAppPath) {
        ASSERT_TRUE(setStringValue(kGlimonAppPath, "", expand(c.glimonAppPath)));
    }
    if (c.installPath) {
        ASSERT_TRUE(setStringValue(kGlimOn, "installpath", expand(c.installPath)));
    }

    UpdateContext context;
    EXPECT_EQ(c.installed, context.isGlimOnInstalled());

    // The same answer decides whether discovery records the shared directory.
    const std::string shared = scratch / "Shared\\";
    CreateDirectoryA(shared.c_str(), nullptr);
    setStringValue(kGlimOn, "sharedir", shared);
    UpdateContext discovered = discover();
    EXPECT_EQ(c.installed ? shared : "", discovered.definitionDirs[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, GlimOnLookups,
    ::testing::Values(
        LookupCase{"NoLookupRegistered", nullptr, nullptr, nullptr, 0},
        LookupCase{"AppPathToProgram", "@glimonav.exe", nullptr, nullptr, 1},
        LookupCase{"AppPathInCapitals", "@GLIMONAV.EXE", nullptr, nullptr, 1},
        LookupCase{"AppPathMixedCase", "@GlimOnAV.Exe", nullptr, nullptr, 1},
        LookupCase{"AppPathInQuotesFailsTheNameTest", "\"@glimonav.exe\"", nullptr, nullptr, 0},
        LookupCase{"AppPathShortNameFailsTheNameTest", "@GLIMON~1.EXE", nullptr, nullptr, 0},
        LookupCase{"AppPathToMissingFileGoesOn", "@missing\\glimonav.exe", nullptr, nullptr, 0},
        LookupCase{"AppPathFailingGoesOnToInstallPath", "@GLIMON~1.EXE", nullptr, "@~", 1},
        LookupCase{"AppPathShorterThanTheName", "av.exe", nullptr, "@~", 1},
        LookupCase{"AppPathKeyWithoutDefaultValueEndsTheSearch", "-", "@glimonav.exe", "@~", 0},
        LookupCase{"AppPathFailingGoesOnToGlimonAppPath", "@GLIMON~1.EXE", "@glimonav.exe", nullptr, 1},
        LookupCase{"GlimonAppPathToGlimonavExe", nullptr, "@glimonav.exe", nullptr, 1},
        LookupCase{"GlimonAppPathInCapitals", nullptr, "@GLIMONAV.EXE", nullptr, 1},
        LookupCase{"GlimonAppPathKeyWithoutValueGoesOn", nullptr, "-", "@~", 1},
        LookupCase{"GlimonAppPathEndingInGlimonExeFails", nullptr, "@glimon.exe", nullptr, 0},
        LookupCase{"GlimonAppPathEndingInGlimonExeLeavesItToInstallPath", nullptr, "@glimon.exe", "@~", 1},
        LookupCase{"InstallPathToProgram", nullptr, nullptr, "@~", 1},
        LookupCase{"InstallPathWithoutProgram", nullptr, nullptr, "@missing", 0},
        LookupCase{"InstallPathEmpty", nullptr, nullptr, "", 0}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST_F(Discovery, InstallPathIsJoinedWithBackslashAndProgramName)
{
    const std::string dir = scratch / "GlimOn AV";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(writeFile(dir + "\\glimonav.exe", "program"));
    setStringValue(kGlimOn, "installpath", dir);
    EXPECT_EQ(1, UpdateContext().isGlimOnInstalled());
    setStringValue(kGlimOn, "installpath", dir + "\\glimonav.exe");
    EXPECT_EQ(0, UpdateContext().isGlimOnInstalled());
}

TEST_F(Discovery, AppPathValueTooLongForItsBufferCountsAsUnreadable)
{
    // 600 characters do not fit the 512 bytes the lookup reads: like a key
    // without its value, this ends the search.
    const std::string dir = scratch / "GlimOn AV";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(writeFile(dir + "\\glimonav.exe", "program"));
    setStringValue(kGlimOnAppPath, "", std::string(588, 'x') + "glimonav.exe");
    setStringValue(kGlimOn, "installpath", dir);
    EXPECT_EQ(0, UpdateContext().isGlimOnInstalled());
}

// --- Dravomire -------------------------------------------------------------------

TEST_F(Discovery, DravomireWithoutTrailingBackslashIsNotRecorded)
{
    DravomireOptions options;
    options.directoryBackslash = false;
    FakeDravomire dravomire(scratch.path(), options);
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_STREQ("", context.definitionDirs[1]);
}

TEST_F(Discovery, DravomireNameIsJoinedToTheValueWithoutSeparator)
{
    // "...\Dravomire" joined with "dv95.exe" names "...\Dravomiredv95.exe": when
    // that file exists, Dravomire counts as installed, recorded with a backslash.
    DravomireOptions options;
    options.directoryBackslash = false;
    options.installProgram = false;
    FakeDravomire dravomire(scratch.path(), options);
    ASSERT_TRUE(writeFile(scratch / "Dravomiredv95.exe", "joined"));
    UpdateContext context = discover();
    EXPECT_EQ(1, context.getFoundCount());
    EXPECT_EQ(dravomire.directory(), context.definitionDirs[1]);
}

TEST_F(Discovery, DravomireWithoutItsProgramIsNotRecorded)
{
    DravomireOptions options;
    options.installProgram = false;
    FakeDravomire dravomire(scratch.path(), options);
    EXPECT_EQ(0, discover().getFoundCount());
}

TEST_F(Discovery, EmptyDravomireValueCountsAsAbsent)
{
    // An empty value must not send the file test along the search path: a
    // dv95.exe in the current directory is no Dravomire directory.
    setStringValue(kDravomire, "Directory", "");
    ASSERT_TRUE(writeFile(scratch / "dv95.exe", "stray"));
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(scratch.path().c_str());
    UpdateContext context = discover();
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(0, context.getFoundCount());
    EXPECT_STREQ("", context.definitionDirs[1]);
}

TEST_F(Discovery, DravomireValueTooLongForTheJoinIsNotRecorded)
{
    // 250 characters and a backslash, joined with "dv95.exe", overflow the
    // 256-character buffer: not installed, and nothing written past it.
    const std::string value = pathOfLength(scratch.path(), 250) + "\\";
    CreateDirectoryA(value.c_str(), nullptr);
    ASSERT_TRUE(writeFile(value + "dv95.exe", "program"));
    setStringValue(kDravomire, "Directory", value);
    UpdateContext context = discover();
    EXPECT_EQ(0, context.getFoundCount());
}

// --- isDravomireInstalled and directoryExists directly --------------------------

TEST_F(Discovery, IsDravomireInstalledTestsTheJoinedName)
{
    const std::string dir = scratch / "DV\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    ASSERT_TRUE(writeFile(dir + "dv95.exe", "program"));
    UpdateContext context;
    EXPECT_EQ(1, context.isDravomireInstalled(dir.c_str()));
    EXPECT_EQ(0, context.isDravomireInstalled((scratch / "DV").c_str()));
    EXPECT_EQ(0, context.isDravomireInstalled(scratch.path().c_str()));
    EXPECT_EQ(0, context.isDravomireInstalled(""));
}

struct ExistsCase {
    const char* name;
    const char* relative; // below the scratch folder
    int exists;
};

void PrintTo(const ExistsCase& c, std::ostream* os)
{
    *os << c.name;
}

class DirectoryExists : public Discovery, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(DirectoryExists, AnswersAndShowsTheMissingPathInDiagnosticModeOnly)
{
    const ExistsCase& c = GetParam();
    CreateDirectoryA((scratch / "dir").c_str(), nullptr);
    ASSERT_TRUE(writeFile(scratch / "file.txt", "x"));
    const std::string path = scratch / c.relative;
    UpdateContext context;
    for (int diagnostic : {0, 1}) {
        diagnosticMode = diagnostic;
        BoxRecorder boxes;
        EXPECT_EQ(c.exists, context.directoryExists(path.c_str()));
        if (c.exists || !diagnostic) {
            EXPECT_TRUE(boxes.boxes().empty());
        } else {
            ASSERT_EQ(1u, boxes.boxes().size());
            EXPECT_EQ("Defpatch Could not find:", boxes.boxes()[0].caption);
            EXPECT_EQ(path, boxes.boxes()[0].text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, DirectoryExists,
                         ::testing::Values(ExistsCase{"DirectoryWithBackslash", "dir\\", 1},
                                           ExistsCase{"DirectoryWithoutBackslash", "dir", 1},
                                           ExistsCase{"File", "file.txt", 1},
                                           ExistsCase{"Missing", "missing\\", 0},
                                           ExistsCase{"MissingParent", "missing\\dir\\", 0}),
                         [](const ::testing::TestParamInfo<ExistsCase>& info) { return std::string(info.param.name); });

TEST_F(Discovery, DirectoryExistsRefusesAPathTooLongForItsBuffer)
{
    UpdateContext context;
    const std::string path = std::string("C:\\") + std::string(300, 'x');
    diagnosticMode = 1;
    BoxRecorder boxes;
    EXPECT_EQ(0, context.directoryExists(path.c_str()));
}

} // namespace
