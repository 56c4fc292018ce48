// A process without a QApplication (a command-line tool): window calls fail cleanly,
// message boxes go to stderr, everything that needs no GUI still works.
#include "platform/dialogs.h"
#include "platform/gdi.h"
#include "platform/hook.h"
#include "platform/sync.h"
#include "platform/window.h"

#include <gtest/gtest.h>

namespace {

int notAWindow = 0;
HWND Bogus() {
    return reinterpret_cast<HWND>(&notAWindow);
}

LRESULT Proc(HWND, UINT, WPARAM, LPARAM) {
    return 1;
}
LRESULT HookProc(int, WPARAM, LPARAM) {
    return 0;
}

TEST(NoGui, NoGuiIsReported) {
    EXPECT_FALSE(platform::GuiAvailable());
}

TEST(NoGui, WindowCreationFailsWithAnErrorCode) {
    for (HWND parent : {static_cast<HWND>(nullptr), HWND_MESSAGE, Bogus()}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr,
                                  nullptr),
                  nullptr);
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    }
    EXPECT_EQ(RegisterHostWindow(nullptr, Proc), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(NoGui, EveryWindowCallFailsWithoutACrash) {
    for (HWND hwnd : {static_cast<HWND>(nullptr), Bogus()}) {
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 1, 2));
        EXPECT_EQ(SendMessageA(hwnd, WM_USER, 1, 2), 0);
        EXPECT_FALSE(DestroyWindow(hwnd));
        EXPECT_EQ(GetParent(hwnd), nullptr);
        EXPECT_EQ(GetAncestorRoot(hwnd), nullptr);
        EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
        EXPECT_FALSE(MoveWindow(hwnd, 0, 0, 1, 1, TRUE));
        RECT rect{};
        EXPECT_FALSE(GetClientRect(hwnd, &rect));
        EXPECT_FALSE(InvalidateRect(hwnd, nullptr, TRUE));
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), 0u);
        EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
        EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)), 0);
        EXPECT_EQ(WidgetFromHandle(hwnd), nullptr);
        EXPECT_EQ(GetDC(hwnd), nullptr);
        EXPECT_EQ(platform::BackingPixel(hwnd, 0, 0), 0xFFFFFFFFu);
    }
    PumpThreadMessages();
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, HookProc, nullptr, 0), nullptr);
    EXPECT_EQ(CallNextHookEx(nullptr, 0, 0, 0), 0);
}

TEST(NoGui, CallsThatNeedNoWindowStillWork) {
    const UINT number = RegisterWindowMessageA("Camera changed by UI");
    EXPECT_GE(number, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("camera changed by ui"), number);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_NE(brush, nullptr);
    EXPECT_TRUE(DeleteObject(brush));
    HANDLE thread = CreateThread(
        nullptr, 0, [](void*) -> DWORD { return 5; }, nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
}

struct DefaultCase {
    UINT type;
    int expected;
};

class NoGuiMessageBox : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(NoGuiMessageBox, GoesToStderrAndAnswersTheDefaultButton) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Cannot connect camera.", "Capdeck", GetParam().type),
              GetParam().expected);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("Capdeck"), std::string::npos);
    EXPECT_NE(printed.find("Cannot connect camera."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Types, NoGuiMessageBox,
                         ::testing::Values(DefaultCase{MB_OK, IDOK},
                                           DefaultCase{MB_YESNO | MB_ICONQUESTION, IDYES},
                                           DefaultCase{MB_ABORTRETRYIGNORE, IDABORT},
                                           DefaultCase{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                                           DefaultCase{MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                                           DefaultCase{MB_RETRYCANCEL | MB_DEFBUTTON3, IDRETRY},
                                           DefaultCase{0xF, IDOK}));

TEST(NoGui, AnswererWorksWithoutAGui) {
    platform::SetMessageBoxAnswerer([](const platform::MessageBoxCall&) { return IDRETRY; });
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_RETRYCANCEL), IDRETRY);
    platform::SetMessageBoxAnswerer(nullptr);
}

} // namespace
