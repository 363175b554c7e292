// defpatch_drive.exe: the tests' hands inside Wine. It reads commands from its
// standard input, one a line with tab-separated fields, and answers each with
// lines of its own closed by a line ".":
//   reset                  remove every registry key the program reads or writes
//   set KEY NAME TYPE HEX  write a value under HKEY_LOCAL_MACHINE (TYPE "key": create KEY only)
//   get KEY NAME           "TYPE HEX" of the value, or "absent"
//   lock PATH              hold PATH open, sharing nothing, until the next run ends
//   mutex NAME             hold a mutex of that name until the next run ends
//   access PATH            who may use PATH (the first match of a * in it): "Everyone: none" or
//                          "Everyone: some", from its security descriptor as the system reports it
//   version EXE            the fixed file and product versions and the version strings
//   also DIR CMDLINE ENV   start DIR\DefPatch.exe beside the next run, which watches it too
//   run DIR SHOW CMDLINE ENV [WINDOW ACTION]...
//       starts DIR\DefPatch.exe with the show command SHOW (-1: none) and the
//       environment entries ENV ("NAME=value;..."), and answers the windows it
//       is to show, each described as the driver describes it ("CAPTION:
//       TEXTS", where a * stands for any text, or "*" for whatever comes
//       next), in order, each with its ACTION. Prints "win CAPTION: TEXTS"
//       per window answered, "note ..." for what an action saw or what went
//       wrong, and "exit CODE" ("other exit CODE" first for a run started
//       by also). An editor the run opened is reported as "note
//       notepad TITLE: FIRST LINE" and closed.
// Windows are found by the child's process id, never by title. An action is a
// list of steps: ok, cancel, readme, exit and tick click a control (1, 2, 1006,
// 8, 1005); enter and esc are typed to the focused control; tab moves the focus;
// close is the close box; kill ends the program then and there; paint=LINE|LINE
// repaints the window and compares the painted directory lines with the same
// lines drawn here; gdi=N repaints it N times and compares the process's GDI
// objects before and after; shot prints the window's place on the screen,
// "note shot LEFT TOP WIDTH HEIGHT", and waits for a line on its standard
// input, once its picture is taken; regdel=KEY removes a registry key under
// HKEY_LOCAL_MACHINE; also=CMDLINE starts a run beside, as the command does;
// await=PATH|TEXT waits until the file PATH holds TEXT; access=PATH notes who
// may use PATH, as the command does.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// How long one run may take, its windows and its editor included.
constexpr ULONGLONG kRunLimitMs = 90000;

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
    std::string text = std::to_string(type) + " ";
    for (DWORD i = 0; i < size; ++i)
        text += "0123456789abcdef"[data[i] >> 4] + std::string(1, "0123456789abcdef"[data[i] & 15]);
    say(text);
}

void version(const std::string& exe)
{
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size))
        return say("no version resource");
    const DWORD parts[] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                           fixed->dwProductVersionLS};
    std::string line;
    for (int i = 0; i < 8; ++i)
        line += std::to_string(i % 2 ? parts[i / 2] & 0xFFFF : parts[i / 2] >> 16) + (i == 7 ? "" : i == 3 ? " " : ".");
    say(line);
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "OriginalFilename",
                             "ProductName", "ProductVersion"}) {
        char* text = nullptr;
        if (VerQueryValueA(block.data(), ("\\StringFileInfo\\040904b0\\" + std::string(name)).c_str(),
                           reinterpret_cast<void**>(&text), &size))
            say(std::string(name) + "=" + text);
    }
}

// Whether `text` is `pattern`, in which each * stands for any run of characters.
bool matches(const char* text, const char* pattern)
{
    if (*pattern == '*')
        return matches(text, pattern + 1) || (*text && matches(text + 1, pattern));
    return *pattern == *text && (!*text || matches(text + 1, pattern + 1));
}

