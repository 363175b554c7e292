// In-process answering of message boxes and dialogs.
//
// While a BoxRecorder lives, every dialog-class window (message boxes and the
// program's own dialogs) that the current thread activates is recorded and
// answered: by the script given with `on`, else by pressing OK. The code under
// test needs no seam: the recorder watches through a thread CBT hook.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct BoxRecord {
    std::string caption;
    std::string text;   // the first static text (a message box's message)
    bool stopIcon = false; // a message box shown with MB_ICONERROR
    int buttons = 0;       // number of push buttons
    int answer = 0;        // the command id the recorder sent, 0 if the handler chose another way
};

class BoxRecorder {
public:
    // Decides what to do with a window; returns the command id to post (for
    // instance IDOK), or 0 when the handler has acted on the window itself.
    using Handler = std::function<int(HWND window, const BoxRecord& record)>;

    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    // Windows whose caption is `caption` are answered by `handler`.
    void on(const std::string& caption, Handler handler);
    // Windows whose caption is `caption` are answered with the command `id`.
    void answer(const std::string& caption, int id);

    const std::vector<BoxRecord>& boxes() const { return boxes_; }
    std::vector<std::string> captions() const;
    // Records whose caption is `caption`.
    int count(const std::string& caption) const;
    void clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK hookProc(int code, WPARAM wParam, LPARAM lParam);
    void activated(HWND window);

    HHOOK hook_ = nullptr;
    std::vector<std::pair<std::string, Handler>> handlers_;
    std::vector<BoxRecord> boxes_;
    std::vector<HWND> seen_;
};

// Reads what a dialog-class window shows.
BoxRecord describeBox(HWND window);
