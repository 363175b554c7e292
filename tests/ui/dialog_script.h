// Runs one of the program's dialog objects in the test's own thread and acts on
// the dialog as a user would, one step at a time, from inside its Run loop.
//
// When the dialog is activated, a timer is set on it; each of its ticks runs one
// step. A tick comes only when no posted message is waiting, so whatever a step
// posts (keys, clicks) has been handled before the next step runs: the order is
// fixed, not a matter of timing. Should the dialog never end, a watchdog thread
// ends the loop with kWatchdogExit, so that a broken dialog fails its test
// instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "harness/box_recorder.h"

using DialogStep = std::function<void(HWND dialog)>;

constexpr int kWatchdogExit = 0x5eed;

class DialogScript {
public:
    explicit DialogScript(std::vector<DialogStep> steps);
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Starts the steps on `dialog` (called when it is activated).
    void start(HWND dialog);
    size_t stepsRun() const { return next_; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    static DWORD WINAPI watch(void* self);

    std::vector<DialogStep> steps_;
    size_t next_ = 0;
    HWND dialog_ = nullptr;
    DWORD threadId_;
    HANDLE done_;
    HANDLE watchdog_;
};

// Runs `dialog` with `steps`. Windows captioned `caption` are left to the steps;
// every other dialog-class window (message boxes) is answered by `boxes`, or
// with OK when no recorder is given. Returns Run's result.
template <typename Dialog>
int runScripted(Dialog& dialog, const std::string& caption, std::vector<DialogStep> steps,
                BoxRecorder* boxes = nullptr)
{
    // One recorder at a time watches the thread: the caller's, or one of our own.
    std::optional<BoxRecorder> ownBoxes;
    if (!boxes)
        boxes = &ownBoxes.emplace();
    DialogScript script(std::move(steps));
    boxes->on(caption, [&script](HWND window, const BoxRecord&) {
        script.start(window);
        return 0;
    });
    return dialog.Run(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
}

// What a user does.
DialogStep click(int id);                 // clicks the button `id` (BM_CLICK)
DialogStep key(UINT virtualKey);          // types a key into the control that has the focus
DialogStep closeBox();                    // the title bar's close box
DialogStep check(std::function<void(HWND dialog)> inspect); // looks without acting

// The text of a window.
std::string windowText(HWND window);
