// defpatch_drive.exe: the tests' hands inside Wine. It reads commands from its
// standard input, one a line with tab-separated fields, and answers each with
// lines of its own closed by a line ".":
//   reset                  remove every registry key the program reads or writes
//   set KEY NAME TYPE HEX  write a value under HKEY_LOCAL_MACHINE (TYPE "key": create KEY only)
//   get KEY NAME           "TYPE HEX" of the value, or "absent"
//   lock PATH              hold PATH open, sharing nothing, until the next run ends
//   version EXE            the fixed file and product versions and the version strings
//   run DIR SHOW CMDLINE ENV ACTIONS...
//       starts DIR\DefPatch.exe with the show command SHOW (-1: none) and the
//       environment entries ENV ("NAME=value;..."), answers the n-th window it
//       shows with the n-th ACTIONS field, and prints "win CAPTION: TEXTS" per
//       window, "note ..." for what an action saw, and "exit CODE".
// Windows are found by the child's process id, never by title. An action is a
// list of steps: ok, cancel, readme, exit and tick click a control (1, 2, 1006,
// 8, 1005); enter and esc are typed to the focused control; tab moves the focus;
// close is the close box; paint=LINE|LINE repaints the window and compares the
// painted directory lines with the same lines drawn here; regdel=KEY removes a
// registry key under HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings split(const std::string& text, char separator)
{
    Strings parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

void say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
}

std::string hex(const BYTE* data, DWORD size)
{
    std::string text;
    char pair[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        text += pair;
    }
    return text;
}

void setValue(const Strings& f)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, f[1].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return say("error cannot create " + f[1]);
    if (f[3] != "key") {
        std::vector<BYTE> data;
        for (size_t i = 0; i + 1 < f[4].size(); i += 2)
            data.push_back(static_cast<BYTE>(std::stoul(f[4].substr(i, 2), nullptr, 16)));
        RegSetValueExA(key, f[2].c_str(), 0, std::stoul(f[3]), data.data(), static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
}

void getValue(const Strings& f)
{
    BYTE data[4096];
    DWORD type = 0, size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, f[1].c_str(), f[2].c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size))
        return say("absent");
    say(std::to_string(type) + " " + hex(data, size));
}

void version(const std::string& exe)
{
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size))
        return say("no version resource");
    char line[64];
    std::snprintf(line, sizeof line, "%lu.%lu.%lu.%lu %lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
                  fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
                  fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
                  fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    say(line);
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "OriginalFilename",
                             "ProductName", "ProductVersion"}) {
        char* text = nullptr;
        if (VerQueryValueA(block.data(), ("\\StringFileInfo\\040904b0\\" + std::string(name)).c_str(),
                           reinterpret_cast<void**>(&text), &size))
            say(std::string(name) + "=" + text);
    }
}

// --- windows of the child ---

std::string textOf(HWND window)
{
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

// A message box as "CAPTION: TEXT", with " [icon]" and its buttons when it has
// more than OK; a dialog as its caption, then the text of every visible control
// in template order, a picture as [WIDTHxHEIGHT].
std::string describe(HWND window)
{
    std::string all = textOf(window) + ":", buttons, icon;
    const size_t caption = all.size();
    const bool box = GetDlgItem(window, 1088) != nullptr; // the icon place of a MessageBox
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        std::string text = textOf(child);
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        const bool isStatic = lstrcmpiA(className, "Static") == 0;
        const LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
        if (isStatic && type == SS_BITMAP) {
            RECT r;
            GetClientRect(child, &r);
            text = "[" + std::to_string(r.right) + "x" + std::to_string(r.bottom) + "]";
        } else if (isStatic && type == SS_ICON) {
            text = SendMessageA(child, STM_GETICON, 0, 0) ? "[icon]" : "";
        }
        if (box && text == "[icon]")
            icon = " [icon]";
        else if (box && !isStatic)
            buttons += (buttons.empty() ? "" : "|") + text;
        else if (!text.empty())
            all += (box || all.size() == caption ? " " : " | ") + text;
    }
    return box && buttons != "OK" ? all + icon + " [" + buttons + "]" : all + icon;
}

