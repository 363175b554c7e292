// The four dialog templates and the welcome bitmap as the program carries them:
// each template read from the resources, and each dialog as the system builds it
// from its template (ids, kinds, styles, texts, and positions through
// MapDialogRect).
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "dialog_script.h"
#include "harness/registry.h"
#include "picture.h"
#include "run/flags.h"
#include "ui/dialog.h"

namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_SETFONT;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
constexpr DWORD kCheckBox = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kPicture = WS_CHILD | WS_VISIBLE | SS_BITMAP;
constexpr int kStatic = 0xFFFF; // the id -1, as a template stores it

struct ExpectedControl {
    int id;
    const char* className; // "Button" or "Static"
    DWORD style;
    const char* text;      // nullptr: the bitmap 106, named by ordinal
    int x, y, width, height;
};

struct ExpectedTemplate {
    const char* name;
    int id;
    const char* title;
    DWORD style;
    int width, height;
    std::vector<ExpectedControl> controls;
};

std::vector<ExpectedTemplate> expectedTemplates()
{
    return {
        {"Welcome", IDD_WELCOME, "Zorvane Virus Definition Update", kDialogStyle | WS_VISIBLE, 269, 171,
         {
             {IDOK, "Button", kButton, "OK", 153, 150, 50, 14},
             {IDCANCEL, "Button", kButton, "Cancel", 207, 150, 50, 14},
             {kStatic, "Static", kText,
              "Welcome to the Zorvane Virus Definition Update program for November, 1997.", 81, 13, 180, 24},
             {kStatic, "Static", kText,
              "This program will update the virus definition files for your Zorvane product.  "
              "You will be given the chance to back up your current files.",
              81, 54, 180, 24},
             {kStatic, "Static", kText, "Please press OK to continue, or Cancel to abort the update.", 81, 102,
              180, 24},
             {kStatic, "Static", kPicture, nullptr, 10, 16, 62, 149},
         }},
        {"FilesFound", IDD_FILES_FOUND, "Virus Definition Files Found", kDialogStyle | WS_VISIBLE, 258, 184,
         {
             {IDOK, "Button", kDefaultButton, "OK", 148, 157, 50, 14},
             {IDCANCEL, "Button", kButton, "Cancel", 201, 157, 50, 14},
             {kStatic, "Static", kText,
              "Zorvane Virus Definition files were found in the following directory:", 9, 10, 228, 11},
             {kStatic, "Static", kText,
              "Press OK to update your virus definition files, or press Cancel to exit.", 30, 126, 220, 15},
             {IDC_CREATE_BACKUP, "Button", kCheckBox, "&Create backup of the current virus definition files.", 30,
              104, 216, 11},
         }},
        {"UpdateComplete", IDD_UPDATE_COMPLETE, "Update Complete", kDialogStyle | WS_VISIBLE, 256, 177,
         {
             {IDC_VIEW_README, "Button", kDefaultButton, "View README", 135, 156, 60, 14},
             {IDCLOSE, "Button", kButton, "Exit", 199, 156, 50, 14},
             {kStatic, "Static", kText,
              "Your virus definition files have been updated successfully!  You may now view the README "
              "file, or press Exit to return to the operating system.",
              13, 14, 229, 39},
         }},
        {"NoFilesUpdated", IDD_NO_FILES_UPDATED, "No Files Were Updated", kDialogStyle, 255, 181,
         {
             {IDOK, "Button", kDefaultButton, "OK", 198, 153, 50, 14},
             {kStatic, "Static", kText,
              "The Virus Definition files currently on your system are more recent than the files in this "
              "update.  No files were updated. ",
              12, 14, 236, 64},
         }},
    };
}

// ---- The templates as stored in the resources (DLGTEMPLATE, not extended) ----

// Reads a zero-terminated UTF-16 text, or an ordinal (0xFFFF, n) as "#n".
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : at_(data), start_(data) {}
    WORD word() { WORD value; std::memcpy(&value, at_, 2); at_ += 2; return value; }
    DWORD dword() { DWORD value; std::memcpy(&value, at_, 4); at_ += 4; return value; }
    std::string text()
    {
        WORD first = word();
        if (first == 0xFFFF)
            return "#" + std::to_string(word());
        std::string result;
        for (WORD c = first; c != 0; c = word())
            result += static_cast<char>(c); // the templates' texts are plain ASCII
        return result;
    }
    void alignDword()
    {
        while ((at_ - start_) % 4)
            ++at_;
    }

private:
    const BYTE* at_;
    const BYTE* start_;
};

struct StoredControl {
    DWORD style, exStyle;
    int x, y, width, height, id;
    std::string className, text;
    WORD extraBytes;
};

struct StoredTemplate {
    DWORD style, exStyle;
    int x, y, width, height;
    std::string menu, className, title, fontFace;
    WORD pointSize;
    std::vector<StoredControl> controls;
    WORD language;
};

