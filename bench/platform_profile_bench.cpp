// Profile-string reads per second on a 2,000-key file: unchanged between reads (served
// from the parse cache) and rewritten between reads (parsed again each time). Also the
// lateness of a periodic timer's ticks, which stays flat when the timer does not drift.
#include "platform/profile.h"
#include "platform/timer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kKeys = 2000;

std::string MakeProfile() {
    static const std::string path = [] {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("capdeck-profile-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "bench.ini").string();
        std::vector<std::pair<std::string, std::string>> keys;
        for (int k = 0; k < kKeys; ++k) {
            keys.emplace_back("Key" + std::to_string(k), "value number " + std::to_string(k));
        }
        platform::WriteProfileSection(file, "Section", keys, true);
        return file;
    }();
    return path;
}

void ReadString(benchmark::State& state, const std::string& file, int i) {
    char buf[128];
    const std::string key = "Key" + std::to_string(i % kKeys);
    benchmark::DoNotOptimize(
        GetPrivateProfileStringA("Section", key.c_str(), "", buf, sizeof buf, file.c_str()));
    (void)state;
}

void BM_ProfileReadUnchanged(benchmark::State& state) {
    const std::string file = MakeProfile();
    int i = 0;
    for (auto _ : state)
        ReadString(state, file, i++);
    state.counters["reads/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProfileReadUnchanged);

void BM_ProfileReadChangedBetweenReads(benchmark::State& state) {
    const std::string file = MakeProfile();
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        platform::WriteProfileString(file, "Changes", "Counter", std::to_string(i));
        state.ResumeTiming();
        ReadString(state, file, i++);
    }
    state.counters["reads/s"] = benchmark::Counter(state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProfileReadChangedBetweenReads);

struct TimerRun {
    std::atomic<int> ticks{0};
    std::chrono::steady_clock::time_point start;
    std::vector<double> lateMs;
};

void Tick(UINT, UINT, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
    auto* run = reinterpret_cast<TimerRun*>(user);
    const int k = run->ticks.load() + 1;
    const auto slot = run->start + std::chrono::milliseconds(10) * k;
    run->lateMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - slot).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(6)); // a slow callback
    run->ticks = k;
}

// Not a Google Benchmark case: one run of 100 ticks, reporting how late the first and
// the last ten ticks were against their slots start + k * 10 ms.
void ReportTimerDrift() {
    TimerRun run;
    run.lateMs.reserve(200);
    run.start = std::chrono::steady_clock::now();
    const UINT id =
        timeSetEvent(10, 1, Tick, reinterpret_cast<std::uintptr_t>(&run), TIME_PERIODIC);
    while (run.ticks < 100)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    timeKillEvent(id);
    auto mean = [&](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i)
            sum += run.lateMs[i];
        return sum / static_cast<double>(to - from);
    };
    std::printf("timer 10 ms with a 6 ms callback: ticks 1-10 late by %.2f ms on average, "
                "ticks 91-100 by %.2f ms\n",
                mean(0, 10), mean(90, 100));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ReportTimerDrift();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(MakeProfile()).parent_path(), ignored);
    return 0;
}