struct Search {
    DWORD processId;
    const char* className;
    std::vector<HWND> found; // top of the z-order first
};

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    if ((!search->processId || owner == search->processId) && lstrcmpA(className, search->className) == 0 &&
        IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId, const char* className)
{
    Search search{processId, className, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void click(HWND window, int id)
{
    if (HWND control = GetDlgItem(window, id))
        SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 3000, nullptr);
    else
        say("note no control " + std::to_string(id));
}

// A key as typed: to the control that has the focus in the child's thread.
void type(HWND window, UINT key)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, key, 1 | scan);
    PostMessageA(target, WM_KEYUP, key, 1 | scan | (3u << 30));
}

// Lets the child's thread catch up with what it has to do. A message sent to
// one of its windows is handled when the thread next takes its messages, so
// after three of them the messages before have been handled, and a paint that
// was due has begun, with any box it shows already created.
void settle(HWND window)
{
    for (int round = 0; round < 3; ++round)
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, nullptr);
}

// Which pixels of a band of client rows are dark: the painted text.
std::string inkOf(HDC source, int x, int y, int width, int height)
{
    HDC dc = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
    std::string ink;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const COLORREF c = GetPixel(dc, column, row);
            ink += c == GetSysColor(COLOR_3DFACE) ? '.' : static_cast<char>('a' + (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 40);
        }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

// The directory lines as the files-found dialog paints them, from client row 50
// to row 140: a font made in twips, drawn in pixels from (40, 60), 30 apart.
std::string checkPaint(HWND dialog, const std::string& expected)
{
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    settle(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    const int width = client.right < 520 ? client.right : 520, top = 50, height = 90;
    POINT origin{0, top};
    ClientToScreen(dialog, &origin);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_3DFACE));
    RECT line{40, 60 - top, 500, 80 - top};
    for (const std::string& text : split(expected, '|')) {
        if (text.empty())
            continue;
        const int mode = SetMapMode(dc, MM_TWIPS);
        HFONT font = CreateFontA(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetMapMode(dc, mode);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, text.c_str(), -1, &line, DT_LEFT | DT_TOP);
        SelectObject(dc, oldFont);
        DeleteObject(font);
        OffsetRect(&line, 0, 30);
    }
    const std::string drawn = inkOf(dc, 0, 0, width, height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (drawn.find_first_not_of('.') == std::string::npos && !expected.empty())
        return "paint cannot draw the expected lines";
    // Wine hands a window's drawing to the X server a little later: the picture
    // on the screen is taken again until it matches, for a second at most.
    std::string painted;
    for (int tries = 0; tries < 20 && painted != drawn; ++tries, Sleep(50))
        painted = inkOf(screen, origin.x, origin.y, width, height);
    ReleaseDC(nullptr, screen);
    for (size_t i = 0; i < painted.size(); ++i)
        if (painted[i] != drawn[i])
            return "paint differs at (" + std::to_string(i % width) + "," + std::to_string(top + i / width) + ")";
    return "paint ok";
}

// The topmost dialog or box of the child that is not answered yet.
HWND newWindow(DWORD processId, const std::vector<HWND>& answered)
{
    for (HWND w : windowsOf(processId, "#32770"))
        if (IsWindowEnabled(w) && std::find(answered.begin(), answered.end(), w) == answered.end())
            return w;
    return nullptr;
}


void perform(HWND window, const std::string& action)
{
    for (const std::string& step : split(action, ' ')) {
        if (step == "ok" || step == "cancel" || step == "readme" || step == "exit" || step == "tick")
            click(window, step == "ok" ? IDOK : step == "cancel" ? IDCANCEL : step == "readme" ? 1006
                                                                    : step == "exit" ? IDCLOSE : 1005);
        else if (step == "enter" || step == "esc")
            type(window, step == "enter" ? VK_RETURN : VK_ESCAPE);
        else if (step == "tab")
            SendMessageTimeoutA(window, WM_NEXTDLGCTL, 0, FALSE, SMTO_ABORTIFHUNG, 3000, nullptr);
        else if (step == "close")
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        else if (step.rfind("paint=", 0) == 0)
            say("note " + checkPaint(window, step.substr(6)));
        else if (step.rfind("regdel=", 0) == 0)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, step.substr(7).c_str());
        else if (!step.empty())
            say("note unknown step " + step);
        settle(window);
    }
}

