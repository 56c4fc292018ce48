// Windows and messages over Qt: handles, procedures and subclassing, posted and sent
// messages across threads, destruction.
#include "helpers/gui_test_app.h"

#include "platform/sync.h"
#include "platform/window.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using platform_test::ProcessEventsUntil;

struct Delivery {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    DWORD thread;
    char tag; // which procedure of a chain saw it
};

// What the test procedures saw, from every thread.
class Recorder {
public:
    void Add(Delivery delivery) {
        std::lock_guard lock(mutex_);
        deliveries_.push_back(delivery);
    }
    std::vector<Delivery> Of(UINT msg) const {
        std::lock_guard lock(mutex_);
        std::vector<Delivery> found;
        for (const auto& d : deliveries_) {
            if (d.msg == msg) found.push_back(d);
        }
        return found;
    }
    std::vector<Delivery> All() const {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        deliveries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Delivery> deliveries_;
};

Recorder recorder;
constexpr UINT kTestMsg = WM_USER + 1;
constexpr UINT kSendBack = WM_USER + 2; // the receiver sends kTestMsg to the window in lParam

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    recorder.Add({hwnd, msg, wParam, GetCurrentThreadId(), 'r'});
    if (msg == kSendBack) {
        return SendMessageA(reinterpret_cast<HWND>(lParam), kTestMsg, wParam, 0) + 1;
    }
    if (msg == kTestMsg) return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public platform_test::HostWindowTest {
protected:
    void SetUp() override {
        recorder.Clear();
        ASSERT_NO_FATAL_FAILURE(OpenHost(200, 100, RecordingProc));
    }
    HWND CreateStatic(HWND parent, int width = 40, int height = 30) {
        return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                               nullptr, nullptr, nullptr);
    }
};

// ---- registered messages ----

TEST(RegisteredMessages, SameNameSameNumberCaseInsensitively) {
    const UINT transform = RegisterWindowMessageA("Transform message");
    EXPECT_GE(transform, 0xC000u);
    EXPECT_LE(transform, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageA("Transform message"), transform);
    EXPECT_EQ(RegisterWindowMessageA("TRANSFORM MESSAGE"), transform);
    EXPECT_NE(RegisterWindowMessageA("Camera changed by UI"), transform);
    EXPECT_STREQ(platform::RegisteredMessageName(transform), "Transform message");
    EXPECT_STREQ(platform::RegisteredMessageName(WM_USER), "");
}

TEST(RegisteredMessages, NullAndEmptyNamesGiveZero) {
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST(RegisteredMessages, ThreadsRacingForOneNameGetOneNumber) {
    std::vector<UINT> numbers(8);
    std::vector<HANDLE> threads;
    for (auto& number : numbers) {
        threads.push_back(CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                *static_cast<UINT*>(p) = RegisterWindowMessageA("Camera Event File Received");
                return 0;
            },
            &number, 0, nullptr));
    }
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    for (UINT number : numbers)
        EXPECT_EQ(number, numbers.front());
}

// ---- handles and the widget tree ----

TEST_F(WindowTest, HostWindowHandleFollowsItsWidget) {
    EXPECT_TRUE(IsWindow(host_));
    EXPECT_EQ(WidgetFromHandle(host_), top_.get());
    EXPECT_EQ(RegisterHostWindow(top_.get()), host_); // registered once
    EXPECT_EQ(GetParent(host_), nullptr);
    EXPECT_EQ(GetAncestorRoot(host_), host_);
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(host_, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, static_cast<DWORD>(getpid()));
    RECT rect{};
    ASSERT_TRUE(GetClientRect(host_, &rect));
    EXPECT_EQ(rect.right, 200);
    EXPECT_EQ(rect.bottom, 100);
}

TEST_F(WindowTest, StaticChildIsAWidgetInsideItsParent) {
    HWND child = CreateStatic(host_, 40, 30);
    ASSERT_NE(child, nullptr);
    QWidget* widget = WidgetFromHandle(child);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), top_.get());
    EXPECT_EQ(GetParent(child), host_);
    HWND grandchild = CreateStatic(child);
    EXPECT_EQ(GetParent(grandchild), child);
    EXPECT_EQ(GetAncestorRoot(grandchild), host_);
    RECT rect{};
    GetClientRect(child, &rect);
    EXPECT_EQ(rect.right, 40);
    EXPECT_EQ(rect.bottom, 30);
}

