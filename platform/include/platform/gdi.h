// Drawing into a window from any thread. Each window has a backing image guarded by a
// lock; the calls paint into it and schedule a repaint, and the widget paints the
// backing image on the GUI thread.
#pragma once

#include "platform/types.h"

class QImage;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
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

// A new device context drawing into the window (white brush and black pen selected).
// Message-only windows have none.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HBRUSH CreateSolidBrush(COLORREF color);
// PS_SOLID (width 0 draws as 1) or PS_NULL; other styles are refused.
HPEN CreatePen(int style, int width, COLORREF color);
HGDIOBJ GetStockObject(int object);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Stock objects are never deleted; an object selected into a live device context is
// refused (FALSE) rather than left dangling.
BOOL DeleteObject(HGDIOBJ object);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// Outline with the selected pen, inside filled with the selected brush (right and
// bottom exclusive, as GDI).
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// Copies the width x height part at (srcX, srcY) of a 24-bit blue-green-red DIB (rows
// padded to 4 bytes; negative biHeight: top-down) to the window at (x, y). bits holds
// the scan lines [startScan, startScan + lines) in memory order (scan 0 is the top row of
// a top-down DIB, the bottom row of a bottom-up one); srcY counts from the bottom of a
// bottom-up DIB. Only those lines are read and only the backing image is written:
// everything is clipped. Returns the number of scan lines given, 0 on bad arguments.
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);

namespace platform {
// A copy of the window's backing image (Format_RGB32), for tests and tools.
bool CopyBackingImage(HWND hwnd, QImage* out);
// The pixel at (x, y) of the backing image, or 0xFFFFFFFF outside.
COLORREF BackingPixel(HWND hwnd, int x, int y);
} // namespace platform
