// Drawing into windows: device contexts, brushes, pens, rectangles and DIBs, from the GUI
// thread and from workers, read back from the backing image.
#include "helpers/gui_test_app.h"

#include "platform/gdi.h"
#include "platform/sync.h"
#include "platform/window.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

class GdiTest : public platform_test::HostWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(OpenHost(100, 80));
        child_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 64, 48, host_,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(child_, nullptr);
        dc_ = GetDC(child_);
        ASSERT_NE(dc_, nullptr);
        background_ = platform::BackingPixel(child_, 0, 0);
        ASSERT_NE(background_, 0xFFFFFFFFu);
    }
    void TearDown() override {
        ReleaseDC(child_, dc_);
        HostWindowTest::TearDown();
    }
    COLORREF At(int x, int y) const { return platform::BackingPixel(child_, x, y); }
    // Fills the whole window with a brush of the colour.
    void Clear(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all{0, 0, 64, 48};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }

    HWND child_ = nullptr;
    HDC dc_ = nullptr;
    COLORREF background_ = 0;
};

struct Probe {
    int x;
    int y;
    COLORREF expected; // kBackground: untouched
};
constexpr COLORREF kBackground = 0x01000000;

void ExpectPixels(const std::vector<Probe>& probes, HWND hwnd, COLORREF background) {
    for (const auto& p : probes) {
        const COLORREF expected = p.expected == kBackground ? background : p.expected;
        EXPECT_EQ(platform::BackingPixel(hwnd, p.x, p.y), expected) << "at " << p.x << "," << p.y;
    }
}

TEST_F(GdiTest, FillRectExcludesRightAndBottom) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT rect{10, 10, 20, 15};
    EXPECT_NE(FillRect(dc_, &rect, red), 0);
    ExpectPixels({{10, 10, kRed},
                  {19, 14, kRed},
                  {20, 14, kBackground},
                  {19, 15, kBackground},
                  {9, 10, kBackground}},
                 child_, background_);
    EXPECT_TRUE(DeleteObject(red));
}

struct RectangleCase {
    const char* name;
    int pen;   // -1: NULL_PEN, else width of a blue pen
    bool fill; // green brush, else NULL_BRUSH
    std::vector<Probe> probes;
};

class RectangleTest : public GdiTest, public ::testing::WithParamInterface<RectangleCase> {};