TEST_F(WindowTest, ParentIsTheNearestAncestorWithAHandle) {
    auto* middle = new QWidget(top_.get()); // no handle
    auto* inner = new QWidget(middle);
    HWND innerHandle = RegisterHostWindow(inner);
    EXPECT_EQ(GetParent(innerHandle), host_);
}

struct BadCreate {
    const char* name;
    const char* className;
    DWORD style;
    bool withParent;
    DWORD error;
};

class BadCreateTest : public WindowTest, public ::testing::WithParamInterface<BadCreate> {};

TEST_P(BadCreateTest, FailsWithTheErrorCode) {
    const auto& c = GetParam();
    HWND hwnd = CreateWindowExA(0, c.className, "", c.style, 0, 0, 10, 10,
                                c.withParent ? host_ : nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
}

int notAWindow = 0;

INSTANTIATE_TEST_SUITE_P(Cases, BadCreateTest,
                         ::testing::Values(BadCreate{"unknown_class", "BUTTON", WS_CHILD, true,
                                                     ERROR_CANNOT_FIND_WND_CLASS},
                                           BadCreate{"null_class", nullptr, WS_CHILD, true,
                                                     ERROR_CANNOT_FIND_WND_CLASS},
                                           BadCreate{"child_without_parent", "STATIC", WS_CHILD,
                                                     false, ERROR_INVALID_PARAMETER}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ChildOfADeadOrForeignHandleIsRefused) {
    auto* bogus = reinterpret_cast<HWND>(&notAWindow);
    EXPECT_EQ(CreateStatic(bogus), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(WindowTest, ClassNameIsCaseInsensitive) {
    EXPECT_NE(
        CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 5, 5, host_, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(WindowTest, ShowAndMoveChangeTheWidgetAndMoveDeliversWmSize) {
    HWND child = CreateStatic(host_);
    top_->show();
    QWidget* widget = WidgetFromHandle(child);
    EXPECT_TRUE(ShowWindow(child, SW_HIDE)); // was visible
    EXPECT_FALSE(widget->isVisible());
    EXPECT_FALSE(ShowWindow(child, SW_SHOW));
    EXPECT_TRUE(widget->isVisible());
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    ASSERT_TRUE(MoveWindow(child, 5, 6, 70, 50, TRUE));
    EXPECT_EQ(widget->geometry(), QRect(5, 6, 70, 50));
    RECT rect{};
    GetClientRect(child, &rect);
    EXPECT_EQ(rect.right, 70);
    EXPECT_EQ(rect.bottom, 50);
    ProcessEventsUntil([] { return !recorder.Of(WM_SIZE).empty(); });
    auto sizes = recorder.Of(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_TRUE(InvalidateRect(child, nullptr, FALSE));
}

TEST_F(WindowTest, MoveAndShowFromAWorkerReachTheWidgetThroughTheGuiThread) {
    HWND child = CreateStatic(host_);
    struct Args {
        HWND child;
    } args{child};
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            MoveWindow(a->child, 1, 2, 33, 22, TRUE);
            ShowWindow(a->child, SW_HIDE);
            return 0;
        },
        &args, 0, nullptr);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    QWidget* widget = WidgetFromHandle(child);
    ProcessEventsUntil([&] { return widget->geometry() == QRect(1, 2, 33, 22); });
    EXPECT_EQ(widget->geometry(), QRect(1, 2, 33, 22));
    EXPECT_TRUE(widget->isHidden());
}

// ---- procedures and subclassing ----

LRESULT SubclassA(HWND, UINT, WPARAM, LPARAM);
LRESULT SubclassB(HWND, UINT, WPARAM, LPARAM);
WNDPROC previousOfA = nullptr;
WNDPROC previousOfB = nullptr;

LRESULT SubclassA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    recorder.Add({hwnd, msg, wParam, GetCurrentThreadId(), 'a'});
    if (msg == kTestMsg) return 100 + CallWindowProcA(previousOfA, hwnd, msg, wParam, lParam);
    return CallWindowProcA(previousOfA, hwnd, msg, wParam, lParam);
}

LRESULT SubclassB(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    recorder.Add({hwnd, msg, wParam, GetCurrentThreadId(), 'b'});
    if (msg == kTestMsg) return 1000 + CallWindowProcA(previousOfB, hwnd, msg, wParam, lParam);
    return CallWindowProcA(previousOfB, hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, SubclassingChainsNewestFirstDownToTheDefaultProcedure) {
    HWND child = CreateStatic(host_);
    const auto defaultProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(child, GWLP_WNDPROC));
    EXPECT_EQ(defaultProc, &DefWindowProcA);
    previousOfA = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassA)));
    EXPECT_EQ(previousOfA, &DefWindowProcA);
    previousOfB = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassB)));
    EXPECT_EQ(previousOfB, &SubclassA);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SubclassB));
    EXPECT_EQ(SendMessageA(child, kTestMsg, 1, 0), 1100); // B, then A, then DefWindowProc (0)
    auto seen = recorder.Of(kTestMsg);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].tag, 'b');
    EXPECT_EQ(seen[1].tag, 'a');
    // Unsubclassing restores the previous procedure.
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousOfB));
    EXPECT_EQ(SendMessageA(child, kTestMsg, 1, 0), 100);
}

