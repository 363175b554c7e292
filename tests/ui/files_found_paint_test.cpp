// The files-found dialog's painted list: the directories that a fresh discovery
// finds at each paint, in their long form, one line each from (40, 60) to
// (500, 80) and 30 pixels lower for each further line; fonts and device contexts
// given back; discovery's diagnostic box shown on the first paint only.
#include <gtest/gtest.h>

#include <optional>

#include "dialog_script.h"
#include "gdi_count.h"
#include "harness/products.h"
#include "harness/registry.h"
#include "harness/scratch.h"
#include "picture.h"
#include "run/flags.h"
#include "ui/dialog.h"

namespace {

const char kCaption[] = "Virus Definition Files Found";

// The band of client rows where the lines are painted, and a margin around it.
constexpr int kBandTop = 50;
constexpr int kBandBottom = 150;

std::string shortForm(const std::string& path)
{
    char shortPath[MAX_PATH] = "";
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    return length > 0 && length < sizeof shortPath ? shortPath : "";
}

void repaint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// What the dialog should show: `lines` drawn as the dialog draws them (the same
// font, rectangle and steps) on the dialog's background.
Picture expectedPicture(const Picture& shown, const std::vector<std::string>& lines)
{
    COLORREF background = shown.at(5, kBandTop);
    return drawPicture(shown.width, shown.height, background, [&](HDC dc) {
        RECT rect = {40, 60, 500, 80};
        for (const std::string& line : lines) {
            int mode = SetMapMode(dc, MM_TWIPS);
            HFONT font = CreateFontA(-8, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                                     "MS Sans Serif");
            HGDIOBJ previous = SelectObject(dc, font);
            SetMapMode(dc, mode);
            SetBkMode(dc, TRANSPARENT);
            DrawTextA(dc, line.c_str(), -1, &rect, 0);
            SelectObject(dc, previous);
            DeleteObject(font);
            rect.top += 30;
            rect.bottom += 30;
        }
    });
}

// The rows of the band where the two pictures differ, as text for a failure.
std::string bandDifferences(const Picture& shown, const Picture& expected)
{
    std::string rows;
    for (int y = kBandTop; y < kBandBottom; ++y)
        for (int x = 0; x < shown.width; ++x)
            if (shown.at(x, y) != expected.at(x, y)) {
                rows += std::to_string(y) + " ";
                break;
            }
    return rows;
}

enum Installed { None = 0, GlimOn = 1, Dravomire = 2, Both = 3 };

struct PaintCase {
    const char* name;
    Installed installed;
};

class FilesFoundPainting : public ::testing::TestWithParam<PaintCase> {
protected:
    void SetUp() override
    {
        continueUpdate = 1;
        makeBackup = 0;
        diagnosticMode = 0;
    }
    void TearDown() override
    {
        continueUpdate = 0;
        diagnosticMode = 0;
    }

    // Installs the products with long directory names, and names the
    // directories in the registry by their short forms. Returns the long forms
    // in the order the dialog should show them.
    std::vector<std::string> install(Installed installed)
    {
        std::vector<std::string> lines;
        if (installed & GlimOn) {
            GlimOnOptions options;
            options.sharedName = "Shared Virus Definitions";
            glimOn_.emplace(scratch_.path(), options);
            std::string shortDir = shortForm(glimOn_->sharedDir());
            EXPECT_NE(glimOn_->sharedDir(), shortDir);
            setStringValue(product_keys::kGlimOn, "sharedir", shortDir);
            lines.push_back(glimOn_->sharedDir());
        }
        if (installed & Dravomire) {
            DravomireOptions options;
            options.name = "Dravomire Definition Library";
            dravomire_.emplace(scratch_.path(), options);
            std::string shortDir = shortForm(dravomire_->directory());
            EXPECT_NE(dravomire_->directory(), shortDir);
            setStringValue(product_keys::kDravomire, "Directory", shortDir);
            lines.push_back(dravomire_->directory());
        }
        return lines;
    }