// Whether Everyone is given any access to PATH, or to the first file a * in it
// matches: whether its descriptor, as the system reports it, names Everyone.
std::string access(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "absent";
    FindClose(search);
    const std::string target = path.substr(0, path.rfind('\\') + 1) + found.cFileName;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    char* text = nullptr;
    if (GetNamedSecurityInfoA(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
        return "absent";
    const std::string dacl = text;
    LocalFree(text);
    LocalFree(descriptor);
    return dacl.find(";WD)") != std::string::npos || dacl.find("D:") == std::string::npos ? "Everyone: some"
                                                                                         : "Everyone: none";
}

// --- the child and its windows ---

// The program under test, as the driver follows it. Every wait is bounded by
// the run's limit.
struct Child {
    DWORD processId = 0;
    DWORD threadId = 0;
    HANDLE process = nullptr;
    ULONGLONG deadline = 0;
    std::vector<HANDLE> stuck; // repaints that a box interrupted; they end with the box or the child
    std::string dir, env;      // where and how it was started

    bool timeLeft() const { return GetTickCount64() < deadline; }
    DWORD remaining() const { return timeLeft() ? static_cast<DWORD>(deadline - GetTickCount64()) : 0; }
};

std::string textOf(HWND window)
{
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, nullptr);
    return text;
}

std::string classOf(HWND window)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
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
        const bool isStatic = lstrcmpiA(classOf(child).c_str(), "Static") == 0;
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

// The top-level windows of a class: of a process (z-order, top first), or of
// a thread (shown or still being set up: a dialog is created hidden and shown
// when its loop first runs dry).
struct Search {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((!search->processId || (owner == search->processId && IsWindowVisible(window))) &&
        classOf(window) == search->className)
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId, const char* className)
{
    Search search{processId, className, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> dialogsOf(const Child& child)
{
    Search search{0, "#32770", {}};
    EnumThreadWindows(child.threadId, collect, reinterpret_cast<LPARAM>(&search));
    std::sort(search.found.begin(), search.found.end());
    return search.found;
}

// The topmost shown dialog or box of the child that is not answered yet.
HWND newWindow(const Child& child, const std::vector<HWND>& answered)
{
    for (HWND w : windowsOf(child.processId, "#32770"))
        if (std::find(answered.begin(), answered.end(), w) == answered.end())
            return w;
    return nullptr;
}

DWORD WINAPI paintPending(void* window)
{
    return RedrawWindow(static_cast<HWND>(window), nullptr, nullptr, RDW_UPDATENOW);
}

DWORD WINAPI paintWhole(void* window)
{
    return RedrawWindow(static_cast<HWND>(window), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// Has the child paint `window` now and waits until the paint has ended: asked
// from another thread, RDW_UPDATENOW sends WM_PAINT to the window's thread and
// returns once it has been handled. A paint that shows a box ends only after
// the box, so the wait also ends when the child's dialogs change, and at the
// limit. Returns true when the paint ended.
bool repaint(Child& child, HWND window, LPTHREAD_START_ROUTINE how)
{
    const std::vector<HWND> before = dialogsOf(child);
    HANDLE thread = CreateThread(nullptr, 0, how, window, 0, nullptr);
    for (;;) {
        if (WaitForSingleObject(thread, 5) == WAIT_OBJECT_0) {
            CloseHandle(thread);
            return true;
        }
        if (dialogsOf(child) != before || !child.timeLeft()) {
            child.stuck.push_back(thread);
            return false;
        }
    }
}

// Waits until the child has nothing left to do for its windows. Each round
// has every pending paint carried out (repaint), then sends a message, which
// the child's thread handles only from a message loop: its own, once the
// paints are over, or that of a box it has begun to show. The child has
// settled when a round changed nothing: the same dialogs and boxes before and
// after, all of them shown. A box in the making is never taken for idle: it
// exists, hidden, from its creation until its loop shows it.
bool settle(Child& child)
{
    while (child.timeLeft()) {
        const std::vector<HWND> before = dialogsOf(child);
        bool painted = true;
        for (HWND w : before)
            painted = repaint(child, w, paintPending) && painted;
        if (!before.empty())
            SendMessageTimeoutA(before[0], WM_NULL, 0, 0, SMTO_NORMAL, child.remaining(), nullptr);
        const std::vector<HWND> after = dialogsOf(child);
        if (painted && after == before &&
            std::all_of(after.begin(), after.end(), [](HWND w) { return IsWindowVisible(w) != 0; }))
            return true;
    }
    return false;
}

void click(HWND window, int id)
{
    if (HWND control = GetDlgItem(window, id))
        SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, nullptr);
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
std::string checkPaint(Child& child, HWND dialog, const std::string& expected)
{
    if (!repaint(child, dialog, paintWhole))
        return "paint did not end";
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
    // The paint has ended in the child, but Wine hands a window's drawing to
    // the X server a little later: the screen is read again until it shows it.
    std::string painted;
    do {
        painted = inkOf(screen, origin.x, origin.y, width, height);
    } while (painted != drawn && child.timeLeft() && (Sleep(20), true));
    ReleaseDC(nullptr, screen);
    for (size_t i = 0; i < painted.size(); ++i)
        if (painted[i] != drawn[i])
            return "paint differs at (" + std::to_string(i % width) + "," + std::to_string(top + i / width) + ")";
    return "paint ok";
}

// The GDI objects a process holds, regions aside: Wine makes and frees those
// for update regions around every paint and invalidation, at its own pace. Wine
// does not count objects for GetGuiResources, but keeps each process's handle
// table where Windows keeps it, at the PEB's GdiSharedHandleTable (offset 0x94
// of a 32-bit PEB): 65536 entries of 24 bytes, whose byte 14 is the object's
// type (0 for a free entry, 4 for a region).
int gdiObjects(HANDLE process)
{
    struct BasicInformation {
        LONG exitStatus;
        BYTE* peb;
        ULONG_PTR affinity, priority, processId, parentId;
    } basic{};
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    DWORD table = 0;
    static BYTE entries[65536 * 24];
    if (!query || query(process, 0, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, basic.peb + 0x94, &table, sizeof table, nullptr) || !table ||
        !ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(table)), entries, sizeof entries,
                           nullptr))
        return -1;
    int count = 0;
    for (size_t i = 0; i < 65536; ++i)
        count += entries[i * 24 + 14] != 0 && entries[i * 24 + 14] != 4;
    return count;
}

// Repaints the window `times` times, each paint ended before the next, and
// counts the GDI objects the process holds afterwards that it did not before.
std::string checkGdi(Child& child, HWND window, int times)
{
    repaint(child, window, paintWhole); // what the first paints set up for good is no leak
    const int before = gdiObjects(child.process);
    int painted = 0;
    while (painted < times && repaint(child, window, paintWhole))
        ++painted;
    return before < 0 ? "gdi objects cannot be counted"
                      : "gdi objects: " + std::to_string(gdiObjects(child.process) - before) + " more after " +
                            std::to_string(painted) + " paints";
}

std::vector<HANDLE> locks;
Child other; // a run started by "also", beside the next "run"

// Starts DIR\DefPatch.exe with CMDLINE, the show command SHOW (-1: none) and
// the inherited environment but for the entries ENV ("NAME=value;...").
bool start(Child& child, const std::string& dir, const std::string& show, const std::string& arguments,
           const std::string& env)
{
    const std::string exe = dir + "\\DefPatch.exe";
    for (const std::string& entry : split(env, ';')) // the child inherits the driver's environment
        if (const size_t at = entry.find('='); at != std::string::npos)
            SetEnvironmentVariableA(entry.substr(0, at).c_str(), entry.substr(at + 1).c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (show != "-1") {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(std::stoi(show));
    }
    PROCESS_INFORMATION started{};
    std::string commandLine = "\"" + exe + "\" " + arguments;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                        &started)) {
        say("error cannot start " + exe);
        return false;
    }
    CloseHandle(started.hThread);
    child = Child{started.dwProcessId, started.dwThreadId, started.hProcess, GetTickCount64() + kRunLimitMs, {}, dir, env};
    return true;
}

// Waits until the file at PATH holds TEXT: for what a program says in a file
// that no window shows.
std::string await(const Child& child, const Strings& what)
{
    std::string text;
    do {
        std::ifstream file(what[0], std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } while (text.find(what.at(1)) == std::string::npos && child.timeLeft() && (Sleep(20), true));
    return text.find(what[1]) != std::string::npos ? "found " + what[1] : "never found " + what[1];
}

std::string rectOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top);
}

void perform(Child& child, HWND window, const std::string& action)
{
    for (const std::string& step : split(action, ' ')) {
        if (step == "ok" || step == "cancel" || step == "readme" || step == "exit" || step == "tick")
            click(window, step == "ok" ? IDOK : step == "cancel" ? IDCANCEL : step == "readme" ? 1006
                                                                    : step == "exit" ? IDCLOSE : 1005);
        else if (step == "enter" || step == "esc")
            type(window, step == "enter" ? VK_RETURN : VK_ESCAPE);
        else if (step == "tab")
            SendMessageTimeoutA(window, WM_NEXTDLGCTL, 0, FALSE, SMTO_NORMAL, 5000, nullptr);
        else if (step == "close")
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        else if (step == "shot") { // the controller takes its picture, then says to go on
            char go[8];
            say("note shot " + rectOf(window));
            std::fgets(go, sizeof go, stdin);
        }
        else if (step == "kill")
            TerminateProcess(child.process, 9999);
        else if (step.rfind("also=", 0) == 0)
            start(other, child.dir, "-1", step.substr(5), child.env);
        else if (step.rfind("await=", 0) == 0)
            say("note " + await(child, split(step.substr(6), '|')));
        else if (step.rfind("paint=", 0) == 0)
            say("note " + checkPaint(child, window, step.substr(6)));
        else if (step.rfind("gdi=", 0) == 0)
            say("note " + checkGdi(child, window, std::stoi(step.substr(4))));
        else if (step.rfind("access=", 0) == 0)
            say("note access " + step.substr(7) + ": " + access(step.substr(7)));
        else if (step.rfind("regdel=", 0) == 0)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, step.substr(7).c_str());
        else if (!step.empty())
            say("note unknown step " + step);
    }
}