TEST_F(WindowTest, UserDataIsKeptPerWindow) {
    HWND child = CreateStatic(host_);
    SetLastError(ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetWindowLongPtrA(child, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(SetWindowLongPtrA(child, GWLP_USERDATA, 99), 1234);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), 99);
    EXPECT_EQ(GetWindowLongPtrA(host_, GWLP_USERDATA), 0);
    EXPECT_EQ(GetWindowLongPtrA(child, 12345), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(WindowProcs, CallWindowProcWithoutAProcedureReturnsZero) {
    EXPECT_EQ(CallWindowProcA(nullptr, nullptr, kTestMsg, 0, 0), 0);
    EXPECT_EQ(DefWindowProcA(nullptr, kTestMsg, 0, 0), 0);
}

// ---- posted and sent messages ----

TEST_F(WindowTest, PostedMessagesArriveInOrderOnTheEventLoop) {
    for (WPARAM i = 0; i < 100; ++i)
        ASSERT_TRUE(PostMessageA(host_, kTestMsg, i, 0));
    EXPECT_TRUE(recorder.Of(kTestMsg).empty()); // nothing before the event loop runs
    ASSERT_TRUE(ProcessEventsUntil([] { return recorder.Of(kTestMsg).size() == 100; }));
    auto seen = recorder.Of(kTestMsg);
    for (WPARAM i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].wParam, i);
        EXPECT_EQ(seen[i].thread, GetCurrentThreadId());
    }
}

TEST_F(WindowTest, PostsFromAWorkerArriveInOrderOnTheGuiThread) {
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            for (WPARAM i = 0; i < 50; ++i)
                PostMessageA(static_cast<HWND>(p), kTestMsg, i, 0);
            return 0;
        },
        host_, 0, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([] { return recorder.Of(kTestMsg).size() == 50; }));
    auto seen = recorder.Of(kTestMsg);
    for (WPARAM i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].wParam, i);
        EXPECT_EQ(seen[i].thread, GetCurrentThreadId());
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
}

TEST_F(WindowTest, PumpThreadMessagesServesTheGuiThreadWithoutTheEventLoop) {
    PostMessageA(host_, kTestMsg, 1, 0);
    PostMessageA(host_, kTestMsg, 2, 0);
    PumpThreadMessages();
    EXPECT_EQ(recorder.Of(kTestMsg).size(), 2u);
    QCoreApplication::processEvents(); // the scheduled drain finds nothing left
    EXPECT_EQ(recorder.Of(kTestMsg).size(), 2u);
}

TEST_F(WindowTest, SendOnTheSameThreadCallsTheProcedureDirectly) {
    EXPECT_EQ(SendMessageA(host_, kTestMsg, 21, 0), 42);
    ASSERT_EQ(recorder.Of(kTestMsg).size(), 1u);
}