    ScratchDir scratch_;
    RegistryGuard guard_;
    std::optional<FakeGlimOn> glimOn_;
    std::optional<FakeDravomire> dravomire_;
};

// Runs the dialog, lets it paint, hands it to `look`, and cancels it.
void withPaintedDialog(std::function<void(HWND)> look, BoxRecorder* boxes = nullptr)
{
    FilesFoundDialog dialog;
    int result = runScripted(dialog, kCaption, {check([](HWND window) { UpdateWindow(window); }), check(look),
                                                click(IDCANCEL)},
                             boxes);
    EXPECT_EQ(0, result);
}

TEST_P(FilesFoundPainting, ShowsEachDirectoryFoundInItsLongFormOnItsOwnLine)
{
    std::vector<std::string> lines = install(GetParam().installed);
    Picture shown;
    withPaintedDialog([&](HWND window) { shown = captureClient(window); });
    ASSERT_FALSE(shown.empty());

    Picture expected = expectedPicture(shown, lines);
    EXPECT_EQ("", bandDifferences(shown, expected)) << "rows that differ from the expected lines";

    const COLORREF background = shown.at(5, kBandTop);
    // Text only inside its line's rectangle, from x = 40 on.
    EXPECT_EQ(0, inkIn(shown, background, 0, kBandTop, 40, kBandBottom));
    EXPECT_EQ(lines.size() >= 1, inkIn(shown, background, 40, 60, 500, 80) > 0);
    EXPECT_EQ(lines.size() >= 2, inkIn(shown, background, 40, 90, 500, 110) > 0);
    EXPECT_EQ(0, inkIn(shown, background, 0, 80, shown.width, 90));
    EXPECT_EQ(0, inkIn(shown, background, 0, 110, shown.width, kBandBottom));

    if (GetParam().installed == Both) {
        EXPECT_TRUE(saveBitmap(shown, artifactPath("files_found.bmp")));
    }
}

INSTANTIATE_TEST_SUITE_P(Products, FilesFoundPainting,
                         ::testing::Values(PaintCase{"None", None}, PaintCase{"GlimOnOnly", GlimOn},
                                           PaintCase{"DravomireOnly", Dravomire}, PaintCase{"Both", Both}),
                         [](const ::testing::TestParamInfo<PaintCase>& info) { return std::string(info.param.name); });

class FilesFoundRepainting : public FilesFoundPainting {};

TEST_F(FilesFoundRepainting, EveryPaintRunsDiscoveryAfresh)
{
    std::vector<std::string> lines = install(Both);
    Picture before, after, back;
    withPaintedDialog([&](HWND window) {
        before = captureClient(window);
        // Dravomire's directory leaves the registry: the next paint shows one line.
        setStringValue(product_keys::kDravomire, "Directory", "");
        repaint(window);
        after = captureClient(window);
        setStringValue(product_keys::kDravomire, "Directory", dravomire_->directory());
        repaint(window);
        back = captureClient(window);
    });
    EXPECT_EQ("", bandDifferences(before, expectedPicture(before, lines)));
    EXPECT_EQ("", bandDifferences(after, expectedPicture(after, {lines[0]})));
    EXPECT_EQ("", bandDifferences(back, expectedPicture(back, lines)));
}

TEST_F(FilesFoundRepainting, GivesBackEveryFontAndDeviceContext)
{
    install(Both);
    int first = -1, afterHundred = -1, withOneMore = -1;
    withPaintedDialog([&](HWND window) {
        first = gdiObjectCount();
        for (int i = 0; i < 100; ++i)
            repaint(window);
        afterHundred = gdiObjectCount();
        // The count does see a font that is kept.
        HFONT kept = CreateFontA(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
        withOneMore = gdiObjectCount();
        DeleteObject(kept);
    });
    ASSERT_GT(first, 0);
    EXPECT_EQ(first, afterHundred);
    EXPECT_EQ(first + 1, withOneMore);
}

TEST_F(FilesFoundRepainting, LongDirectoryIsCutAtTheRectangleAndNotWrapped)
{
    std::string name = "Dravomire";
    while (name.size() < 150)
        name += " Definition Library";
    DravomireOptions options;
    options.name = name;
    dravomire_.emplace(scratch_.path(), options);
    ASSERT_TRUE(directoryExistsAt(dravomire_->directory()));

    Picture shown;
    withPaintedDialog([&](HWND window) { shown = captureClient(window); });
    const COLORREF background = shown.at(5, kBandTop);
    EXPECT_GT(inkIn(shown, background, 480, 60, 500, 80), 0) << "the line reaches the right edge";
    EXPECT_EQ(0, inkIn(shown, background, 500, kBandTop, shown.width, kBandBottom)) << "and is cut there";
    EXPECT_EQ(0, inkIn(shown, background, 0, 80, shown.width, kBandBottom)) << "with nothing wrapped below";
}

// In diagnostic mode discovery says which directory it could not find. The
// GlimOn AV shared directory below a missing folder cannot be created, so each
// discovery asks again; closing the box uncovers the dialog and repaints it.
// The box belongs to the dialog's first paint only: no endless round of boxes.
TEST_F(FilesFoundRepainting, DiagnosticBoxOnlyOnTheFirstPaint)
{
    GlimOnOptions options;
    options.sharedName = "Missing Folder\\Shared";
    options.createShared = false;
    glimOn_.emplace(scratch_.path(), options);
    DravomireOptions dravomireOptions;
    dravomire_.emplace(scratch_.path(), dravomireOptions);
    diagnosticMode = 1;

    BoxRecorder boxes;
    Picture shown;
    withPaintedDialog(
        [&](HWND window) {
            for (int i = 0; i < 5; ++i)
                repaint(window);
            shown = captureClient(window);
        },
        &boxes);

    EXPECT_EQ(1, boxes.count("Defpatch Could not find:"));
    for (const BoxRecord& box : boxes.boxes()) {
        if (box.caption == "Defpatch Could not find:") {
            EXPECT_EQ(glimOn_->sharedDir(), box.text);
        }
    }
    EXPECT_EQ(1, diagnosticMode) << "diagnostic mode stays on for the rest of the run";
    EXPECT_FALSE(directoryExistsAt(glimOn_->sharedDir()));
    // The later paints still find and show what there is.
    EXPECT_EQ("", bandDifferences(shown, expectedPicture(shown, {dravomire_->directory()})));
}

TEST_F(FilesFoundRepainting, DiagnosticBoxComesAgainInANewDialog)
{
    GlimOnOptions options;
    options.sharedName = "Missing Folder\\Shared";
    options.createShared = false;
    glimOn_.emplace(scratch_.path(), options);
    diagnosticMode = 1;

    BoxRecorder boxes;
    withPaintedDialog([](HWND window) { repaint(window); }, &boxes);
    withPaintedDialog([](HWND window) { repaint(window); }, &boxes);
    EXPECT_EQ(2, boxes.count("Defpatch Could not find:"));
}

} // namespace
