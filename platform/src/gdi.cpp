// Device contexts, brushes and pens drawing into a window's backing image from any
// thread. Everything is clipped to the image; a DIB is read only inside the rows and
// columns its header and the band arguments describe.
#include "window_internal.h"

#include "platform/gdi.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>

namespace platform::detail {
namespace {

struct GdiObject {
    enum class Type { Brush, Pen } type;
    bool null; // draws nothing
    COLORREF color;
    int width;
    bool stock;
};

struct DeviceContext {
    HWND hwnd;
    GdiObject* brush;
    GdiObject* pen;
};

// The stock objects GetStockObject hands out, indexed by their number.
std::array<GdiObject, 9>& StockObjects() {
    using T = GdiObject::Type;
    static std::array<GdiObject, 9> objects{{
        {T::Brush, false, RGB(255, 255, 255), 0, true}, // WHITE_BRUSH
        {T::Brush, false, RGB(192, 192, 192), 0, true}, // LTGRAY_BRUSH
        {T::Brush, false, RGB(128, 128, 128), 0, true}, // GRAY_BRUSH
        {T::Brush, false, RGB(64, 64, 64), 0, true},    // DKGRAY_BRUSH
        {T::Brush, false, RGB(0, 0, 0), 0, true},       // BLACK_BRUSH
        {T::Brush, true, 0, 0, true},                   // NULL_BRUSH
        {T::Pen, false, RGB(255, 255, 255), 1, true},   // WHITE_PEN
        {T::Pen, false, RGB(0, 0, 0), 1, true},         // BLACK_PEN
        {T::Pen, true, 0, 0, true},                     // NULL_PEN
    }};
    return objects;
}

struct GdiRegistry {
    std::mutex mutex;
    std::unordered_set<GdiObject*> objects;
    std::unordered_set<DeviceContext*> contexts;
    GdiRegistry() {
        for (auto& object : StockObjects())
            objects.insert(&object);
    }
};

GdiRegistry& Registry() {
    static GdiRegistry registry;
    return registry;
}

GdiObject* FindObject(HGDIOBJ handle) {
    auto* object = reinterpret_cast<GdiObject*>(handle);
    return Registry().objects.count(object) != 0 ? object : nullptr;
}

DeviceContext* FindContext(HDC dc) {
    auto* context = reinterpret_cast<DeviceContext*>(dc);
    return Registry().contexts.count(context) != 0 ? context : nullptr;
}

HGDIOBJ AddObject(GdiObject object) {
    auto* created = new GdiObject(object);
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.objects.insert(created);
    return reinterpret_cast<HGDIOBJ>(created);
}

// What a drawing call needs, copied out of the registry so it can draw unlocked.
struct Tools {
    std::shared_ptr<WindowRecord> window;
    GdiObject brush;
    GdiObject pen;
};

bool ToolsOf(HDC dc, Tools* tools) {
    HWND hwnd;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        DeviceContext* context = FindContext(dc);
        if (context == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        hwnd = context->hwnd;
        tools->brush = *context->brush;
        tools->pen = *context->pen;
    }
    tools->window = FindWindowRecord(hwnd);
    if (!tools->window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return true;
}

QRgb ToRgb(COLORREF color) {
    return qRgb(GetRValue(color), GetGValue(color), GetBValue(color));
}

// The image exists from the first drawing on (host windows get theirs lazily).
// Caller holds the backing lock.
QImage& EnsureImage(WindowRecord& window) {
    if (window.backing.image.isNull()) {
        window.backing.GrowTo(window.width.load(), window.height.load());
    }
    return window.backing.image;
}

// Fills [left, right) x [top, bottom), clipped to the image.
void FillArea(QImage& image, std::int64_t left, std::int64_t top, std::int64_t right,
              std::int64_t bottom, QRgb color) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, image.width());
    bottom = std::min<std::int64_t>(bottom, image.height());
    if (left >= right || top >= bottom) return;
    for (std::int64_t y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        std::fill(row + left, row + right, color);
    }
}

// A pen of width w drawn along column or row c covers [c - (w-1)/2, c + w/2].
void StrokeFrame(QImage& image, std::int64_t left, std::int64_t top, std::int64_t right,
                 std::int64_t bottom, const GdiObject& pen) {
    const std::int64_t width = std::max(pen.width, 1);
    const std::int64_t before = (width - 1) / 2;
    const std::int64_t after = width / 2 + 1;
    const std::int64_t lastX = right - 1;
    const std::int64_t lastY = bottom - 1;
    const QRgb color = ToRgb(pen.color);
    FillArea(image, left - before, top - before, lastX + after, top + after, color);
    FillArea(image, left - before, lastY - before, lastX + after, lastY + after, color);
    FillArea(image, left - before, top - before, left + after, lastY + after, color);
    FillArea(image, lastX - before, top - before, lastX + after, lastY + after, color);
}

struct DibLayout {
    std::int64_t width;
    std::int64_t height; // rows in the whole picture
    bool topDown;
    std::int64_t stride;
};

bool ReadLayout(const BITMAPINFO* info, UINT usage, DibLayout* layout) {
    if (info == nullptr || usage != DIB_RGB_COLORS) return false;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    constexpr std::int64_t kMaxSide = 1 << 16;
    const std::int64_t height = header.biHeight;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biBitCount != 24 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || header.biWidth > kMaxSide ||
        height == 0 || height > kMaxSide || height < -kMaxSide) {
        return false;
    }
    layout->width = header.biWidth;
    layout->height = height < 0 ? -height : height;
    layout->topDown = height < 0;
    layout->stride = (layout->width * 3 + 3) / 4 * 4;
    return true;
}

} // namespace
} // namespace platform::detail