struct SendJob {
    HWND target;
    int count;
    std::vector<LRESULT> results;
};

DWORD SendMany(void* p) {
    auto* job = static_cast<SendJob*>(p);
    for (int i = 0; i < job->count; ++i) {
        job->results.push_back(SendMessageA(job->target, kTestMsg, static_cast<WPARAM>(i), 0));
    }
    return 0;
}

TEST_F(WindowTest, SendFromAWorkerRunsOnTheGuiThreadAndReturnsTheResult) {
    SendJob job{host_, 5, {}};
    HANDLE worker = CreateThread(nullptr, 0, SendMany, &job, 0, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([&] { return WaitForSingleObject(worker, 0) == 0; }));
    CloseHandle(worker);
    ASSERT_EQ(job.results.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(job.results[i], 2 * i);
    for (const auto& d : recorder.Of(kTestMsg))
        EXPECT_EQ(d.thread, GetCurrentThreadId());
}

TEST_F(WindowTest, GuiThreadWaitingForAWorkerStillAnswersItsSends) {
    SendJob job{host_, 20, {}};
    HANDLE worker = CreateThread(nullptr, 0, SendMany, &job, 0, nullptr);
    // No event loop runs here: the wait itself serves the worker's sends.
    EXPECT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
    CloseHandle(worker);
    ASSERT_EQ(job.results.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(job.results[i], 2 * i);
}

// A worker that owns a message-only window and serves it until told to stop.
struct WorkerWindow {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hwnd{nullptr};
    HANDLE thread = nullptr;
    bool pumpPosts = false;

    void Start() {
        thread = CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                auto* self = static_cast<WorkerWindow*>(p);
                HWND hwnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            nullptr, nullptr);
                SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
                self->hwnd = hwnd;
                SetEvent(self->ready);
                while (WaitForSingleObject(self->stop, self->pumpPosts ? 1 : INFINITE) ==
                       WAIT_TIMEOUT) {
                    PumpThreadMessages();
                }
                return 0;
            },
            this, 0, nullptr);
        WaitForSingleObject(ready, INFINITE);
    }
    ~WorkerWindow() {
        SetEvent(stop);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(stop);
        CloseHandle(ready);
    }
};

TEST_F(WindowTest, SendToAWorkerWindowRunsOnTheWorkerWhileItWaits) {
    WorkerWindow worker;
    worker.Start();
    HWND hwnd = worker.hwnd;
    ASSERT_NE(hwnd, nullptr);
    EXPECT_NE(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    EXPECT_EQ(SendMessageA(hwnd, kTestMsg, 8, 0), 16);
    auto seen = recorder.Of(kTestMsg);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, GetWindowThreadProcessId(hwnd, nullptr));
}

TEST_F(WindowTest, NestedSendsBetweenTwoThreadsDoNotDeadlock) {
    WorkerWindow worker;
    worker.Start();
    // The worker's procedure sends back to the GUI window while the GUI thread is still
    // blocked in its own send: the GUI thread answers from inside that send.
    const LRESULT result = SendMessageA(worker.hwnd, kSendBack, 5, reinterpret_cast<LPARAM>(host_));
    EXPECT_EQ(result, 11);
    auto seen = recorder.Of(kTestMsg);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
}

TEST_F(WindowTest, PostsToAWorkerWindowWaitForItsPump) {
    WorkerWindow worker;
    worker.pumpPosts = true;
    worker.Start();
    for (WPARAM i = 0; i < 10; ++i)
        PostMessageA(worker.hwnd, kTestMsg, i, 0);
    ASSERT_TRUE(ProcessEventsUntil([] { return recorder.Of(kTestMsg).size() == 10; }));
    auto seen = recorder.Of(kTestMsg);
    for (WPARAM i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i].wParam, i);
}

