// Message boxes: the test answerer from any thread, and the real dialog on the GUI thread
// reached from the GUI thread itself and from a worker.
#include "helpers/gui_test_app.h"

#include "platform/dialogs.h"
#include "platform/sync.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform_test::GuiApp(); }
    void TearDown() override { platform::SetMessageBoxAnswerer(nullptr); }
};

struct AnswerCase {
    const char* name;
    UINT type;
    int answer;
};

class AnswererTest : public DialogTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswererTest, RecordsTheCallAndReturnsItsAnswer) {
    const auto& c = GetParam();
    std::vector<platform::MessageBoxCall> calls;
    platform::SetMessageBoxAnswerer([&](const platform::MessageBoxCall& call) {
        calls.push_back(call);
        return c.answer;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Cannot connect camera.", "Capdeck", c.type), c.answer);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "Cannot connect camera.");
    EXPECT_EQ(calls[0].caption, "Capdeck");
    EXPECT_EQ(calls[0].type, c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Types, AnswererTest,
    ::testing::Values(AnswerCase{"ok", MB_OK, IDOK},
                      AnswerCase{"abort_retry_ignore", MB_ABORTRETRYIGNORE | MB_ICONERROR, IDRETRY},
                      AnswerCase{"yes_no", MB_YESNO | MB_ICONQUESTION, IDNO},
                      AnswerCase{"ok_cancel", MB_OKCANCEL | MB_ICONWARNING, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, AnswererIsCalledOnTheWorkerThatAsks) {
    std::atomic<DWORD> askedOn{0};
    platform::SetMessageBoxAnswerer([&](const platform::MessageBoxCall&) {
        askedOn = GetCurrentThreadId();
        return IDIGNORE;
    });
    struct Args {
        int answer = 0;
    } args;
    DWORD workerId = 0;
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            static_cast<Args*>(p)->answer =
                MessageBoxA(nullptr, "text", "caption", MB_ABORTRETRYIGNORE);
            return 0;
        },
        &args, 0, &workerId);
    // No event loop runs: the answerer needs no hop to the GUI thread.
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_EQ(args.answer, IDIGNORE);
    EXPECT_EQ(askedOn.load(), workerId);
}

TEST_F(DialogTest, NullTextAndCaptionAreAccepted) {
    platform::MessageBoxCall seen;
    platform::SetMessageBoxAnswerer([&](const platform::MessageBoxCall& call) {
        seen = call;
        return IDOK;
    });
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    EXPECT_EQ(seen.text, "");
    EXPECT_EQ(seen.caption, "Error");
}

// What the dialog looked like when the robot pressed its button.
struct Seen {
    std::atomic<bool> shown{false};
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString caption;
    std::vector<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Presses the button (or Escape when press is NoButton) of the next message box.
void PressWhenShown(QMessageBox::StandardButton press, Seen* seen) {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [timer, press, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        timer->stop();
        timer->deleteLater();
        seen->icon = box->icon();
        seen->text = box->text();
        seen->caption = box->windowTitle();
        for (QAbstractButton* button : box->buttons()) {
            seen->buttons.push_back(box->standardButton(button));
        }
        if (box->defaultButton() != nullptr) {
            seen->defaultButton = box->standardButton(box->defaultButton());
        }
        seen->shown = true;
        if (press == QMessageBox::NoButton) {
            box->reject();
        } else {
            box->button(press)->click();
        }
    });
    timer->start(5);
}

struct DialogCase {
    const char* name;
    UINT type;
    QMessageBox::StandardButton press;
    int expected;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton defaultButton;
    size_t buttonCount;
};

class RealDialogTest : public DialogTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(RealDialogTest, ShowsTheButtonsAndIconAndMapsTheAnswer) {
    const auto& c = GetParam();
    Seen seen;
    PressWhenShown(c.press, &seen);
    EXPECT_EQ(MessageBoxA(nullptr, "Question?", "Capdeck", c.type), c.expected);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.icon, c.icon);
    EXPECT_EQ(seen.text, "Question?");
    EXPECT_EQ(seen.caption, "Capdeck");
    EXPECT_EQ(seen.buttons.size(), c.buttonCount);
    EXPECT_EQ(seen.defaultButton, c.defaultButton);
}

using QB = QMessageBox;
INSTANTIATE_TEST_SUITE_P(
    Cases, RealDialogTest,
    ::testing::Values(
        DialogCase{"ok", MB_OK | MB_ICONINFORMATION, QB::Ok, IDOK, QB::Information, QB::Ok, 1},
        DialogCase{"yes_no_pressing_no", MB_YESNO | MB_ICONQUESTION, QB::No, IDNO, QB::Question,
                   QB::Yes, 2},
        DialogCase{"abort_retry_ignore", MB_ABORTRETRYIGNORE | MB_ICONERROR, QB::Retry, IDRETRY,
                   QB::Critical, QB::Abort, 3},
        DialogCase{"second_default", MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING, QB::Yes,
                   IDYES, QB::Warning, QB::No, 3},
        DialogCase{"escape_is_cancel", MB_OKCANCEL, QB::NoButton, IDCANCEL, QB::NoIcon, QB::Ok, 2},
        DialogCase{"escape_without_cancel_is_default", MB_YESNO | MB_DEFBUTTON2, QB::NoButton, IDNO,
                   QB::NoIcon, QB::No, 2},
        DialogCase{"retry_cancel", MB_RETRYCANCEL, QB::Cancel, IDCANCEL, QB::NoIcon, QB::Retry, 2}),
    [](const auto& info) { return std::string(info.param.name); });

DWORD AskYesNo(void* p) {
    *static_cast<int*>(p) = MessageBoxA(nullptr, "From a worker", "Capdeck", MB_YESNO);
    return 0;
}

TEST_F(DialogTest, WorkerBoxHopsToTheGuiThreadThroughTheEventLoop) {
    Seen seen;
    PressWhenShown(QMessageBox::No, &seen);
    int answer = 0;
    HANDLE worker = CreateThread(nullptr, 0, AskYesNo, &answer, 0, nullptr);
    ASSERT_TRUE(platform_test::ProcessEventsUntil(
        [&] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }));
    CloseHandle(worker);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(seen.text, "From a worker");
}

TEST_F(DialogTest, WorkerBoxIsShownWhileTheGuiThreadWaitsForTheWorker) {
    Seen seen;
    PressWhenShown(QMessageBox::Yes, &seen);
    int answer = 0;
    HANDLE worker = CreateThread(nullptr, 0, AskYesNo, &answer, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_EQ(answer, IDYES);
    EXPECT_TRUE(seen.shown);
}

} // namespace
