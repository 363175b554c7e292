// Out-of-process driver for the real DefPatch.exe (see driver.h).
#include "harness/driver.h"

#include <algorithm>
#include <cstring>

#include "harness/box_recorder.h"

#ifndef DEFPATCH_BIN_DIR
#define DEFPATCH_BIN_DIR "."
#endif

namespace {

// How often the driver looks for new windows and for the child's end.
constexpr DWORD kPollMs = 15;

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found; // top-level dialog windows of the process, top of the z-order first
};

BOOL CALLBACK collectDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0)
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> dialogsOf(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool readyForInput(HWND window)
{
    return IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window);
}

std::string actionName(const Answer& answer)
{
    std::string name;
    for (int id : answer.tick)
        name += "tick " + std::to_string(id) + ", ";
    if (answer.focus)
        name += "focus " + std::to_string(answer.focus) + ", ";
    switch (answer.action) {
    case Action::Press:
        return name + "Press " + std::to_string(answer.id);
    case Action::Command:
        return name + "Command " + std::to_string(answer.id);
    case Action::Enter:
        return name + "Enter";
    case Action::Escape:
        return name + "Escape";
    case Action::CloseBox:
        return name + "CloseBox";
    case Action::None:
        return name + "None";
    }
    return name;
}

// A key as the child's message loop would get it from the keyboard: to the
// focused control of the window's thread, or to the window when none has focus.
void postKey(HWND window, UINT key)
{
    HWND target = window;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
        target = info.hwndFocus;
    const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageA(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3u << 30));
}

// Carries out one script entry; returns an error text, empty when all went well.
std::string perform(HWND window, const Answer& answer)
{
    if (answer.inspect)
        answer.inspect(window);
    for (int id : answer.tick) {
        HWND box = GetDlgItem(window, id);
        if (!box)
            return "window \"" + answer.caption + "\" has no control " + std::to_string(id) + " to tick";
        PostMessageA(box, BM_CLICK, 0, 0);
    }
    if (answer.focus) {
        HWND control = GetDlgItem(window, answer.focus);
        if (!control)
            return "window \"" + answer.caption + "\" has no control " + std::to_string(answer.focus) + " to focus";
        PostMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
    switch (answer.action) {
    case Action::Press: {
        HWND button = GetDlgItem(window, answer.id);
        if (!button)
            return "window \"" + answer.caption + "\" has no button " + std::to_string(answer.id);
        PostMessageA(button, BM_CLICK, 0, 0);
        break;
    }
    case Action::Command:
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(answer.id), 0);
        break;
    case Action::Enter:
        postKey(window, VK_RETURN);
        break;
    case Action::Escape:
        postKey(window, VK_ESCAPE);
        break;
    case Action::CloseBox:
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Action::None:
        break;
    }
    return {};
}

// The inherited environment with `overrides` ("NAME=value") set or replaced, as
// an environment block for CreateProcessA.
std::string environmentBlock(const std::vector<std::string>& overrides)
{
    auto nameOf = [](const std::string& entry) {
        std::string name = entry.substr(0, entry.find('=', 1));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
        return name;
    };
    std::vector<std::string> entries;
    if (char* inherited = GetEnvironmentStringsA()) {
        for (const char* p = inherited; *p; p += std::strlen(p) + 1)
            entries.emplace_back(p);
        FreeEnvironmentStringsA(inherited);
    }
    for (const std::string& entry : overrides) {
        std::string name = nameOf(entry);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::string& e) { return nameOf(e) == name; }),
                      entries.end());
        entries.push_back(entry);
    }
    std::string block;
    for (const std::string& entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

std::string quoteList(const std::vector<Answer>& script, std::size_t from)
{
    std::string list;
    for (std::size_t i = from; i < script.size(); ++i) {
        if (script[i].optional)
            continue;
        if (!list.empty())
            list += ", ";
        list += "\"" + script[i].caption + "\"";
    }
    return list;
}

} // namespace

std::vector<std::string> RunResult::captions() const
{
    std::vector<std::string> result;
    for (const auto& window : windows)
        result.push_back(window.caption);
    return result;
}

std::string windowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string result = "Z:" + path;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

std::string binaryPath(const std::string& name)
{
    std::string dir = windowsPath(DEFPATCH_BIN_DIR);
    if (!dir.empty() && dir.back() != '\\')
        dir += '\\';
    return dir + name;
}

std::string describe(const RunResult& result)
{
    std::string text;
    if (!result.started)
        text += "not started\n";
    else if (result.stoppedAfterScript)
        text += "stopped after its script\n";
    else if (!result.finished)
        text += "did not end by itself\n";
    else
        text += "exit code " + std::to_string(result.exitCode) + "\n";
    if (!result.error.empty())
        text += "error: " + result.error + "\n";
    for (const auto& window : result.windows) {
        text += "window \"" + window.caption + "\"";
        if (!window.text.empty())
            text += " text \"" + window.text + "\"";
        if (window.stopIcon)
            text += " [stop icon]";
        text += " buttons " + std::to_string(window.buttons) + " -> " + window.action + "\n";
    }
    if (result.windows.empty())
        text += "no window\n";
    return text;
}

