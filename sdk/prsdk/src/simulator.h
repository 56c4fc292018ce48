// The state of the simulated PowerShot cameras behind the vendor functions.
//
// One lock guards everything. Callbacks into the caller (events, frames, released data)
// always run with the lock released, so they may call back into the library. Every
// thread the library starts belongs to a camera object and ends when the viewfinder
// stops, the object is destroyed, the camera is unplugged or the SDK is finished.
#pragma once

#include "images.h"
#include "prsdk/prsdk.h"
#include "prsdk/prsdk_control.h"
#include "scenario.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace prsim {

struct SimCamera {
    CameraSpec spec;
    std::shared_ptr<const RgbImage> scene;
    std::u16string devicePath;
    bool plugged = true;
    bool focusLocked = false;
    std::uint32_t releases = 0;
    std::uint32_t aeAfAwbCalls = 0;
    std::uint32_t framesDelivered = 0;
};

// A thread of the library with its own stop flag (guarded by the library's lock), so a
// thread being stopped never mistakes a successor's flag for its own.
struct Worker {
    std::thread thread;
    std::shared_ptr<bool> stop;
    bool running() const { return thread.joinable(); }
};

struct ReleasedObject {
    std::uint16_t eventCode = 0;
    std::shared_ptr<const Bytes> data;
};

struct CameraObject {
    PrCameraHandle handle = 0;
    std::shared_ptr<SimCamera> camera;
    bool connected = false;
    bool releaseControl = false;
    bool lost = false; // the camera was unplugged after the object was made

    PrEventFunction eventFunction = nullptr;
    PrContext eventContext = nullptr;
    std::deque<PrEventRecord> events;
    std::uint64_t eventsQueued = 0;
    std::uint64_t eventsDelivered = 0;
    Worker eventWorker;
    std::thread::id eventThreadId;
    std::condition_variable eventWake;

    PrViewFinderFunction frameFunction = nullptr;
    PrContext frameContext = nullptr;
    Worker frameWorker;
    std::condition_variable frameWake;

    std::map<PrObjectHandle, ReleasedObject> released;
};

class Simulator {
public:
    static Simulator& Instance();
    ~Simulator();

    // Vendor functions.
    PrError StartSdk();
    PrError FinishSdk();
    PrError GetDeviceList(std::uint32_t* bufferSize, void* buffer);
    PrError CreateCameraObject(const void* entry, PrCameraHandle* handle);
    PrError ConnectCamera(PrCameraHandle handle);
    PrError InitiateReleaseControl(PrCameraHandle handle);
    PrError SetEventCallBack(PrCameraHandle handle, PrContext context, PrEventFunction function);
    PrError TerminateReleaseControl(PrCameraHandle handle);
    PrError DisconnectCamera(PrCameraHandle handle);
    PrError DestroyCameraObject(PrCameraHandle handle);
    PrError StartViewFinder(PrCameraHandle handle, PrContext context,
                            PrViewFinderFunction function);
    PrError TermViewFinder(PrCameraHandle handle);
    PrError DoAeAfAwb(PrCameraHandle handle, std::uint32_t what);
    PrError Release(PrCameraHandle handle);
    PrError GetReleasedData(PrCameraHandle handle, PrObjectHandle object, std::uint16_t eventCode,
                            std::uint32_t transferSize, PrContext context,
                            PrReleasedDataFunction function);
    PrError SetFocusLock(PrCameraHandle handle, bool locked);
    PrError GetDevicePropDesc(PrCameraHandle handle, std::uint16_t code, std::uint32_t* bufferSize,
                              void* buffer);
    PrError SetDevicePropValue(PrCameraHandle handle, std::uint16_t code, std::uint32_t size,
                               const void* value);

    // Control functions.
    int Reset();
    int LoadScenario(const ParseResult& parsed);
    const char* LastError();
    std::uint32_t CameraCount();
    int Unplug(std::uint32_t index);
    int Replug(std::uint32_t index);
    int SendCameraEvent(std::uint32_t index, std::uint16_t code, std::uint32_t parameter);
    int TurnCamera(std::uint32_t index, std::uint32_t angleCode);
    int ChangeSetting(std::uint32_t index, std::uint16_t property, std::uint32_t value);
    int SetFault(const char* functionName, PrError code, bool always);
    void ClearFaults();
    void SetTransferDelay(std::uint32_t ms);
    void SetFrameInterval(std::uint32_t ms);
    void SetFrameFault(PrsimFrameFault fault);
    std::size_t GetLastCapture(void* buffer, std::size_t size);
    int GetCameraState(std::uint32_t index, PrsimCameraState* state);
    std::int64_t GetPropertyValue(std::uint32_t index, std::uint16_t code);
    std::uint32_t ThreadCount();

private:
    using Lock = std::unique_lock<std::mutex>;
    enum class Need { Object, Connection, ReleaseControl };
    struct Fault {
        PrError code = 0;
        bool always = false;
    };

    Simulator();
    PrError InjectedFault(Lock& lock, const char* functionName);
    PrError Lookup(Lock& lock, PrCameraHandle handle, Need need,
                   std::shared_ptr<CameraObject>* out);
    PrError Enter(Lock& lock, const char* functionName, PrCameraHandle handle, Need need,
                  std::shared_ptr<CameraObject>* out);
    SimCamera* CameraAt(std::uint32_t index);
    std::uint64_t QueueEvent(CameraObject& object, std::uint16_t code, std::uint32_t parameter);
    void StopWorker(Lock& lock, Worker& worker, std::condition_variable& wake);
    void StopEvents(Lock& lock, CameraObject& object);
    void StopObject(Lock& lock, CameraObject& object);
    void EndAllObjects(Lock& lock);
    void JoinOrphans(Lock& lock);
    void StartWorker(Worker& worker,
                     void (Simulator::*loop)(std::shared_ptr<CameraObject>, std::shared_ptr<bool>),
                     std::shared_ptr<CameraObject> object);
    void RunWorker(void (Simulator::*loop)(std::shared_ptr<CameraObject>, std::shared_ptr<bool>),
                   std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop);
    void EventLoop(std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop);
    void FrameLoop(std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop);
    void TransferBlocks(const std::shared_ptr<CameraObject>& object, PrObjectHandle objectHandle,
                        const Bytes& data, std::uint32_t transferSize, PrContext context,
                        PrReleasedDataFunction function, std::uint32_t delayMs, PrError* status);

    std::mutex mutex_;
    std::condition_variable eventsDelivered_;
    bool started_ = false;
    std::uint32_t scenarioGeneration_ = 0;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
    std::map<PrCameraHandle, std::shared_ptr<CameraObject>> objects_;
    PrCameraHandle nextHandle_ = 0x100;
    PrObjectHandle nextObject_ = 0x10000;
    std::uint32_t nextTransaction_ = 1;
    std::map<std::string, Fault> faults_;
    std::uint32_t transferDelayMs_ = 0;
    std::uint32_t frameIntervalMs_ = 66;
    PrsimFrameFault frameFault_ = PRSIM_FRAMES_GOOD;
    std::shared_ptr<const Bytes> lastCapture_;
    std::vector<std::thread> orphans_; // threads that stopped themselves from a callback
    std::string lastError_;
};

} // namespace prsim