bool loadTemplate(int id, StoredTemplate& stored)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(id),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!resource)
        return false;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    TemplateReader read(data);
    stored.style = read.dword();
    stored.exStyle = read.dword();
    WORD count = read.word();
    stored.x = static_cast<short>(read.word());
    stored.y = static_cast<short>(read.word());
    stored.width = static_cast<short>(read.word());
    stored.height = static_cast<short>(read.word());
    stored.menu = read.text();
    stored.className = read.text();
    stored.title = read.text();
    if (stored.style & DS_SETFONT) {
        stored.pointSize = read.word();
        stored.fontFace = read.text();
    }
    for (WORD i = 0; i < count; ++i) {
        read.alignDword();
        StoredControl control;
        control.style = read.dword();
        control.exStyle = read.dword();
        control.x = static_cast<short>(read.word());
        control.y = static_cast<short>(read.word());
        control.width = static_cast<short>(read.word());
        control.height = static_cast<short>(read.word());
        control.id = read.word();
        std::string kind = read.text();
        // Predefined classes are stored as ordinals (0x80 button, 0x82 static)
        // or by name, in any letter case.
        for (char& c : kind)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        control.className = kind == "#128" || kind == "button" ? "Button"
                            : kind == "#130" || kind == "static" ? "Static"
                                                                 : kind;
        control.text = read.text();
        control.extraBytes = read.word();
        stored.controls.push_back(control);
    }
    return true;
}

class DialogTemplate : public ::testing::TestWithParam<ExpectedTemplate> {};

TEST_P(DialogTemplate, IsStoredAsTheTableGivesIt)
{
    const ExpectedTemplate& expected = GetParam();
    StoredTemplate stored;
    ASSERT_TRUE(loadTemplate(expected.id, stored)) << "no US English template " << expected.id;

    EXPECT_EQ(expected.style, stored.style);
    EXPECT_EQ(0u, stored.exStyle);
    EXPECT_EQ(0, stored.x);
    EXPECT_EQ(0, stored.y);
    EXPECT_EQ(expected.width, stored.width);
    EXPECT_EQ(expected.height, stored.height);
    EXPECT_EQ("", stored.menu);
    EXPECT_EQ("", stored.className);
    EXPECT_EQ(expected.title, stored.title);
    EXPECT_EQ(10, stored.pointSize);
    EXPECT_EQ("MS Sans Serif", stored.fontFace);

    ASSERT_EQ(expected.controls.size(), stored.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        const StoredControl& got = stored.controls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.className, got.className);
        EXPECT_EQ(want.style, got.style);
        EXPECT_EQ(0u, got.exStyle);
        EXPECT_EQ(want.text ? std::string(want.text) : "#" + std::to_string(IDB_WELCOME), got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.width, got.width);
        EXPECT_EQ(want.height, got.height);
        EXPECT_EQ(0, got.extraBytes);
    }
}

// ---- The dialogs as the system builds them ----

// Where the dialog manager puts a control: like it, the place and the size are
// each converted from dialog units on their own.
RECT dialogUnits(HWND dialog, int x, int y, int width, int height)
{
    RECT place = {x, y, 0, 0};
    RECT size = {0, 0, width, height};
    MapDialogRect(dialog, &place);
    MapDialogRect(dialog, &size);
    return {place.left, place.top, place.left + size.right, place.top + size.bottom};
}

