// Out-of-process driver: runs the real DefPatch.exe with a command line in a
// start directory, answers each window it shows by a script, and records the
// windows in order together with the exit code.
//
// The child's windows are found by its process id (never by title, so tests
// running at the same time do not see each other's windows). Each dialog-class
// window (message boxes and the program's dialogs are both "#32770") is taken in
// the order it appeared, once it is visible and enabled, and matched against the
// next script entry by its exact caption. A window that does not match is an
// unexpected window: it is recorded, the child is killed and the run fails. A
// child still running at the time limit is killed too. Every action is posted,
// so a child that stops answering can never hang the driver.
//
// Keys out of process: Enter and Escape are posted as WM_KEYDOWN/WM_KEYUP to the
// control that has the focus in the child's thread (GetGUIThreadInfo), or to the
// dialog itself when none has; the dialog's IsDialogMessageA turns them into its
// commands exactly as for typed keys.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

enum class Action { Press, Command, Enter, Escape, CloseBox, None };

struct Answer {
    Answer() = default;
    // {"Caption"}, {"Caption", Action::Press, IDCANCEL}, {"Caption", Action::Press, IDOK, {1005}}
    Answer(std::string caption_, Action action_ = Action::Press, int id_ = IDOK, std::vector<int> tick_ = {})
        : caption(std::move(caption_)), action(action_), id(id_), tick(std::move(tick_)) {}

    std::string caption;              // the title of the window this answers (must match exactly)
    Action action = Action::Press;    // Press: BM_CLICK the button with id `id`; Command: post WM_COMMAND id;
                                      // Enter / Escape: the key, as a user would type it, to the focused control;
                                      // CloseBox: the title bar's close box (WM_SYSCOMMAND SC_CLOSE); None: leave it
                                      // (a later entry with its caption may answer it once no new window waits)
    int id = IDOK;
    std::vector<int> tick;            // check boxes to click (BM_CLICK) before the action, in order
    int focus = 0;                    // a control to give the focus (WM_NEXTDLGCTL) before the action, 0: none
    std::function<void(HWND)> inspect;// called with the window before anything is done (read controls, screenshot...)
    // An optional entry is skipped when the window in front of it has another
    // caption: for a window that only some builds or set-ups show.
    bool optional = false;
};

struct WindowSeen {
    std::string caption;
    std::string text;       // the first static text (a message box's message)
    bool stopIcon = false;  // shown with the stop icon (MB_ICONERROR)
    int buttons = 0;        // push buttons in the window
    std::string action;     // what the driver did: "Press 1", "tick 1005, Press 1", "Enter", "unexpected"...
};

struct RunResult {
    bool started = false;   // the process was created
    bool finished = false;  // it ended by itself within the time limit
    bool stoppedAfterScript = false; // RunOptions::stopAfterScript ended it at the first window past the script
    DWORD exitCode = 0;
    std::vector<WindowSeen> windows;  // every window answered, in order
    std::string error;      // why the run is not as scripted: unexpected window, time-out, script left over...
    std::vector<std::string> captions() const;
    // Started, ended by itself (or was stopped after its script), and every
    // window was as scripted.
    bool ok() const { return started && (finished || stoppedAfterScript) && error.empty(); }
};

struct RunOptions {
    std::string exe;        // default: DefPatch.exe of this build (DEFPATCH_BIN_DIR)
    std::string startDir;   // the child's current directory (default: the test's)
    DWORD timeoutMs = 30000;
    // "NAME=value" entries that set or replace variables of the inherited
    // environment, for instance {"TMP=C:\\x\\", "TEMP=C:\\x\\"} for a temporary
    // directory of the test's own.
    std::vector<std::string> env;
    // When the script is used up, the next window ends the run: it is recorded
    // (action "stopped"), the child is killed, and that is no failure. For tests
    // about the first windows of a run only; the exit code then means nothing.
    bool stopAfterScript = false;
    // The show command the child is started with (STARTUPINFO's wShowWindow),
    // for instance SW_HIDE as a launcher may pass it; -1: none given.
    int showWindow = -1;
};

// Runs the program and answers its windows by `script`. Paths may be given as
// Windows paths or as Linux paths (taken as drive Z:).
RunResult runDefPatch(const std::string& commandLine, const std::vector<Answer>& script,
                      const RunOptions& options = {});

// The whole run as text, for failure messages and the demo: exit code, error
// and one line per window.
std::string describe(const RunResult& result);

// The path of a file of this build's bin directory, as a Windows path.
std::string binaryPath(const std::string& name);

// A Linux path as the Windows path Wine shows for it (drive Z:); a Windows path
// is returned as it is.
std::string windowsPath(const std::string& path);

// For tests: the run went exactly as scripted; prints the transcript otherwise.
#define EXPECT_RUN_OK(result) EXPECT_TRUE((result).ok()) << describe(result)
#define ASSERT_RUN_OK(result) ASSERT_TRUE((result).ok()) << describe(result)
