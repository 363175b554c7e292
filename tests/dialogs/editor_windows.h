// The system's text editor as the "View README" button starts it: finding its
// window by the text it shows, and closing it so that nothing lingers.
#pragma once

#include <windows.h>

#include <string>

struct EditorWindow {
    HWND window = nullptr;
    DWORD processId = 0;
    std::string title;
    std::string text; // what its edit control holds
};

// Waits (at most `limitMs`) for a top-level window with an edit control that
// holds exactly `content`. Returns false when none appeared.
bool findEditorShowing(const std::string& content, EditorWindow& found, DWORD limitMs);

// Whether such a window is there right now.
bool editorShowing(const std::string& content);

// Closes the editor's window and makes sure its process has ended.
void closeEditor(const EditorWindow& editor);

// Closes every editor window that shows `content` when it goes out of scope,
// so that a failing test leaves no editor behind either.
class EditorCleanup {
public:
    explicit EditorCleanup(std::string content) : content_(std::move(content)) {}
    ~EditorCleanup();
    EditorCleanup(const EditorCleanup&) = delete;
    EditorCleanup& operator=(const EditorCleanup&) = delete;

private:
    std::string content_;
};