RunResult runDefPatch(const std::string& commandLine, const std::vector<Answer>& script, const RunOptions& options)
{
    RunResult result;
    const std::string exe = options.exe.empty() ? binaryPath("DefPatch.exe") : windowsPath(options.exe);
    std::string line = "\"" + exe + "\"";
    if (!commandLine.empty())
        line += " " + commandLine;
    const std::string startDir = windowsPath(options.startDir);
    std::string environment;
    if (!options.env.empty())
        environment = environmentBlock(options.env);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (options.showWindow >= 0) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(options.showWindow);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                        environment.empty() ? nullptr : environment.data(),
                        startDir.empty() ? nullptr : startDir.c_str(), &startup, &process)) {
        result.error = "could not start " + line + " (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    CloseHandle(process.hThread);
    result.started = true;

    const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    std::vector<HWND> pending;  // dialogs seen and not yet answered, oldest first
    std::vector<HWND> answered; // dialogs answered, while they still exist
    std::vector<HWND> leftAlone; // dialogs answered with Action::None, which a later entry may answer again
    std::size_t next = 0;       // the next script entry
    bool killed = false;

    for (;;) {
        // New windows join the queue in the order they appeared: a window shown
        // later lies above the earlier ones in the z-order.
        std::vector<HWND> now = dialogsOf(process.dwProcessId);
        answered.erase(std::remove_if(answered.begin(), answered.end(), [](HWND w) { return !IsWindow(w); }),
                       answered.end());
        pending.erase(std::remove_if(pending.begin(), pending.end(), [](HWND w) { return !IsWindow(w); }),
                      pending.end());
        for (auto it = now.rbegin(); it != now.rend(); ++it) {
            HWND window = *it;
            if (!IsWindowVisible(window))
                continue;
            if (std::find(answered.begin(), answered.end(), window) == answered.end() &&
                std::find(pending.begin(), pending.end(), window) == pending.end())
                pending.push_back(window);
        }

        leftAlone.erase(std::remove_if(leftAlone.begin(), leftAlone.end(), [](HWND w) { return !IsWindow(w); }),
                        leftAlone.end());

        // The next window to answer: the oldest new one; or, when none is new,
        // a window left alone earlier whose caption the next entry names (a
        // dialog that stays while a box over it is answered first).
        HWND window = nullptr;
        if (!pending.empty() && readyForInput(pending.front())) {
            window = pending.front();
            pending.erase(pending.begin());
            answered.push_back(window);
        } else if (pending.empty() && next < script.size()) {
            for (auto it = leftAlone.begin(); it != leftAlone.end(); ++it) {
                if (readyForInput(*it) && describeBox(*it).caption == script[next].caption) {
                    window = *it;
                    leftAlone.erase(it);
                    break;
                }
            }
        }

        if (window) {
            BoxRecord record = describeBox(window);
            WindowSeen seen{record.caption, record.text, record.stopIcon, record.buttons, {}};
            while (next < script.size() && script[next].optional && script[next].caption != seen.caption)
                ++next;
            if (next < script.size() && script[next].caption == seen.caption) {
                const Answer& answer = script[next++];
                seen.action = actionName(answer);
                std::string failure = perform(window, answer);
                result.windows.push_back(seen);
                if (answer.action == Action::None)
                    leftAlone.push_back(window);
                if (failure.empty())
                    continue;
                result.error = failure;
            } else if (next >= script.size() && options.stopAfterScript) {
                seen.action = "stopped";
                result.windows.push_back(seen);
                result.stoppedAfterScript = true;
            } else {
                seen.action = "unexpected";
                result.windows.push_back(seen);
                result.error = "unexpected window \"" + seen.caption + "\"" +
                               (next < script.size() ? " where the script expects \"" + script[next].caption + "\""
                                                     : std::string(" after the end of the script"));
            }
            TerminateProcess(process.hProcess, 0xDEAD);
            killed = true;
            break;
        }

        if (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0)
            break;
        if (GetTickCount64() >= deadline) {
            TerminateProcess(process.hProcess, 0xDEAD);
            killed = true;
            result.error = "did not end within " + std::to_string(options.timeoutMs) + " ms";
            break;
        }
    }

    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    result.finished = !killed;

    if (result.error.empty()) {
        std::string left = quoteList(script, next);
        if (!left.empty())
            result.error = "the program ended before the script's windows " + left;
    }
    return result;
}
