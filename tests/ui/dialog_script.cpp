// Runs a dialog object with a script of user actions (see dialog_script.h).
#include "dialog_script.h"

namespace {

thread_local DialogScript* activeScript = nullptr;

constexpr UINT_PTR kTimerId = 0x5c71;
constexpr UINT kTickMs = 10;
// The dialogs end on the messages of their last step, long before this.
constexpr DWORD kWatchdogMs = 30000;

void postKey(HWND target, UINT virtualKey)
{
    UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
}

} // namespace

DialogScript::DialogScript(std::vector<DialogStep> steps)
    : steps_(std::move(steps)), threadId_(GetCurrentThreadId())
{
    activeScript = this;
    done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watchdog_ = CreateThread(nullptr, 0, watch, this, 0, nullptr);
}

DialogScript::~DialogScript()
{
    SetEvent(done_);
    WaitForSingleObject(watchdog_, INFINITE);
    CloseHandle(watchdog_);
    CloseHandle(done_);
    if (dialog_ && IsWindow(dialog_))
        KillTimer(dialog_, kTimerId);
    if (activeScript == this)
        activeScript = nullptr;
    // A quit the watchdog posted after the loop had ended must not end the next one.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) && message.wParam == kWatchdogExit)
        PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

DWORD WINAPI DialogScript::watch(void* self)
{
    auto* script = static_cast<DialogScript*>(self);
    if (WaitForSingleObject(script->done_, kWatchdogMs) == WAIT_TIMEOUT)
        PostThreadMessageA(script->threadId_, WM_QUIT, kWatchdogExit, 0);
    return 0;
}

void DialogScript::start(HWND dialog)
{
    if (dialog_)
        return;
    dialog_ = dialog;
    SetTimer(dialog, kTimerId, kTickMs, tick);
}

void CALLBACK DialogScript::tick(HWND, UINT, UINT_PTR, DWORD)
{
    DialogScript* script = activeScript;
    if (!script || !script->dialog_ || !IsWindowVisible(script->dialog_))
        return;
    if (script->next_ < script->steps_.size()) {
        // The step may end the dialog; take it first.
        DialogStep& step = script->steps_[script->next_++];
        step(script->dialog_);
    } else {
        KillTimer(script->dialog_, kTimerId);
    }
}

DialogStep click(int id)
{
    return [id](HWND dialog) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
}

DialogStep key(UINT virtualKey)
{
    return [virtualKey](HWND dialog) {
        HWND focus = GetFocus();
        postKey(focus ? focus : dialog, virtualKey);
    };
}

DialogStep closeBox()
{
    return [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
}

DialogStep check(std::function<void(HWND dialog)> inspect)
{
    return inspect;
}

std::string windowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}
