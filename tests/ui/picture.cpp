// Pictures of a window's client area (see picture.h).
#include "picture.h"

#include <cstdio>

#ifndef DEFPATCH_ARTIFACT_DIR
#define DEFPATCH_ARTIFACT_DIR "."
#endif

namespace {

// A 32-bit top-down DIB section selected into a memory DC compatible with the screen.
HDC makeDibDc(int width, int height, HBITMAP& bitmap, void*& bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        DeleteDC(dc);
        return nullptr;
    }
    SelectObject(dc, bitmap);
    return dc;
}

Picture readDib(const void* bits, int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    const BYTE* bytes = static_cast<const BYTE*>(bits);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = RGB(bytes[i * 4 + 2], bytes[i * 4 + 1], bytes[i * 4]);
    return picture;
}

} // namespace

HDC beginPictureDc(int width, int height, COLORREF background, HBITMAP& bitmap, void*& bits)
{
    HDC dc = makeDibDc(width, height, bitmap, bits);
    if (!dc)
        return nullptr;
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    return dc;
}

Picture endPictureDc(HDC dc, HBITMAP bitmap, const void* bits, int width, int height)
{
    GdiFlush();
    Picture picture = readDib(bits, width, height);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return picture;
}

Picture captureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = client.right, height = client.bottom;

    HBITMAP bitmap = nullptr;
    void* bits = nullptr;
    HDC dc = makeDibDc(width, height, bitmap, bits);
    if (!dc)
        return {};
    HDC windowDc = GetWindowDC(window);
    BitBlt(dc, 0, 0, width, height, windowDc, origin.x - frame.left, origin.y - frame.top, SRCCOPY);
    ReleaseDC(window, windowDc);
    return endPictureDc(dc, bitmap, bits, width, height);
}

int inkIn(const Picture& picture, COLORREF background, int left, int top, int right, int bottom)
{
    int ink = 0;
    for (int y = top; y < bottom && y < picture.height; ++y)
        for (int x = left; x < right && x < picture.width; ++x)
            if (picture.at(x, y) != background)
                ++ink;
    return ink;
}

bool saveBitmap(const Picture& picture, const std::string& path)
{
    const int rowBytes = (picture.width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rowBytes * picture.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;

    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::vector<BYTE> row(static_cast<size_t>(rowBytes), 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) {
            COLORREF colour = picture.at(x, y);
            row[x * 3] = GetBValue(colour);
            row[x * 3 + 1] = GetGValue(colour);
            row[x * 3 + 2] = GetRValue(colour);
        }
        std::fwrite(row.data(), row.size(), 1, out);
    }
    return std::fclose(out) == 0;
}

std::string artifactPath(const std::string& name)
{
    std::string dir = DEFPATCH_ARTIFACT_DIR;
    if (!dir.empty() && dir[0] == '/') {
        dir = "Z:" + dir;
        for (char& c : dir)
            if (c == '/')
                c = '\\';
    }
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
}