using namespace platform::detail;

HDC GetDC(HWND hwnd) {
    auto window = FindWindowRecord(hwnd);
    if (!window || !window->hasWidget) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto& stock = StockObjects();
    auto* context = new DeviceContext{hwnd, &stock[0], &stock[7]}; // white brush, black pen
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.contexts.insert(context);
    return reinterpret_cast<HDC>(context);
}

int ReleaseDC(HWND, HDC dc) {
    auto& registry = Registry();
    DeviceContext* context;
    {
        std::lock_guard lock(registry.mutex);
        context = FindContext(dc);
        if (context == nullptr) return 0;
        registry.contexts.erase(context);
    }
    delete context;
    return 1;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return AddObject({GdiObject::Type::Brush, false, color & 0xFFFFFF, 0, false});
}

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID && style != PS_NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return AddObject({GdiObject::Type::Pen, style == PS_NULL, color & 0xFFFFFF,
                      std::clamp(width, 1, 1 << 12), false});
}

HGDIOBJ GetStockObject(int object) {
    auto& stock = StockObjects();
    if (object < 0 || object >= static_cast<int>(stock.size())) return nullptr;
    return reinterpret_cast<HGDIOBJ>(&stock[static_cast<std::size_t>(object)]);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    DeviceContext* context = FindContext(dc);
    GdiObject* selected = FindObject(object);
    if (context == nullptr || selected == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    GdiObject*& slot = selected->type == GdiObject::Type::Brush ? context->brush : context->pen;
    return reinterpret_cast<HGDIOBJ>(std::exchange(slot, selected));
}

BOOL DeleteObject(HGDIOBJ handle) {
    auto& registry = Registry();
    GdiObject* object;
    {
        std::lock_guard lock(registry.mutex);
        object = FindObject(handle);
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (object->stock) return TRUE;
        // An object still selected into a device context stays until it is deselected.
        for (const DeviceContext* context : registry.contexts) {
            if (context->brush == object || context->pen == object) return FALSE;
        }
        registry.objects.erase(object);
    }
    delete object;
    return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Tools tools;
    if (rect == nullptr || !ToolsOf(dc, &tools)) return 0;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        GdiObject* fill = FindObject(brush);
        if (fill == nullptr || fill->type != GdiObject::Type::Brush) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        tools.brush = *fill;
    }
    if (!tools.brush.null) {
        std::lock_guard lock(tools.window->backing.mutex);
        FillArea(EnsureImage(*tools.window), rect->left, rect->top, rect->right, rect->bottom,
                 ToRgb(tools.brush.color));
    }
    ScheduleRepaint(tools.window);
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Tools tools;
    if (!ToolsOf(dc, &tools)) return FALSE;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    {
        std::lock_guard lock(tools.window->backing.mutex);
        QImage& image = EnsureImage(*tools.window);
        // Without a pen the filled area is one pixel smaller on the right and bottom.
        const std::int64_t inset = tools.pen.null ? 0 : 1;
        if (!tools.brush.null) {
            FillArea(image, std::int64_t{left} + inset, std::int64_t{top} + inset,
                     std::int64_t{right} - 1, std::int64_t{bottom} - 1, ToRgb(tools.brush.color));
        }
        if (!tools.pen.null) StrokeFrame(image, left, top, right, bottom, tools.pen);
    }
    ScheduleRepaint(tools.window);
    return TRUE;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    DibLayout dib{};
    if (bits == nullptr || !ReadLayout(info, usage, &dib)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Tools tools;
    if (!ToolsOf(dc, &tools)) return 0;
    const std::int64_t firstScan = startScan;
    const std::int64_t scans = std::min<std::int64_t>(lines, dib.height - firstScan);
    if (scans <= 0) return 0;
    const std::int64_t rows = std::min<std::int64_t>(height, dib.height);
    const std::int64_t columns = std::min<std::int64_t>(width, dib.width);
    // srcY counts from the top of a top-down picture and from the bottom of a bottom-up one.
    const std::int64_t topRow = dib.topDown ? std::int64_t{srcY} : dib.height - srcY - rows;
    const auto* source = static_cast<const std::uint8_t*>(bits);
    {
        std::lock_guard lock(tools.window->backing.mutex);
        QImage& image = EnsureImage(*tools.window);
        const std::int64_t firstColumn = std::max<std::int64_t>({0, -std::int64_t{srcX}, -x});
        const std::int64_t endColumn =
            std::min<std::int64_t>({columns, dib.width - srcX, std::int64_t{image.width()} - x});
        for (std::int64_t dy = 0; dy < rows && firstColumn < endColumn; ++dy) {
            const std::int64_t targetY = std::int64_t{y} + dy;
            const std::int64_t row = topRow + dy;
            if (targetY < 0 || targetY >= image.height() || row < 0 || row >= dib.height) {
                continue;
            }
            const std::int64_t scan = dib.topDown ? row : dib.height - 1 - row;
            if (scan < firstScan || scan >= firstScan + scans) continue;
            const std::uint8_t* in = source + (scan - firstScan) * dib.stride;
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(targetY)));
            for (std::int64_t dx = firstColumn; dx < endColumn; ++dx) {
                const std::uint8_t* pixel = in + (srcX + dx) * 3;
                out[x + dx] = qRgb(pixel[2], pixel[1], pixel[0]);
            }
        }
    }
    ScheduleRepaint(tools.window);
    return static_cast<int>(scans);
}

bool platform::CopyBackingImage(HWND hwnd, QImage* out) {
    auto window = FindWindowRecord(hwnd);
    if (!window || !window->hasWidget || out == nullptr) return false;
    std::lock_guard lock(window->backing.mutex);
    *out = EnsureImage(*window).copy();
    return true;
}

COLORREF platform::BackingPixel(HWND hwnd, int x, int y) {
    auto window = FindWindowRecord(hwnd);
    if (!window || !window->hasWidget) return 0xFFFFFFFF;
    std::lock_guard lock(window->backing.mutex);
    const QImage& image = EnsureImage(*window);
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return 0xFFFFFFFF;
    const QRgb pixel = image.pixel(x, y);
    return RGB(static_cast<BYTE>(qRed(pixel)), static_cast<BYTE>(qGreen(pixel)),
               static_cast<BYTE>(qBlue(pixel)));
}