TEST_F(WindowTest, WindowsOfAnEndedThreadReceiveNothing) {
    HWND hwnd = nullptr;
    {
        WorkerWindow worker;
        worker.Start();
        hwnd = worker.hwnd;
        EXPECT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, kTestMsg, 1, 0));
    EXPECT_EQ(SendMessageA(hwnd, kTestMsg, 1, 0), 0);
    EXPECT_TRUE(recorder.Of(kTestMsg).empty());
}

// ---- destruction ----

TEST_F(WindowTest, DeletingTheParentWidgetDestroysItsWindowsInTheWindowsOrder) {
    HWND child = CreateStatic(host_);
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    top_.reset();
    std::vector<std::pair<HWND, UINT>> order;
    for (const auto& d : recorder.All()) {
        if (d.msg == WM_DESTROY || d.msg == WM_NCDESTROY) order.emplace_back(d.hwnd, d.msg);
    }
    const std::vector<std::pair<HWND, UINT>> expected{
        {host_, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {host_, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(host_));
    EXPECT_EQ(WidgetFromHandle(host_), nullptr);
}

TEST_F(WindowTest, DestroyedHandlesReceiveNothingAndQueuedPostsAreDropped) {
    HWND child = CreateStatic(host_);
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    PostMessageA(child, kTestMsg, 1, 0);
    PostMessageA(child, kTestMsg, 2, 0);
    QPointer<QWidget> widget = WidgetFromHandle(child);
    ASSERT_TRUE(DestroyWindow(child));
    EXPECT_TRUE(widget.isNull()); // a STATIC window's widget goes with it
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.Of(kTestMsg).empty());
    EXPECT_EQ(recorder.Of(WM_NCDESTROY).size(), 1u);
    EXPECT_FALSE(PostMessageA(child, kTestMsg, 3, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageA(child, kTestMsg, 3, 0), 0);
    EXPECT_FALSE(DestroyWindow(child));
    EXPECT_EQ(GetParent(child), nullptr);
    RECT rect{};
    EXPECT_FALSE(GetClientRect(child, &rect));
    EXPECT_FALSE(ShowWindow(child, SW_SHOW));
    EXPECT_FALSE(MoveWindow(child, 0, 0, 1, 1, FALSE));
    EXPECT_FALSE(InvalidateRect(child, nullptr, FALSE));
    EXPECT_EQ(GetWindowThreadProcessId(child, nullptr), 0u);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), 0);
    EXPECT_TRUE(recorder.Of(kTestMsg).empty());
}

TEST_F(WindowTest, NullHandleReceivesNothing) {
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(PostMessageA(nullptr, kTestMsg, 0, 0));
    EXPECT_EQ(SendMessageA(nullptr, kTestMsg, 0, 0), 0);
    EXPECT_EQ(GetAncestorRoot(nullptr), nullptr);
    EXPECT_EQ(WidgetFromHandle(nullptr), nullptr);
}

TEST_F(WindowTest, DestroyingAHostWindowKeepsTheWidgetButEndsHandleAndChildren) {
    HWND child = CreateStatic(host_);
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    ASSERT_TRUE(DestroyWindow(host_));
    EXPECT_FALSE(IsWindow(host_));
    EXPECT_FALSE(IsWindow(child));
    auto last = recorder.Of(WM_NCDESTROY);
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0].hwnd, child);
    EXPECT_EQ(last[1].hwnd, host_);
    EXPECT_NE(top_.get(), nullptr);
    // The widget may be registered again and gets a new handle.
    HWND again = RegisterHostWindow(top_.get(), RecordingProc);
    EXPECT_NE(again, nullptr);
    EXPECT_NE(again, host_);
}

TEST_F(WindowTest, OnlyTheOwnerThreadDestroysAWindow) {
    struct Args {
        HWND hwnd;
        BOOL result;
        DWORD error;
    } args{host_, TRUE, 0};
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Args*>(p);
            a->result = DestroyWindow(a->hwnd);
            a->error = GetLastError();
            return 0;
        },
        &args, 0, nullptr);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_FALSE(args.result);
    EXPECT_EQ(args.error, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(IsWindow(host_));
}

TEST_F(WindowTest, DefaultProcedureDestroysAStaticWindowOnClose) {
    HWND child = CreateStatic(host_);
    SendMessageA(child, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(child));
}

} // namespace