RECT clientRectOf(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string describeRect(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

void checkCreatedDialog(HWND dialog, const ExpectedTemplate& expected)
{
    EXPECT_EQ(expected.title, windowText(dialog));
    char className[32] = "";
    GetClassNameA(dialog, className, sizeof className);
    EXPECT_STREQ("#32770", className);

    RECT client;
    GetClientRect(dialog, &client);
    RECT wanted = dialogUnits(dialog, 0, 0, expected.width, expected.height);
    EXPECT_EQ(describeRect(wanted), describeRect(client));

    DWORD style = GetWindowLongA(dialog, GWL_STYLE);
    for (DWORD bit : {DWORD(WS_POPUP), DWORD(WS_CAPTION), DWORD(WS_SYSMENU), DWORD(WS_MINIMIZEBOX), DWORD(WS_VISIBLE)})
        EXPECT_TRUE(style & bit) << std::hex << bit;
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(nullptr, GetParent(dialog));

    // The controls in creation order, which is the template's.
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    ASSERT_EQ(expected.controls.size(), controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        HWND control = controls[i];
        SCOPED_TRACE(std::string(expected.name) + " control " + std::to_string(i + 1));
        EXPECT_EQ(want.id, GetDlgCtrlID(control));
        GetClassNameA(control, className, sizeof className);
        EXPECT_STREQ(want.className, className);
        DWORD controlStyle = GetWindowLongA(control, GWL_STYLE);
        // The dialog manager sets nothing the template did not ask for, beyond
        // what the system itself flips (the default button follows the focus).
        EXPECT_EQ(want.style & ~BS_DEFPUSHBUTTON, controlStyle & ~(BS_DEFPUSHBUTTON | SS_REALSIZEIMAGE));
        if (want.text) {
            EXPECT_EQ(want.text, windowText(control));
            EXPECT_EQ(describeRect(dialogUnits(dialog, want.x, want.y, want.width, want.height)),
                      describeRect(clientRectOf(dialog, control)));
        } else {
            // A static picture takes its bitmap's size at the template's place.
            HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
            ASSERT_NE(nullptr, bitmap);
            BITMAP info = {};
            GetObjectA(bitmap, sizeof info, &info);
            EXPECT_EQ(109, info.bmWidth);
            EXPECT_EQ(244, info.bmHeight);
            RECT at = clientRectOf(dialog, control);
            RECT place = dialogUnits(dialog, want.x, want.y, want.width, want.height);
            EXPECT_EQ(place.left, at.left);
            EXPECT_EQ(place.top, at.top);
            EXPECT_EQ(109, at.right - at.left);
            EXPECT_EQ(244, at.bottom - at.top);
        }
    }
    // The default button, where there is one, carries BS_DEFPUSHBUTTON.
    for (size_t i = 0; i < controls.size(); ++i) {
        if ((expected.controls[i].style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && expected.controls[i].className[0] == 'B') {
            LRESULT code = SendMessageA(controls[i], WM_GETDLGCODE, 0, 0);
            EXPECT_TRUE(code & DLGC_DEFPUSHBUTTON) << expected.name << " control " << i + 1;
        }
    }
}

TEST_P(DialogTemplate, IsBuiltWithEveryControlInPlace)
{
    const ExpectedTemplate& expected = GetParam();
    RegistryGuard guard;
    continueUpdate = 1;
    bool checked = false;
    auto inspect = check([&](HWND dialog) {
        checkCreatedDialog(dialog, expected);
        saveBitmap(captureClient(dialog), artifactPath(std::string("dialog_") + expected.name + ".bmp"));
        checked = true;
    });
    int result = -2;
    switch (expected.id) {
    case IDD_WELCOME: {
        WelcomeDialog dialog;
        result = runScripted(dialog, expected.title, {inspect, click(IDOK)});
        break;
    }
    case IDD_FILES_FOUND: {
        FilesFoundDialog dialog;
        result = runScripted(dialog, expected.title, {inspect, click(IDCANCEL)});
        break;
    }
    case IDD_UPDATE_COMPLETE: {
        UpdateCompleteDialog dialog;
        result = runScripted(dialog, expected.title, {inspect, click(IDCLOSE)});
        break;
    }
    case IDD_NO_FILES_UPDATED: {
        NoFilesUpdatedDialog dialog;
        result = runScripted(dialog, expected.title, {inspect, click(IDOK)});
        break;
    }
    }
    EXPECT_EQ(0, result);
    EXPECT_TRUE(checked);
    continueUpdate = 0;
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogTemplate, ::testing::ValuesIn(expectedTemplates()),
                         [](const ::testing::TestParamInfo<ExpectedTemplate>& info) {
                             return std::string(info.param.name);
                         });

// ---- Bitmap 106 ----

TEST(WelcomeBitmap, IsAnUpright256ColourUncompressedBitmapOf109By244)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDB_WELCOME), RT_BITMAP);
    ASSERT_NE(nullptr, resource);
    DWORD size = SizeofResource(module, resource);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);

    EXPECT_EQ(sizeof(BITMAPINFOHEADER), header.biSize);
    EXPECT_EQ(109, header.biWidth);
    EXPECT_EQ(244, header.biHeight); // positive: bottom-up, upright
    EXPECT_EQ(1, header.biPlanes);
    EXPECT_EQ(8, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256) << header.biClrUsed;
    // Header, 256 colours, and 244 rows of 109 bytes padded to 112.
    const DWORD rowBytes = 112;
    EXPECT_EQ(sizeof header + 256 * sizeof(RGBQUAD) + rowBytes * 244, size);

    // The banner is grey: its corner just inside the edge is a grey of the table.
    const RGBQUAD* colours = reinterpret_cast<const RGBQUAD*>(data + sizeof header);
    const BYTE* rows = data + sizeof header + 256 * sizeof(RGBQUAD);
    const RGBQUAD inside = colours[rows[rowBytes * 120 + 4]]; // row 120 from the bottom, x = 4
    EXPECT_EQ(inside.rgbRed, inside.rgbGreen);
    EXPECT_EQ(inside.rgbGreen, inside.rgbBlue);
    EXPECT_GT(inside.rgbRed, 96);
}

} // namespace
