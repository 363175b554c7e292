// Pictures of a window's client area, taken from the screen as the user sees
// it, for tests that look at what a dialog painted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels; // top row first, RGB()

    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool empty() const { return pixels.empty(); }
};

// The client area of `window`, copied from its window device context.
Picture captureClient(HWND window);

// A picture of `width` x `height` filled with `background`, on which `draw`
// paints through a memory device context like the screen's.
template <typename Draw> Picture drawPicture(int width, int height, COLORREF background, Draw draw);

// Pixels that differ from `background` ("ink") between columns [left, right)
// and rows [top, bottom).
int inkIn(const Picture& picture, COLORREF background, int left, int top, int right, int bottom);

// Writes the picture as a 24-bit BMP file; false when it cannot.
bool saveBitmap(const Picture& picture, const std::string& path);

// Where pictures worth keeping go: the build tree's artifacts folder.
std::string artifactPath(const std::string& name);

// ---- implementation details ----
HDC beginPictureDc(int width, int height, COLORREF background, HBITMAP& bitmap, void*& bits);
Picture endPictureDc(HDC dc, HBITMAP bitmap, const void* bits, int width, int height);

template <typename Draw> Picture drawPicture(int width, int height, COLORREF background, Draw draw)
{
    HBITMAP bitmap = nullptr;
    void* bits = nullptr;
    HDC dc = beginPictureDc(width, height, background, bitmap, bits);
    if (!dc)
        return {};
    draw(dc);
    return endPictureDc(dc, bitmap, bits, width, height);
}