std::vector<DWORD> editors()
{
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "notepad.exe") == 0)
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// An editor the run started (WinExec has created its process before it
// returns): its title and the first line of the file it shows, once loaded.
void reportEditor(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    std::string title, text;
    do {
        const std::vector<HWND> found = windowsOf(processId, "Notepad");
        if (!found.empty()) {
            title = textOf(found[0]);
            text = textOf(FindWindowExA(found[0], nullptr, "Edit", nullptr));
        }
    } while (text.empty() && GetTickCount64() < deadline && (Sleep(20), true));
    say("note notepad " + title + ": " + text.substr(0, text.find('\r')));
    TerminateProcess(process, 0);
    CloseHandle(process);
}

// The exit code of a child, once it has ended (at the limit it is ended).
DWORD finish(Child& child)
{
    if (WaitForSingleObject(child.process, child.remaining()) == WAIT_TIMEOUT)
        TerminateProcess(child.process, 9999);
    WaitForSingleObject(child.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.process, &code);
    CloseHandle(child.process);
    for (HANDLE thread : child.stuck) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    child = Child{};
    return code;
}

// run DIR SHOW CMDLINE ENV [WINDOW ACTION]...
void run(const Strings& f)
{
    const std::vector<DWORD> editorsBefore = editors();
    Child child;
    if (!start(child, f[1], f[2], f[3], f[4]))
        return;

    // The windows the run is to show, in order, each with its answer. Each is
    // answered only once the child has settled on it; a window that is to come
    // later is waited for; any other fails the run at once, and so does any
    // window of the other run, which is to show none.
    std::vector<HWND> answered;
    size_t next = 5;
    while (WaitForSingleObject(child.process, 10) == WAIT_TIMEOUT) {
        if (!child.timeLeft()) {
            say("note killed: still running after " + std::to_string(kRunLimitMs / 1000) + " s" +
                (next + 1 < f.size() ? ", waiting for " + f[next] : ""));
            break;
        }
        if (HWND stray = other.process ? newWindow(other, {}) : nullptr) {
            say("win " + describe(stray));
            say("note unexpected window of the other run: killed");
            TerminateProcess(other.process, 9999);
            break;
        }
        if (!newWindow(child, answered) || !settle(child))
            continue;
        HWND window = newWindow(child, answered);
        if (!window)
            continue;
        const std::string seen = describe(window);
        if (next + 1 < f.size() && matches(seen.c_str(), f[next].c_str())) {
            answered.push_back(window);
            say("win " + seen);
            perform(child, window, f[next + 1]);
            next += 2;
            continue;
        }
        bool later = false;
        for (size_t i = next + 2; i + 1 < f.size(); i += 2)
            later = later || matches(seen.c_str(), f[i].c_str());
        if (later)
            continue;
        say("win " + seen);
        say("note unexpected window: killed");
        break;
    }
    TerminateProcess(child.process, 9999); // a run that ended is not touched
    const DWORD code = finish(child);
    if (other.process)
        say("other exit " + std::to_string(finish(other)));
    for (DWORD editor : editors())
        if (std::find(editorsBefore.begin(), editorsBefore.end(), editor) == editorsBefore.end())
            reportEditor(editor);
    for (HANDLE lock : locks)
        CloseHandle(lock);
    locks.clear();
    if (next < f.size())
        say("note windows never shown: " + std::to_string((f.size() - next) / 2));
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
        } else if (f[0] == "mutex" && f.size() == 2) {
            locks.push_back(CreateMutexA(nullptr, TRUE, f[1].c_str()));
        } else if (f[0] == "access" && f.size() == 2) {
            say(access(f[1]));
        } else if (f[0] == "version" && f.size() == 2) {
            version(f[1]);
        } else if (f[0] == "run" && f.size() >= 5) {
            run(f);
        } else if (f[0] == "also" && f.size() == 4) {
            start(other, f[1], "-1", f[2], f[3]);
        } else {
            say("error bad command: " + line);
        }
        say(".");
    }
    return 0;
}
