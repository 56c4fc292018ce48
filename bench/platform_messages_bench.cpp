// Message throughput of the platform layer: posted messages through the GUI thread's event
// loop, and sent messages across threads in both directions (items_per_second).
#include "platform/sync.h"
#include "platform/window.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>

namespace {

constexpr UINT kBenchMsg = WM_USER + 7;
constexpr int kBatch = 1000;
std::atomic<long> handled{0};

LRESULT CountingProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg != kBenchMsg) return 0;
    handled.fetch_add(1, std::memory_order_relaxed);
    return static_cast<LRESULT>(wParam + 1);
}

HWND GuiWindow() {
    static QWidget* widget = new QWidget;
    static HWND hwnd = RegisterHostWindow(widget, CountingProc);
    return hwnd;
}

void PostedMessagesThroughTheEventLoop(benchmark::State& state) {
    HWND hwnd = GuiWindow();
    for (auto _ : state) {
        handled = 0;
        for (int i = 0; i < kBatch; ++i)
            PostMessageA(hwnd, kBenchMsg, i, 0);
        while (handled.load() < kBatch)
            QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(PostedMessagesThroughTheEventLoop)->Unit(benchmark::kMicrosecond);

struct Worker {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND hwnd = nullptr;
    HANDLE thread = nullptr;

    Worker() {
        thread = CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                auto* self = static_cast<Worker*>(p);
                self->hwnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                             nullptr, nullptr);
                SetWindowLongPtrA(self->hwnd, GWLP_WNDPROC,
                                  reinterpret_cast<LONG_PTR>(&CountingProc));
                SetEvent(self->ready);
                WaitForSingleObject(self->stop, INFINITE); // serves the sends meanwhile
                return 0;
            },
            this, 0, nullptr);
        WaitForSingleObject(ready, INFINITE);
    }
    ~Worker() {
        SetEvent(stop);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(stop);
        CloseHandle(ready);
    }
};

void SentFromTheGuiThreadToAWaitingWorker(benchmark::State& state) {
    Worker worker;
    WPARAM i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessageA(worker.hwnd, kBenchMsg, ++i, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SentFromTheGuiThreadToAWaitingWorker)->Unit(benchmark::kMicrosecond);

DWORD SendBatch(void* hwnd) {
    for (int i = 0; i < kBatch; ++i)
        SendMessageA(static_cast<HWND>(hwnd), kBenchMsg, i, 0);
    return 0;
}

void SentFromAWorkerToTheWaitingGuiThread(benchmark::State& state) {
    HWND hwnd = GuiWindow();
    for (auto _ : state) {
        HANDLE thread = CreateThread(nullptr, 0, SendBatch, hwnd, 0, nullptr);
        WaitForSingleObject(thread, INFINITE); // the wait answers the worker's sends
        CloseHandle(thread);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(SentFromAWorkerToTheWaitingGuiThread)->Unit(benchmark::kMillisecond);

void SentFromAWorkerToTheGuiEventLoop(benchmark::State& state) {
    HWND hwnd = GuiWindow();
    for (auto _ : state) {
        HANDLE thread = CreateThread(nullptr, 0, SendBatch, hwnd, 0, nullptr);
        while (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
            QCoreApplication::processEvents();
        }
        CloseHandle(thread);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(SentFromAWorkerToTheGuiEventLoop)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
