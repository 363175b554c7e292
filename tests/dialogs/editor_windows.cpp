// Finding and closing the editor started for the readme (see editor_windows.h).
#include "editor_windows.h"

#include <vector>

namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kAnswerMs = 2000;

std::string textOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerMs, &copied))
        return {};
    text.resize(copied);
    return text;
}

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto* editors = reinterpret_cast<std::vector<EditorWindow>*>(param);
    if (!IsWindowVisible(window))
        return TRUE;
    HWND edit = FindWindowExA(window, nullptr, "Edit", nullptr);
    if (!edit)
        return TRUE;
    EditorWindow editor;
    editor.window = window;
    GetWindowThreadProcessId(window, &editor.processId);
    editor.title = textOf(window);
    editor.text = textOf(edit);
    editors->push_back(editor);
    return TRUE;
}

std::vector<EditorWindow> editorWindows()
{
    std::vector<EditorWindow> editors;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&editors));
    return editors;
}

} // namespace

bool findEditorShowing(const std::string& content, EditorWindow& found, DWORD limitMs)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        for (const EditorWindow& editor : editorWindows()) {
            if (editor.text == content) {
                found = editor;
                return true;
            }
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

bool editorShowing(const std::string& content)
{
    EditorWindow found;
    return findEditorShowing(content, found, 0);
}

void closeEditor(const EditorWindow& editor)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, editor.processId);
    PostMessageA(editor.window, WM_CLOSE, 0, 0);
    if (process) {
        if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

EditorCleanup::~EditorCleanup()
{
    for (const EditorWindow& editor : editorWindows())
        if (editor.text == content_)
            closeEditor(editor);
}
