// In-process answering of message boxes and dialogs (see box_recorder.h).
#include "harness/box_recorder.h"

#include <algorithm>

namespace {

thread_local BoxRecorder* activeRecorder = nullptr;

struct ChildSurvey {
    std::string firstStatic;
    bool icon = false;
    int buttons = 0;
};

BOOL CALLBACK surveyChild(HWND child, LPARAM param)
{
    auto* survey = reinterpret_cast<ChildSurvey*>(param);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            // A box without an icon may still hold an empty icon control; at
            // activation the icon control is not yet visible, so ask for the icon.
            // With a time-out: the window may belong to another process (the
            // out-of-process driver), which must never hang on it.
            DWORD_PTR icon = 0;
            if (SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon) && icon)
                survey->icon = true;
        } else if (survey->firstStatic.empty()) {
            char text[2048] = "";
            GetWindowTextA(child, text, sizeof text);
            survey->firstStatic = text;
        }
    } else if (lstrcmpiA(className, "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON)
            ++survey->buttons;
    }
    return TRUE;
}

} // namespace

BoxRecord describeBox(HWND window)
{
    BoxRecord record;
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    record.caption = caption;
    ChildSurvey survey;
    EnumChildWindows(window, surveyChild, reinterpret_cast<LPARAM>(&survey));
    record.text = survey.firstStatic;
    record.stopIcon = survey.icon;
    record.buttons = survey.buttons;
    return record;
}

BoxRecorder::BoxRecorder()
{
    activeRecorder = this;
    hook_ = SetWindowsHookExA(WH_CBT, hookProc, nullptr, GetCurrentThreadId());
}

BoxRecorder::~BoxRecorder()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (activeRecorder == this)
        activeRecorder = nullptr;
}

void BoxRecorder::on(const std::string& caption, Handler handler)
{
    handlers_.emplace_back(caption, std::move(handler));
}

void BoxRecorder::answer(const std::string& caption, int id)
{
    on(caption, [id](HWND, const BoxRecord&) { return id; });
}

std::vector<std::string> BoxRecorder::captions() const
{
    std::vector<std::string> result;
    for (const auto& box : boxes_)
        result.push_back(box.caption);
    return result;
}

int BoxRecorder::count(const std::string& caption) const
{
    return static_cast<int>(std::count_if(boxes_.begin(), boxes_.end(),
                                          [&](const BoxRecord& box) { return box.caption == caption; }));
}

LRESULT CALLBACK BoxRecorder::hookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activeRecorder)
        activeRecorder->activated(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void BoxRecorder::activated(HWND window)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0)
        return;
    // A window is answered once, however often it is activated again.
    if (std::find(seen_.begin(), seen_.end(), window) != seen_.end())
        return;
    seen_.push_back(window);

    BoxRecord record = describeBox(window);
    int id = IDOK;
    for (const auto& [caption, handler] : handlers_) {
        if (caption == record.caption) {
            id = handler(window, record);
            break;
        }
    }
    record.answer = id;
    boxes_.push_back(record);
    if (id != 0)
        PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}