// The readme the program opens in the editor: its file name and first line,
// once the editor has loaded it.
void closeEditors(DWORD waitMs)
{
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    std::vector<HWND> editors;
    std::string text;
    do {
        Sleep(50);
        editors = windowsOf(0, "Notepad");
        if (!editors.empty())
            text = textOf(FindWindowExA(editors[0], nullptr, "Edit", nullptr));
    } while ((editors.empty() || text.empty()) && GetTickCount64() < deadline);
    for (HWND editor : editors) {
        say("note notepad " + textOf(editor) + ": " + text.substr(0, text.find('\r')));
        PostMessageA(editor, WM_CLOSE, 0, 0);
    }
}

std::vector<HANDLE> locks;

void run(const Strings& f)
{
    const std::string exe = f[1] + "\\DefPatch.exe", line = "\"" + exe + "\" " + f[3];
    // The inherited environment, but for the variables ENV sets.
    const Strings entries = split(f[4], ';');
    std::string environment;
    for (const char* p = GetEnvironmentStringsA(); *p; p += lstrlenA(p) + 1) {
        bool replaced = false;
        for (const std::string& entry : entries)
            replaced = replaced || (!entry.empty() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, p,
                                        entry.find('=') + 1, entry.c_str(), entry.find('=') + 1) == CSTR_EQUAL);
        if (!replaced)
            environment += std::string(p) + '\0';
    }
    for (const std::string& entry : entries)
        if (!entry.empty())
            environment += entry + '\0';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (f[2] != "-1") {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(std::stoi(f[2]));
    }
    PROCESS_INFORMATION child{};
    std::string commandLine = line;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                        f[1].c_str(), &startup, &child))
        return say("error cannot start " + exe);
    CloseHandle(child.hThread);

    std::vector<HWND> answered;
    size_t next = 5;
    bool readme = false, resultDialog = false;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (WaitForSingleObject(child.hProcess, 15) == WAIT_TIMEOUT) {
        if (GetTickCount64() > deadline) {
            say("note killed: still running after 60 s");
            TerminateProcess(child.hProcess, 9999);
            break;
        }
        // Take a new window only once the child has caught up: a box that a
        // dialog's paint shows comes on top of it, and is answered first.
        HWND window = newWindow(child.dwProcessId, answered);
        if (!window)
            continue;
        settle(window);
        if (!(window = newWindow(child.dwProcessId, answered)))
            continue;
        answered.push_back(window);
        const std::string seen = describe(window);
        say("win " + seen);
        if (next >= f.size()) {
            say("note unexpected window: killed");
            TerminateProcess(child.hProcess, 9999);
            break;
        }
        const std::string& action = f[next++];
        readme = readme || action.find("readme") != std::string::npos ||
                 (seen.rfind("Update Complete:", 0) == 0 && action.find("enter") != std::string::npos);
        resultDialog = resultDialog || seen.rfind("Update Complete:", 0) == 0;
        perform(window, action);
    }
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    if (resultDialog)
        closeEditors(readme ? 20000 : 1000);
    for (HANDLE lock : locks)
        CloseHandle(lock);
    locks.clear();
    if (next < f.size())
        say("note windows never shown: " + std::to_string(f.size() - next));
    say("exit " + std::to_string(code));
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        const Strings f = split(line, '\t');
        if (f[0] == "reset") {
            for (const char* key : {"Software\\Zorvane", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimonav.exe",
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimon.exe",
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe"})
                RegDeleteTreeA(HKEY_LOCAL_MACHINE, key), RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        } else if (f[0] == "set" && f.size() == 5) {
            setValue(f);
        } else if (f[0] == "get" && f.size() == 3) {
            getValue(f);
        } else if (f[0] == "lock" && f.size() == 2) {
            locks.push_back(CreateFileA(f[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        } else if (f[0] == "version" && f.size() == 2) {
            version(f[1]);
        } else if (f[0] == "run" && f.size() >= 5) {
            run(f);
        } else {
            say("error bad command: " + line);
        }
        say(".");
    }
    return 0;
}
