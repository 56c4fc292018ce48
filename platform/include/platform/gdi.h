// Drawing into a window from any thread. Each window has a backing image guarded by a
// lock; the calls paint into it and schedule a repaint, and the widget paints the
// backing image on the GUI thread.
#pragma once

#include "platform/types.h"

class QImage;

constexpr int PS_SOLID = 0;
constexpr int NULL_BRUSH = 5;
constexpr int NULL_PEN = 8;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD BI_RGB = 0;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: top-down rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    DWORD bmiColors[1];
};

HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
HGDIOBJ GetStockObject(int object);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// Outline with the selected pen, inside filled with the selected brush (right and
// bottom exclusive, as GDI).
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// Copies a 24-bit blue-green-red DIB (rows padded to 4 bytes) to the window at
// (x, y). Rows [startScan, startScan+lines) of the source are copied. Returns lines.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);

namespace platform {
// A copy of the window's backing image (Format_RGB32), for tests and tools.
bool CopyBackingImage(HWND hwnd, QImage* out);
// The pixel at (x, y) of the backing image, or 0xFFFFFFFF outside.
COLORREF BackingPixel(HWND hwnd, int x, int y);
} // namespace platform
