// Shared helpers of the PRSDK tests: an opened camera session and callback recorders.
#pragma once

#include "prsdk/prsdk.h"
#include "prsdk/prsdk_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace prsdk_test {

constexpr auto kWaitLimit = std::chrono::seconds(10);

// Every test starts from the built-in camera (or the scenario it loads itself) with the
// SDK finished and no fault pending.
class PrsdkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PRSIM_Reset(), 0) << PRSIM_LastError(); }
    void TearDown() override {
        PR_FinishSDK();
        EXPECT_EQ(PRSIM_ThreadCount(), 0u);
        PRSIM_Reset();
    }

    void LoadScenario(const char* text) {
        ASSERT_EQ(PRSIM_LoadScenarioText(text), 0) << PRSIM_LastError();
    }

    static std::vector<std::uint8_t> DeviceList() {
        std::uint32_t size = 0;
        EXPECT_EQ(PR_ERROR_CODE(PR_GetDeviceList(&size, nullptr)), 99u);
        std::vector<std::uint8_t> buffer(size);
        EXPECT_EQ(PR_GetDeviceList(&size, buffer.data()), PR_OK);
        return buffer;
    }

    // Start, list, create, connect and take release control of device position index.
    static PrCameraHandle Open(std::uint32_t index = 0) {
        EXPECT_EQ(PR_StartSDK(), PR_OK);
        const std::vector<std::uint8_t> list = DeviceList();
        std::uint32_t count = 0;
        std::memcpy(&count, list.data(), 4);
        EXPECT_LT(index, count);
        if (index >= count) return 0;
        PrCameraHandle camera = 0;
        EXPECT_EQ(PR_CreateCameraObject(list.data() + 4 + PR_DEVICE_ENTRY_SIZE * index, &camera),
                  PR_OK);
        EXPECT_NE(camera, 0u);
        EXPECT_EQ(PR_ConnectCamera(camera), PR_OK);
        EXPECT_EQ(PR_InitiateReleaseControl(camera), PR_OK);
        return camera;
    }
};

// Collects what a callback saw, with the thread it ran on; tests wait on it.
template <typename Item> class Recorder {
public:
    void Add(Item item) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
        threads_.push_back(std::this_thread::get_id());
        changed_.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWaitLimit, [&] { return items_.size() >= count; });
    }
    std::vector<Item> Items() {
        std::lock_guard lock(mutex_);
        return items_;
    }
    std::vector<std::thread::id> Threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Item> items_;
    std::vector<std::thread::id> threads_;
};

struct Event {
    std::uint16_t code;
    std::uint32_t parameter;
};

inline PrError RecordEvent(PrCameraHandle, PrContext context, void* record) {
    std::uint8_t bytes[sizeof(PrEventRecord)];
    std::memcpy(bytes, record, sizeof bytes);
    Event event{};
    std::memcpy(&event.code, bytes + 6, 2);
    std::memcpy(&event.parameter, bytes + 12, 4);
    static_cast<Recorder<Event>*>(context)->Add(event);
    return 0;
}

inline PrError RecordFrame(PrCameraHandle, PrContext context, std::uint32_t size, void* data) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    static_cast<Recorder<std::vector<std::uint8_t>>*>(context)->Add(
        std::vector<std::uint8_t>(bytes, bytes + size));
    return 0;
}

} // namespace prsdk_test
