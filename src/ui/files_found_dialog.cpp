// The files-found dialog: lists the definition directories with their long
// names, offers the backup box, and lets the user start or abort the update.
// The list is painted, not a control: every paint builds a fresh context and
// runs discovery on it, so the lines show the directories as they are now.
#include "run/flags.h"
#include "run/handles.h"
#include "run/update_context.h"
#include "ui/dialog.h"

namespace {

// The first line's rectangle in client pixels; each further line is 30 lower.
constexpr RECT kFirstLine = {40, 60, 500, 80};
constexpr int kLineStep = 30;

// Set in the dialog's user data once it has painted: discovery's diagnostic
// boxes belong to the first paint only. Closing such a box uncovers the dialog
// and repaints it; were the box shown again, a directory that cannot be created
// would bring it back for ever.
constexpr LONG_PTR kPaintedOnce = 1;

class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
};

// Runs discovery with its diagnostic boxes kept quiet while it lives, when asked.
class QuietDiagnostics {
public:
    explicit QuietDiagnostics(bool quiet) : saved_(diagnosticMode)
    {
        if (quiet)
            diagnosticMode = 0;
    }
    ~QuietDiagnostics() { diagnosticMode = saved_; }
    QuietDiagnostics(const QuietDiagnostics&) = delete;
    QuietDiagnostics& operator=(const QuietDiagnostics&) = delete;

private:
    int saved_;
};

void drawDirectoryLine(HDC dc, const char* text, RECT& rect)
{
    // The font's height is given in twips; drawing then happens in pixels.
    int previousMode = SetMapMode(dc, MM_TWIPS);
    GdiObject font(CreateFontA(-8, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                               "MS Sans Serif"));
    HGDIOBJ previousFont = font.valid() ? SelectObject(dc, font.get()) : nullptr;
    SetMapMode(dc, previousMode);

    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text, -1, &rect, DT_LEFT | DT_TOP);

    // The font is deleted on leaving, once it is no longer selected.
    if (previousFont)
        SelectObject(dc, previousFont);
}

void paintFoundDirectories(HWND window)
{
    UpdateContext context;
    context.rewindDirectories();

    PaintScope paint(window);
    RECT rect = kFirstLine;

    // Marked before discovery runs: a repaint while a diagnostic box is up
    // (the box's own loop dispatches it) is a later paint too.
    bool firstPaint = GetWindowLongPtrA(window, DWLP_USER) != kPaintedOnce;
    SetWindowLongPtrA(window, DWLP_USER, kPaintedOnce);
    {
        QuietDiagnostics quiet(!firstPaint);
        context.discoverProducts();
    }

    PathBuffer directory;
    PathBuffer display;
    while (context.nextDirectory(directory)) {
        context.ExpandToLongPath(directory, display);
        drawDirectoryLine(paint.dc(), display, rect);
        rect.top += kLineStep;
        rect.bottom += kLineStep;
    }
}

} // namespace

INT_PTR CALLBACK FilesFoundDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // Backups asked for on the command line (/B): the box starts ticked.
        CheckDlgButton(window, IDC_CREATE_BACKUP, makeBackup ? BST_CHECKED : BST_UNCHECKED);
        return TRUE; // the focus goes to "OK", the first tab stop
    case WM_PAINT:
        paintFoundDirectories(window);
        return FALSE;
    case WM_COMMAND:
        if (wParam == IDOK) {
            const bool backup = IsDlgButtonChecked(window, IDC_CREATE_BACKUP);
            makeBackup = backup ? 1 : 0;
            endDialog(backup ? "OK, with backup" : "OK");
        } else if (wParam == IDCANCEL) {
            continueUpdate = 0;
            endDialog("Cancel");
        }
        // IDC_CREATE_BACKUP ticks and unticks itself.
        return FALSE;
    default:
        return FALSE;
    }
}
