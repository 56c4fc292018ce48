// The thread keyboard hook: virtual-key codes, press and release, swallowing, chaining.
#include "helpers/gui_test_app.h"

#include "platform/hook.h"
#include "platform/sync.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Call {
    char hook;
    WPARAM vk;
    LPARAM flags;
};

std::vector<Call> calls;
LRESULT answerOfFirst = 0;
HHOOK firstHook = nullptr;
HHOOK secondHook = nullptr;

LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam) {
    calls.push_back({'1', wParam, lParam});
    if (answerOfFirst != 0) return answerOfFirst;
    return CallNextHookEx(firstHook, code, wParam, lParam);
}

LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam) {
    calls.push_back({'2', wParam, lParam});
    return CallNextHookEx(secondHook, code, wParam, lParam);
}

// Counts the keys that reach it and leaves them unhandled, so they travel to its parent.
class KeyCounter : public QWidget {
public:
    using QWidget::QWidget;
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++presses;
        event->ignore();
    }
};

class HookTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform_test::GuiApp(); }
    void SetUp() override {
        calls.clear();
        answerOfFirst = 0;
        parent_ = std::make_unique<KeyCounter>();
        child_ = new KeyCounter(parent_.get());
        firstHook = SetWindowsHookExA(WH_KEYBOARD, FirstHook, nullptr, GetCurrentThreadId());
        ASSERT_NE(firstHook, nullptr);
    }
    void TearDown() override {
        if (firstHook != nullptr) UnhookWindowsHookEx(firstHook);
        firstHook = nullptr;
    }
    void Key(QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(child_, &event);
    }

    std::unique_ptr<KeyCounter> parent_;
    KeyCounter* child_ = nullptr;
};

struct KeyCase {
    int qtKey;
    WPARAM vk;
};

class VirtualKeyTest : public HookTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(VirtualKeyTest, PressAndReleaseReachTheHookOnceEach) {
    const auto& c = GetParam();
    Key(QEvent::KeyPress, c.qtKey);
    Key(QEvent::KeyRelease, c.qtKey);
    ASSERT_EQ(calls.size(), 2u); // once, although the press travels from child to parent
    EXPECT_EQ(calls[0].vk, c.vk);
    EXPECT_EQ(calls[1].vk, c.vk);
    EXPECT_EQ(calls[0].flags & (LPARAM{1} << 31), 0);
    EXPECT_NE(calls[1].flags & (LPARAM{1} << 31), 0);
    EXPECT_EQ(calls[0].flags & 0xFFFF, 1); // repeat count
}

INSTANTIATE_TEST_SUITE_P(Keys, VirtualKeyTest,
                         ::testing::Values(KeyCase{Qt::Key_F1, 0x70}, KeyCase{Qt::Key_F5, 0x74},
                                           KeyCase{Qt::Key_F12, 0x7B}, KeyCase{Qt::Key_A, 'A'},
                                           KeyCase{Qt::Key_Z, 'Z'}, KeyCase{Qt::Key_0, '0'},
                                           KeyCase{Qt::Key_9, '9'}, KeyCase{Qt::Key_Escape, 27},
                                           KeyCase{Qt::Key_Return, 13}, KeyCase{Qt::Key_Enter, 13},
                                           KeyCase{Qt::Key_Space, 32},
                                           KeyCase{Qt::Key_Left, 0x25}));

TEST_F(HookTest, UnmappedKeysDoNotReachTheHook) {
    Key(QEvent::KeyPress, Qt::Key_LaunchMail);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(child_->presses, 1);
}

TEST_F(HookTest, AutoRepeatSetsThePreviousStateBit) {
    Key(QEvent::KeyPress, Qt::Key_F5, true);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].flags & (LPARAM{1} << 30), 0);
}

TEST_F(HookTest, NonZeroAnswerSwallowsTheKey) {
    Key(QEvent::KeyPress, Qt::Key_Escape);
    EXPECT_EQ(child_->presses, 1);
    EXPECT_EQ(parent_->presses, 1);
    answerOfFirst = 1;
    Key(QEvent::KeyPress, Qt::Key_Escape);
    EXPECT_EQ(child_->presses, 1);
    EXPECT_EQ(parent_->presses, 1);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(HookTest, NewestHookRunsFirstAndPassesOnThroughCallNextHookEx) {
    secondHook = SetWindowsHookExA(WH_KEYBOARD, SecondHook, nullptr, 0);
    ASSERT_NE(secondHook, nullptr);
    Key(QEvent::KeyPress, Qt::Key_F2);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].hook, '2');
    EXPECT_EQ(calls[1].hook, '1');
    EXPECT_EQ(CallNextHookEx(firstHook, 0, 0, 0), 0); // the last in the chain
    EXPECT_TRUE(UnhookWindowsHookEx(secondHook));
    EXPECT_FALSE(UnhookWindowsHookEx(secondHook));
    calls.clear();
    Key(QEvent::KeyPress, Qt::Key_F2);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hook, '1');
}

TEST_F(HookTest, AfterUnhookingNothingIsCalled) {
    EXPECT_TRUE(UnhookWindowsHookEx(firstHook));
    firstHook = nullptr;
    Key(QEvent::KeyPress, Qt::Key_F3);
    EXPECT_TRUE(calls.empty());
}

TEST_F(HookTest, OtherHookTypesAndNullProceduresAreRefused) {
    EXPECT_EQ(SetWindowsHookExA(13, FirstHook, nullptr, 0), nullptr); // WH_KEYBOARD_LL
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, 0), nullptr);
}

TEST_F(HookTest, HooksAreInstalledFromTheGuiThreadOnly) {
    struct Result {
        HHOOK hook = reinterpret_cast<HHOOK>(1);
        DWORD error = 0;
    } result;
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* r = static_cast<Result*>(p);
            r->hook = SetWindowsHookExA(WH_KEYBOARD, SecondHook, nullptr, 0);
            r->error = GetLastError();
            return 0;
        },
        &result, 0, nullptr);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_EQ(result.hook, nullptr);
    EXPECT_EQ(result.error, ERROR_NOT_SUPPORTED);
}

} // namespace
