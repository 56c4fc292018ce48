#include "helpers/gui_test_app.h"
#include "helpers/services_test_support.h"

#include "../src/unique_fd.h"
#include "platform/broadcast.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

using platform::testing::ReadySignal;
using platform::testing::StartChild;
using platform::testing::TempDir;
using platform::testing::WaitChild;

constexpr const char* kKind = "CapdeckTest";
constexpr const char* kMessage = "LumettaCanonApplicationStart";

struct Received {
    std::mutex mutex;
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> messages;
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return messages.size();
    }
};

// Each test gets its own runtime folder, inherited by the children it forks.
class BroadcastTest : public ::testing::Test {
protected:
    void SetUp() override { env_.Set("XDG_RUNTIME_DIR", runtime.Path()); }
    void TearDown() override {
        platform::StopBroadcastListener();
        platform::SetBroadcastHandler(nullptr);
    }
    void ListenWithHandler() {
        platform::SetBroadcastHandler([this](UINT msg, WPARAM w, LPARAM l) {
            std::lock_guard lock(received.mutex);
            received.messages.emplace_back(msg, w, l);
        });
        ASSERT_TRUE(platform::StartBroadcastListener(kKind));
    }
    std::string Folder() const { return runtime.Path() + "/broadcast-" + kKind; }
    // Polls until the condition holds; the bound only guards against a hang.
    template <typename Done> bool Eventually(Done done) {
        for (int i = 0; i < 5000 && !done(); ++i)
            usleep(1000);
        return done();
    }

    TempDir runtime;
    platform::testing::ScopedEnv env_;
    Received received;
};

TEST_F(BroadcastTest, ReachesAnotherProcessByName) {
    ListenWithHandler();
    const pid_t sender = StartChild([] {
        // Other names first, so the number here differs from the receiver's.
        RegisterWindowMessageA("Padding one");
        RegisterWindowMessageA("Padding two");
        const UINT msg = RegisterWindowMessageA(kMessage);
        return static_cast<int>(
            BroadcastSystemMessageA(BSF_IGNORECURRENTTASK | BSF_POSTMESSAGE, nullptr, msg, 7, -3));
    });
    EXPECT_EQ(WaitChild(sender), 1); // one instance reached: this one
    ASSERT_TRUE(Eventually([&] { return received.Count() == 1; }));
    const auto [msg, w, l] = received.messages[0];
    EXPECT_EQ(msg, RegisterWindowMessageA(kMessage)); // registered here on arrival
    EXPECT_EQ(w, 7u);
    EXPECT_EQ(l, -3);
}

TEST_F(BroadcastTest, AnotherProcessReceivesOurBroadcast) {
    ReadySignal ready;
    const pid_t listener = StartChild([&] {
        std::atomic<bool> got{false};
        platform::SetBroadcastHandler([&](UINT msg, WPARAM, LPARAM) {
            got = std::string(platform::RegisteredMessageName(msg)) == kMessage;
        });
        if (!platform::StartBroadcastListener(kKind)) return 1;
        ready.Send();
        for (int i = 0; i < 10000 && !got; ++i)
            usleep(1000);
        platform::StopBroadcastListener();
        return got ? 0 : 2;
    });
    ASSERT_EQ(ready.Wait(), 'r');
    ListenWithHandler(); // ourselves, skipped with BSF_IGNORECURRENTTASK
    const UINT msg = RegisterWindowMessageA(kMessage);
    EXPECT_EQ(BroadcastSystemMessageA(BSF_IGNORECURRENTTASK | BSF_POSTMESSAGE, nullptr, msg, 0, 0),
              1);
    EXPECT_EQ(WaitChild(listener), 0);
    EXPECT_EQ(received.Count(), 0u);
    // The child removed its socket when it stopped listening.
    EXPECT_FALSE(std::filesystem::exists(Folder() + "/" + std::to_string(listener)));
}

TEST_F(BroadcastTest, WithoutTheIgnoreFlagTheSenderReceivesToo) {
    ListenWithHandler();
    const UINT msg = RegisterWindowMessageA("Self message");
    EXPECT_EQ(BroadcastSystemMessageA(BSF_POSTMESSAGE, nullptr, msg, 1, 2), 1);
    EXPECT_TRUE(Eventually([&] { return received.Count() == 1; }));
}

TEST_F(BroadcastTest, StaleSocketsOfDeadProcessesAreRemoved) {
    ListenWithHandler();
    // A socket file nobody listens on any more (its process is gone).
    const std::string stale = Folder() + "/4000000";
    {
        platform::detail::UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, stale.c_str());
        ASSERT_EQ(bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    platform::testing::WriteFile(Folder() + "/not-a-pid", "ignored");
    const UINT msg = RegisterWindowMessageA(kMessage);
    EXPECT_EQ(BroadcastSystemMessageA(BSF_POSTMESSAGE, nullptr, msg, 0, 0), 1);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(Folder() + "/not-a-pid"));
}

TEST_F(BroadcastTest, RefusesUnregisteredNumbersAndDropsMalformedDatagrams) {
    ListenWithHandler();
    EXPECT_EQ(BroadcastSystemMessageA(BSF_POSTMESSAGE, nullptr, 0xFEDC, 0, 0), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // Garbage straight to our socket is dropped; a good message after it still arrives.
    platform::detail::UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = Folder() + "/" + std::to_string(getpid());
    std::strcpy(address.sun_path, path.c_str());
    for (const std::string& junk :
         {std::string("x"), std::string(40, 'C'), std::string(600, 'a')}) {
        sendto(fd.Get(), junk.data(), junk.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }
    EXPECT_EQ(BroadcastSystemMessageA(BSF_POSTMESSAGE, nullptr, WM_USER + 5, 0, 0), 1);
    ASSERT_TRUE(Eventually([&] { return received.Count() == 1; }));
    EXPECT_EQ(std::get<0>(received.messages[0]), WM_USER + 5u);
}

std::atomic<int> windowHits{0};
UINT expectedMessage = 0;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == expectedMessage) ++windowHits;
    return DefWindowProcA(hwnd, msg, w, l);
}

std::atomic<int> childHits{0};

LRESULT ChildProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == expectedMessage) ++childHits;
    return DefWindowProcA(hwnd, msg, w, l);
}

TEST_F(BroadcastTest, WithoutAHandlerTheMessageIsPostedToTopLevelWindows) {
    platform_test::GuiApp();
    QWidget form;
    HWND topLevel = RegisterHostWindow(&form, RecordingProc);
    ASSERT_NE(topLevel, nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, topLevel, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChildProc));
    expectedMessage = RegisterWindowMessageA(kMessage);
    ASSERT_TRUE(platform::StartBroadcastListener(kKind));
    const pid_t sender = StartChild([] {
        const UINT msg = RegisterWindowMessageA(kMessage);
        return static_cast<int>(BroadcastSystemMessageA(BSF_IGNORECURRENTTASK, nullptr, msg, 0, 0));
    });
    EXPECT_EQ(WaitChild(sender), 1);
    EXPECT_TRUE(platform_test::ProcessEventsUntil([] { return windowHits == 1; }));
    EXPECT_EQ(childHits, 0) << "only top-level windows receive broadcasts";
}

} // namespace