TEST_P(RectangleTest, OutlinesWithThePenAndFillsWithTheBrush) {
    const auto& c = GetParam();
    HPEN pen = c.pen < 0 ? GetStockObject(NULL_PEN) : CreatePen(PS_SOLID, c.pen, kBlue);
    HBRUSH brush = c.fill ? CreateSolidBrush(kGreen) : GetStockObject(NULL_BRUSH);
    HGDIOBJ oldPen = SelectObject(dc_, pen);
    HGDIOBJ oldBrush = SelectObject(dc_, brush);
    EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
    EXPECT_EQ(oldBrush, GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(Rectangle(dc_, 5, 5, 15, 12));
    ExpectPixels(c.probes, child_, background_);
    SelectObject(dc_, oldPen);
    SelectObject(dc_, oldBrush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectangleTest,
    ::testing::Values(
        RectangleCase{"thin_pen_and_brush",
                      1,
                      true,
                      {{5, 5, kBlue},
                       {14, 11, kBlue},
                       {14, 5, kBlue},
                       {5, 11, kBlue},
                       {6, 6, kGreen},
                       {13, 10, kGreen},
                       {15, 11, kBackground},
                       {14, 12, kBackground},
                       {4, 5, kBackground}}},
        RectangleCase{
            "null_pen_fills_one_pixel_less",
            -1,
            true,
            {{5, 5, kGreen}, {13, 10, kGreen}, {14, 10, kBackground}, {13, 11, kBackground}}},
        RectangleCase{"null_brush_keeps_the_inside",
                      1,
                      false,
                      {{5, 5, kBlue}, {14, 11, kBlue}, {6, 6, kBackground}, {10, 8, kBackground}}},
        RectangleCase{"wide_pen_is_centred_on_the_edge",
                      3,
                      true,
                      {{4, 4, kBlue},
                       {6, 6, kBlue},
                       {7, 7, kGreen},
                       {3, 3, kBackground},
                       {15, 12, kBlue},
                       {16, 13, kBackground}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GdiTest, DrawingIsClippedToTheWindow) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT huge{-1000, -1000, 100000, 100000};
    EXPECT_NE(FillRect(dc_, &huge, red), 0);
    ExpectPixels({{0, 0, kRed}, {63, 47, kRed}}, child_, background_);
    SelectObject(dc_, red);
    EXPECT_TRUE(Rectangle(dc_, -2147483647, -2147483647, 2147483647, 2147483647));
    EXPECT_TRUE(Rectangle(dc_, 500, 500, 600, 600));
    EXPECT_TRUE(Rectangle(dc_, 30, 30, 10, 10)); // corners given the other way round
    SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
    EXPECT_EQ(At(64, 0), 0xFFFFFFFFu);
    EXPECT_EQ(At(-1, 0), 0xFFFFFFFFu);
}

// A DIB whose rows are exactly as long as the format says, in a buffer of exactly the
// size it describes, so any read past it is caught by the address sanitizer.
struct Dib {
    int width;
    int height;
    bool topDown;
    int stride;
    std::vector<std::uint8_t> bytes;
    BITMAPINFO info{};

    Dib(int w, int h, bool top) : width(w), height(h), topDown(top), stride((w * 3 + 3) / 4 * 4) {
        bytes.assign(static_cast<std::size_t>(stride * h), 0xEE); // padding is garbage
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, top ? -h : h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                Set(x, y, Color(x, y));
        }
    }
    // Picture coordinates: y = 0 is the top row.
    static COLORREF Color(int x, int y) {
        return RGB(static_cast<BYTE>(10 * x + 1), static_cast<BYTE>(20 * y + 2), 77);
    }
    void Set(int x, int y, COLORREF c) {
        const int memoryRow = topDown ? y : height - 1 - y;
        std::uint8_t* p = &bytes[static_cast<std::size_t>(memoryRow * stride + x * 3)];
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
    }
};

struct DibCase {
    const char* name;
    bool topDown;
    int x;
    int y;
};

class DibTest : public GdiTest, public ::testing::WithParamInterface<DibCase> {};

TEST_P(DibTest, CopiesTheVisiblePartOnly) {
    const auto& c = GetParam();
    Dib dib(5, 4, c.topDown);
    const int lines = SetDIBitsToDevice(dc_, c.x, c.y, 5, 4, 0, 0, 0, 4, dib.bytes.data(),
                                        &dib.info, DIB_RGB_COLORS);
    EXPECT_EQ(lines, 4);
    for (int y = -1; y <= 4; ++y) {
        for (int x = -1; x <= 5; ++x) {
            const int wx = c.x + x;
            const int wy = c.y + y;
            if (wx < 0 || wy < 0 || wx >= 64 || wy >= 48) continue;
            const bool inside = x >= 0 && y >= 0 && x < 5 && y < 4;
            EXPECT_EQ(At(wx, wy), inside ? Dib::Color(x, y) : background_)
                << "picture " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Placements, DibTest,
                         ::testing::Values(DibCase{"top_down", true, 3, 2},
                                           DibCase{"bottom_up", false, 3, 2},
                                           DibCase{"clipped_top_left", true, -2, -3},
                                           DibCase{"clipped_bottom_right", false, 61, 46},
                                           DibCase{"entirely_outside", true, 200, 200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GdiTest, DibBandCopiesOnlyTheGivenScanLines) {
    Dib whole(5, 4, false);
    // Scan lines 1 and 2 of a bottom-up DIB: picture rows 2 and 1.
    std::vector<std::uint8_t> band(whole.bytes.begin() + whole.stride,
                                   whole.bytes.begin() + 3 * whole.stride);
    EXPECT_EQ(
        SetDIBitsToDevice(dc_, 0, 0, 5, 4, 0, 0, 1, 2, band.data(), &whole.info, DIB_RGB_COLORS),
        2);
    ExpectPixels({{0, 0, kBackground},
                  {0, 1, Dib::Color(0, 1)},
                  {4, 2, Dib::Color(4, 2)},
                  {0, 3, kBackground}},
                 child_, background_);
    // More lines than the picture has: only the picture's are read.
    Dib small(5, 2, true);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 10, 10, 5, 2, 0, 0, 0, 99, small.bytes.data(), &small.info,
                                DIB_RGB_COLORS),
              2);
    EXPECT_EQ(At(14, 11), Dib::Color(4, 1));
}

TEST_F(GdiTest, DibSourceOffsetPicksThePartOfThePicture) {
    Dib dib(5, 4, true);
    SetDIBitsToDevice(dc_, 0, 0, 2, 2, 3, 1, 0, 4, dib.bytes.data(), &dib.info, DIB_RGB_COLORS);
    ExpectPixels({{0, 0, Dib::Color(3, 1)}, {1, 1, Dib::Color(4, 2)}, {2, 0, kBackground}}, child_,
                 background_);
    // Wider than the picture: columns past its width are not read.
    SetDIBitsToDevice(dc_, 20, 20, 50, 1, 3, 0, 0, 4, dib.bytes.data(), &dib.info, DIB_RGB_COLORS);
    ExpectPixels({{21, 20, Dib::Color(4, 0)}, {22, 20, kBackground}}, child_, background_);
}

struct BadDib {
    const char* name;
    WORD bits;
    LONG width;
    LONG height;
    DWORD compression;
    UINT usage;
};

class BadDibTest : public GdiTest, public ::testing::WithParamInterface<BadDib> {};

TEST_P(BadDibTest, IsRefusedWithoutDrawing) {
    const auto& c = GetParam();
    Dib dib(5, 4, true);
    dib.info.bmiHeader.biBitCount = c.bits;
    dib.info.bmiHeader.biWidth = c.width;
    dib.info.bmiHeader.biHeight = c.height;
    dib.info.bmiHeader.biCompression = c.compression;
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 5, 4, 0, 0, 0, 4, dib.bytes.data(), &dib.info, c.usage),
              0);
    EXPECT_EQ(At(0, 0), background_);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadDibTest,
    ::testing::Values(BadDib{"bits32", 32, 5, -4, BI_RGB, DIB_RGB_COLORS},
                      BadDib{"zero_width", 24, 0, -4, BI_RGB, DIB_RGB_COLORS},
                      BadDib{"negative_width", 24, -5, -4, BI_RGB, DIB_RGB_COLORS},
                      BadDib{"zero_height", 24, 5, 0, BI_RGB, DIB_RGB_COLORS},
                      BadDib{"huge_height", 24, 5, -2147483647 - 1, BI_RGB, DIB_RGB_COLORS},
                      BadDib{"compressed", 24, 5, -4, 1, DIB_RGB_COLORS},
                      BadDib{"palette_usage", 24, 5, -4, BI_RGB, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GdiTest, NullArgumentsAreRefused) {
    Dib dib(1, 1, true);
    EXPECT_EQ(SetDIBitsToDevice(dc_, 0, 0, 1, 1, 0, 0, 0, 1, nullptr, &dib.info, DIB_RGB_COLORS),
              0);
    EXPECT_EQ(
        SetDIBitsToDevice(dc_, 0, 0, 1, 1, 0, 0, 0, 1, dib.bytes.data(), nullptr, DIB_RGB_COLORS),
        0);
    EXPECT_EQ(FillRect(dc_, nullptr, GetStockObject(BLACK_BRUSH)), 0);
    RECT rect{0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc_, &rect, GetStockObject(BLACK_PEN)), 0); // not a brush
    EXPECT_EQ(FillRect(nullptr, &rect, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_FALSE(Rectangle(nullptr, 0, 0, 1, 1));
    EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_BRUSH)), nullptr);
    EXPECT_EQ(SelectObject(dc_, nullptr), nullptr);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_EQ(CreatePen(2, 1, kRed), nullptr); // dashed pens are not offered
    EXPECT_EQ(ReleaseDC(child_, nullptr), 0);
}

TEST_F(GdiTest, SelectedObjectsAreNotDeletedAndStockObjectsNeverAre) {
    HBRUSH brush = CreateSolidBrush(kRed);
    SelectObject(dc_, brush);
    EXPECT_FALSE(DeleteObject(brush)); // still selected
    EXPECT_TRUE(Rectangle(dc_, 0, 0, 4, 4));
    EXPECT_EQ(At(1, 1), kRed);
    EXPECT_EQ(SelectObject(dc_, GetStockObject(BLACK_BRUSH)), brush);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(Rectangle(dc_, 0, 0, 4, 4));
    EXPECT_EQ(At(1, 1), RGB(0, 0, 0));
}

TEST_F(GdiTest, MessageOnlyAndDeadWindowsHaveNoDeviceContext) {
    HWND messageOnly =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(messageOnly, nullptr);
    EXPECT_EQ(GetDC(messageOnly), nullptr);
    EXPECT_EQ(platform::BackingPixel(messageOnly, 0, 0), 0xFFFFFFFFu);
    DestroyWindow(messageOnly);
    EXPECT_EQ(GetDC(nullptr), nullptr);
    // A context that outlives its window draws nothing and is still released.
    HWND doomed =
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 8, 8, host_, nullptr, nullptr, nullptr);
    HDC dc = GetDC(doomed);
    DestroyWindow(doomed);
    RECT rect{0, 0, 8, 8};
    EXPECT_EQ(FillRect(dc, &rect, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 8, 8));
    EXPECT_EQ(ReleaseDC(doomed, dc), 1);
    QImage image;
    EXPECT_FALSE(platform::CopyBackingImage(doomed, &image));
}

TEST_F(GdiTest, AWorkerDrawsAndTheWidgetPaintsIt) {
    struct Args {
        HWND hwnd;
        std::vector<std::uint8_t>* frame;
        BITMAPINFO* info;
    };
    Dib dib(16, 8, true);
    Args args{child_, &dib.bytes, &dib.info};
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            HDC dc = GetDC(a->hwnd);
            HBRUSH blue = CreateSolidBrush(kBlue);
            RECT rect{40, 30, 50, 40};
            FillRect(dc, &rect, blue);
            SetDIBitsToDevice(dc, 0, 0, 16, 8, 0, 0, 0, 8, a->frame->data(), a->info,
                              DIB_RGB_COLORS);
            ReleaseDC(a->hwnd, dc);
            DeleteObject(blue);
            return 0;
        },
        &args, 0, nullptr);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_EQ(At(45, 35), kBlue);
    EXPECT_EQ(At(15, 7), Dib::Color(15, 7));
    // The repaint the worker scheduled shows the backing image in the widget.
    top_->show();
    QCoreApplication::processEvents();
    const QImage shown = WidgetFromHandle(child_)->grab().toImage();
    const QRgb pixel = shown.pixel(45, 35);
    EXPECT_EQ(RGB(qRed(pixel), qGreen(pixel), qBlue(pixel)), kBlue);
}

TEST_F(GdiTest, BackingImageGrowsWithTheWindowAndKeepsItsContent) {
    HBRUSH red = CreateSolidBrush(kRed);
    RECT rect{2, 2, 6, 6};
    FillRect(dc_, &rect, red);
    DeleteObject(red);
    ASSERT_TRUE(MoveWindow(child_, 0, 0, 90, 70, TRUE));
    QImage image;
    ASSERT_TRUE(platform::CopyBackingImage(child_, &image));
    EXPECT_GE(image.width(), 90);
    EXPECT_GE(image.height(), 70);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(At(3, 3), kRed);
    EXPECT_EQ(At(85, 65), background_);
    RECT big{80, 60, 90, 70};
    FillRect(dc_, &big, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(At(89, 69), RGB(0, 0, 0));
}

TEST_F(GdiTest, HostWindowsGetABackingImageOnFirstUse) {
    HDC dc = GetDC(host_);
    ASSERT_NE(dc, nullptr);
    RECT rect{90, 70, 100, 80};
    FillRect(dc, &rect, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(platform::BackingPixel(host_, 99, 79), RGB(0, 0, 0));
    ReleaseDC(host_, dc);
}

} // namespace
