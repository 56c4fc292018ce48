#include "simulator.h"

#include "platform/usb.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace prsim {
namespace {

constexpr std::size_t kMaxReleasedObjects = 32;
constexpr std::uint32_t kMaxTransferDelayMs = 10000;
constexpr std::uint16_t kEventContainer = 4;

std::u16string DevicePath(std::uint32_t generation, std::size_t index) {
    const std::string text =
        "prsim:" + std::to_string(generation) + ":camera" + std::to_string(index);
    return std::u16string(text.begin(), text.end());
}

int PluggedCount(const std::vector<std::shared_ptr<SimCamera>>& cameras) {
    return static_cast<int>(
        std::count_if(cameras.begin(), cameras.end(), [](const auto& c) { return c->plugged; }));
}

// Builds the cameras of a scenario (scene pictures decoded); empty error on success.
std::string BuildCameras(const Scenario& scenario, std::uint32_t generation,
                         std::vector<std::shared_ptr<SimCamera>>* out) {
    for (std::size_t i = 0; i < scenario.cameras.size(); ++i) {
        auto camera = std::make_shared<SimCamera>();
        camera->spec = scenario.cameras[i];
        camera->plugged = camera->spec.plugged;
        camera->devicePath = DevicePath(generation, i);
        std::string error;
        camera->scene = LoadScene(camera->spec.scenePath, &error);
        if (!camera->scene) return "camera " + std::to_string(i + 1) + ": " + error;
        out->push_back(std::move(camera));
    }
    return {};
}

ParseResult ScenarioFromEnvironment() {
    const char* path = std::getenv(PRSIM_SCENARIO_ENV);
    if (path == nullptr || *path == '\0') {
        ParseResult builtIn;
        builtIn.ok = true;
        builtIn.scenario = BuiltInScenario();
        return builtIn;
    }
    return LoadScenarioFile(path);
}

std::uint32_t ReadLittleEndian(const void* value, std::uint32_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < size; ++i)
        v |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return v;
}

std::uint32_t Percent(std::uint64_t done, std::uint64_t total) {
    return total == 0 ? 100u : static_cast<std::uint32_t>(done * 100 / total);
}

} // namespace

Simulator& Simulator::Instance() {
    static Simulator instance;
    return instance;
}

Simulator::Simulator() {
    const ParseResult parsed = ScenarioFromEnvironment();
    if (LoadScenario(parsed) != 0)
        std::fprintf(stderr, "PRSDK: %s; no camera connected\n", lastError_.c_str());
}

Simulator::~Simulator() {
    Lock lock(mutex_);
    EndAllObjects(lock);
    JoinOrphans(lock);
    const int plugged = PluggedCount(cameras_);
    cameras_.clear();
    lock.unlock();
    if (plugged != 0) platform::UsbSimulatedAttach(-plugged);
}

// ---- Helpers (called with the lock held) -------------------------------------------------

PrError Simulator::InjectedFault(Lock&, const char* functionName) {
    const auto found = faults_.find(functionName);
    if (found == faults_.end()) return PR_OK;
    const PrError code = found->second.code;
    if (!found->second.always) faults_.erase(found);
    return code;
}

PrError Simulator::Lookup(Lock&, PrCameraHandle handle, Need need,
                          std::shared_ptr<CameraObject>* out) {
    if (!started_) return PR_ERR_NOT_INITIALIZED;
    const auto found = objects_.find(handle);
    if (found == objects_.end()) return PR_ERR_INVALID_HANDLE;
    CameraObject& object = *found->second;
    if (need != Need::Object) {
        if (object.lost || !object.camera->plugged) return PR_ERR_DEVICE_DISCONNECTED;
        if (!object.connected) return PR_ERR_NOT_CONNECTED;
        if (need == Need::ReleaseControl && !object.releaseControl)
            return PR_ERR_NOT_IN_RELEASE_CONTROL;
    }
    *out = found->second;
    return PR_OK;
}

// The start of every call on a camera object: a fault injected for the call, then the
// object in the state the call needs.
PrError Simulator::Enter(Lock& lock, const char* functionName, PrCameraHandle handle, Need need,
                         std::shared_ptr<CameraObject>* out) {
    if (const PrError fault = InjectedFault(lock, functionName)) return fault;
    return Lookup(lock, handle, need, out);
}

SimCamera* Simulator::CameraAt(std::uint32_t index) {
    return index < cameras_.size() ? cameras_[index].get() : nullptr;
}

std::uint64_t Simulator::QueueEvent(CameraObject& object, std::uint16_t code,
                                    std::uint32_t parameter) {
    if (!object.eventWorker.running() || *object.eventWorker.stop || object.lost)
        return object.eventsQueued;
    PrEventRecord record{};
    record.containerLength = sizeof(PrEventRecord);
    record.containerType = kEventContainer;
    record.eventCode = code;
    record.transactionId = nextTransaction_++;
    record.params[0] = parameter;
    object.events.push_back(record);
    object.eventWake.notify_all();
    return ++object.eventsQueued;
}

// Stops a worker and waits for it with the lock released. A worker stopping itself
// (from inside its own callback) cannot wait for itself; it ends when the callback
// returns and is joined later.
void Simulator::StopWorker(Lock& lock, Worker& worker, std::condition_variable& wake) {
    if (!worker.running()) return;
    *worker.stop = true;
    wake.notify_all();
    std::thread thread = std::move(worker.thread);
    worker.stop.reset();
    if (thread.get_id() == std::this_thread::get_id()) {
        orphans_.push_back(std::move(thread));
        return;
    }
    lock.unlock();
    thread.join();
    lock.lock();
}

// Undelivered events are dropped, which also frees a release waiting for them.
void Simulator::StopEvents(Lock& lock, CameraObject& object) {
    StopWorker(lock, object.eventWorker, object.eventWake);
    object.events.clear();
    object.eventsDelivered = object.eventsQueued;
    eventsDelivered_.notify_all();
}

void Simulator::StopObject(Lock& lock, CameraObject& object) {
    StopWorker(lock, object.frameWorker, object.frameWake);
    StopEvents(lock, object);
}

void Simulator::EndAllObjects(Lock& lock) {
    while (!objects_.empty()) {
        const std::shared_ptr<CameraObject> object = objects_.begin()->second;
        objects_.erase(objects_.begin());
        StopObject(lock, *object);
    }
}

void Simulator::JoinOrphans(Lock& lock) {
    std::vector<std::thread> threads;
    std::vector<std::thread> self;
    for (std::thread& t : orphans_)
        (t.get_id() == std::this_thread::get_id() ? self : threads).push_back(std::move(t));
    orphans_ = std::move(self);
    lock.unlock();
    for (std::thread& t : threads)
        t.join();
    lock.lock();
}

// ---- Threads ------------------------------------------------------------------------------

void Simulator::StartWorker(Worker& worker,
                            void (Simulator::*loop)(std::shared_ptr<CameraObject>,
                                                    std::shared_ptr<bool>),
                            std::shared_ptr<CameraObject> object) {
    auto stop = std::make_shared<bool>(false);
    worker.stop = stop;
    worker.thread = std::thread(&Simulator::RunWorker, this, loop, std::move(object), stop);
}

// A worker that cannot go on (no memory for a frame) ends instead of ending the process.
void Simulator::RunWorker(void (Simulator::*loop)(std::shared_ptr<CameraObject>,
                                                  std::shared_ptr<bool>),
                          std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop) {
    try {
        (this->*loop)(object, stop);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "PRSDK: camera thread ended: %s\n", e.what());
        Lock lock(mutex_);
        *stop = true; // queues nothing more; frees a release waiting for its events
        eventsDelivered_.notify_all();
    }
}

void Simulator::EventLoop(std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop) {
    Lock lock(mutex_);
    while (true) {
        object->eventWake.wait(lock, [&] { return *stop || !object->events.empty(); });
        if (*stop) break;
        PrEventRecord record = object->events.front();
        object->events.pop_front();
        const PrEventFunction function = object->eventFunction;
        const PrContext context = object->eventContext;
        lock.unlock();
        if (function != nullptr) function(object->handle, context, &record);
        lock.lock();
        ++object->eventsDelivered;
        eventsDelivered_.notify_all();
    }
}

void Simulator::FrameLoop(std::shared_ptr<CameraObject> object, std::shared_ptr<bool> stop) {
    using Clock = std::chrono::steady_clock;
    Lock lock(mutex_);
    auto deadline = Clock::now();
    std::uint32_t frameNumber = 0;
    while (!*stop) {
        const std::shared_ptr<const RgbImage> scene = object->camera->scene;
        const PrsimFrameFault fault = frameFault_;
        const auto& properties = object->camera->spec.properties;
        const auto angleProperty = properties.find(PR_PROP_ANGLE);
        const std::uint32_t angleCode =
            angleProperty == properties.end() ? 0u : angleProperty->second.current;
        lock.unlock();
        Bytes frame = fault == PRSIM_FRAMES_GOOD ? MakeFrame(*scene, angleCode, frameNumber)
                                                 : MakeBrokenFrame(fault, *scene, frameNumber);
        ++frameNumber;
        std::uint8_t empty = 0;
        lock.lock();
        if (*stop) break;
        const PrViewFinderFunction function = object->frameFunction;
        const PrContext context = object->frameContext;
        lock.unlock();
        function(object->handle, context, static_cast<std::uint32_t>(frame.size()),
                 frame.empty() ? &empty : frame.data());
        lock.lock();
        ++object->camera->framesDelivered;
        deadline += std::chrono::milliseconds(frameIntervalMs_);
        const auto now = Clock::now();
        if (deadline < now) deadline = now; // a slow receiver gets no burst of late frames
        object->frameWake.wait_until(lock, deadline, [&] { return *stop; });
    }
}

// ---- Vendor functions ---------------------------------------------------------------------

PrError Simulator::StartSdk() {
    Lock lock(mutex_);
    if (const PrError fault = InjectedFault(lock, "PR_StartSDK")) return fault;
    started_ = true;
    return PR_OK;
}

PrError Simulator::FinishSdk() {
    Lock lock(mutex_);
    if (const PrError fault = InjectedFault(lock, "PR_FinishSDK")) return fault;
    if (!started_) return PR_ERR_NOT_INITIALIZED;
    started_ = false;
    EndAllObjects(lock);
    JoinOrphans(lock);
    return PR_OK;
}

PrError Simulator::GetDeviceList(std::uint32_t* bufferSize, void* buffer) {
    Lock lock(mutex_);
    if (const PrError fault = InjectedFault(lock, "PR_GetDeviceList")) return fault;
    if (!started_) return PR_ERR_NOT_INITIALIZED;
    if (bufferSize == nullptr) return PR_ERR_INVALID_PARAMETER;
    std::vector<const SimCamera*> plugged;
    for (const auto& camera : cameras_)
        if (camera->plugged) plugged.push_back(camera.get());
    const std::uint32_t needed = PR_DEVICE_LIST_SIZE(plugged.size());
    if (buffer == nullptr || *bufferSize < needed) {
        *bufferSize = needed;
        return PR_ERR_BUFFER_TOO_SMALL;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    const auto count = static_cast<std::uint32_t>(plugged.size());
    std::memcpy(out, &count, sizeof count);
    for (std::size_t i = 0; i < plugged.size(); ++i) {
        PrDeviceEntry entry{};
        std::copy_n(plugged[i]->devicePath.begin(),
                    std::min<std::size_t>(plugged[i]->devicePath.size(), PR_DEVICE_PATH_CHARS - 1),
                    entry.devicePath);
        std::copy_n(plugged[i]->spec.model.begin(),
                    std::min<std::size_t>(plugged[i]->spec.model.size(), PR_DEVICE_MODEL_CHARS - 1),
                    entry.modelName);
        std::memcpy(out + 4 + PR_DEVICE_ENTRY_SIZE * i, &entry, sizeof entry);
    }
    *bufferSize = needed;
    return PR_OK;
}

PrError Simulator::CreateCameraObject(const void* entry, PrCameraHandle* handle) {
    Lock lock(mutex_);
    if (const PrError fault = InjectedFault(lock, "PR_CreateCameraObject")) return fault;
    if (!started_) return PR_ERR_NOT_INITIALIZED;
    if (entry == nullptr || handle == nullptr) return PR_ERR_INVALID_PARAMETER;
    PrDeviceEntry device;
    std::memcpy(&device, entry, sizeof device);
    const auto* end = std::find(device.devicePath, device.devicePath + PR_DEVICE_PATH_CHARS, 0);
    if (end == device.devicePath + PR_DEVICE_PATH_CHARS) return PR_ERR_DEVICE_NOT_FOUND;
    std::u16string path;
    for (const std::uint16_t* c = device.devicePath; c != end; ++c)
        path.push_back(static_cast<char16_t>(*c));
    const auto camera = std::find_if(cameras_.begin(), cameras_.end(),
                                     [&](const auto& c) { return c->devicePath == path; });
    if (camera == cameras_.end() || !(*camera)->plugged) return PR_ERR_DEVICE_NOT_FOUND;
    auto object = std::make_shared<CameraObject>();
    object->handle = nextHandle_++;
    object->camera = *camera;
    objects_[object->handle] = object;
    *handle = object->handle;
    return PR_OK;
}

PrError Simulator::ConnectCamera(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_ConnectCamera", handle, Need::Object, &object))
        return error;
    if (object->lost || !object->camera->plugged) return PR_ERR_DEVICE_DISCONNECTED;
    object->connected = true;
    return PR_OK;
}

PrError Simulator::InitiateReleaseControl(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_InitiateReleaseControl", handle, Need::Connection, &object))
        return error;
    object->releaseControl = true;
    return PR_OK;
}

PrError Simulator::SetEventCallBack(PrCameraHandle handle, PrContext context,
                                    PrEventFunction function) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_SetEventCallBack", handle, Need::Object, &object))
        return error;
    if (object->lost) return PR_ERR_DEVICE_DISCONNECTED;
    object->eventFunction = function;
    object->eventContext = context;
    if (function == nullptr) {
        StopEvents(lock, *object);
        return PR_OK;
    }
    if (!object->eventWorker.running()) {
        StartWorker(object->eventWorker, &Simulator::EventLoop, object);
        object->eventThreadId = object->eventWorker.thread.get_id();
    }
    return PR_OK;
}

PrError Simulator::TerminateReleaseControl(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_TerminateReleaseControl", handle, Need::ReleaseControl, &object))
        return error;
    StopWorker(lock, object->frameWorker, object->frameWake);
    object->releaseControl = false;
    return PR_OK;
}

PrError Simulator::DisconnectCamera(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_DisconnectCamera", handle, Need::Connection, &object))
        return error;
    StopWorker(lock, object->frameWorker, object->frameWake);
    object->releaseControl = false;
    object->connected = false;
    return PR_OK;
}

PrError Simulator::DestroyCameraObject(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_DestroyCameraObject", handle, Need::Object, &object))
        return error;
    objects_.erase(handle);
    StopObject(lock, *object);
    return PR_OK;
}

PrError Simulator::StartViewFinder(PrCameraHandle handle, PrContext context,
                                   PrViewFinderFunction function) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_RC_StartViewFinder", handle, Need::ReleaseControl, &object))
        return error;
    if (function == nullptr) return PR_ERR_INVALID_PARAMETER;
    if (object->frameWorker.running()) return PR_ERR_VIEWFINDER_RUNNING;
    object->frameFunction = function;
    object->frameContext = context;
    StartWorker(object->frameWorker, &Simulator::FrameLoop, object);
    return PR_OK;
}

PrError Simulator::TermViewFinder(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_RC_TermViewFinder", handle, Need::Object, &object))
        return error;
    StopWorker(lock, object->frameWorker, object->frameWake);
    return PR_OK;
}

PrError Simulator::DoAeAfAwb(PrCameraHandle handle, std::uint32_t what) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_RC_DoAeAfAwb", handle, Need::ReleaseControl, &object))
        return error;
    constexpr std::uint32_t kAll = PR_AEAFAWB_AE | PR_AEAFAWB_AF | PR_AEAFAWB_AWB;
    if (what == 0 || (what & ~kAll) != 0) return PR_ERR_INVALID_PARAMETER;
    ++object->camera->aeAfAwbCalls;
    return PR_OK;
}

PrError Simulator::Release(PrCameraHandle handle) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, "PR_RC_Release", handle, Need::ReleaseControl, &object))
        return error;
    const CameraSpec spec = object->camera->spec;
    lock.unlock();
    std::string why;
    const Capture capture = MakeCapture(spec.picturePath, spec.pictureWidth, spec.pictureHeight,
                                        spec.pictureBytes, &why);
    lock.lock();
    if (!capture.fullImage) {
        lastError_ = why;
        return PR_ERR_INTERNAL;
    }
    // The camera may have gone while the picture was made.
    if (const PrError error = Lookup(lock, handle, Need::ReleaseControl, &object)) return error;
    const PrObjectHandle full = nextObject_++;
    const PrObjectHandle thumbnail = nextObject_++;
    object->released[full] = {PR_EVENT_FULL_IMAGE_READY, capture.fullImage};
    object->released[thumbnail] = {PR_EVENT_THUMBNAIL_READY, capture.thumbnail};
    while (object->released.size() > kMaxReleasedObjects)
        object->released.erase(object->released.begin());
    lastCapture_ = capture.fullImage;
    ++object->camera->releases;
    QueueEvent(*object, PR_EVENT_FULL_IMAGE_READY, full);
    const std::uint64_t target = QueueEvent(*object, PR_EVENT_THUMBNAIL_READY, thumbnail);
    // Called from inside the event function the events can only follow this call.
    if (std::this_thread::get_id() != object->eventThreadId)
        eventsDelivered_.wait(lock, [&] {
            return object->eventsDelivered >= target || !object->eventWorker.running() ||
                   *object->eventWorker.stop;
        });
    return PR_OK;
}

void Simulator::TransferBlocks(const std::shared_ptr<CameraObject>& object,
                               PrObjectHandle objectHandle, const Bytes& data,
                               std::uint32_t transferSize, PrContext context,
                               PrReleasedDataFunction function, std::uint32_t delayMs,
                               PrError* status) {
    const auto total = static_cast<std::uint32_t>(data.size());
    for (std::uint32_t offset = 0; offset < total;) {
        const std::uint32_t length = std::min(transferSize, total - offset);
        if (delayMs != 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        {
            std::lock_guard guard(mutex_);
            if (object->lost || !object->camera->plugged) {
                *status = PR_ERR_DEVICE_DISCONNECTED;
                return;
            }
        }
        PrProgress progress{};
        progress.message = PR_PROGRESS_DATA;
        progress.percentComplete = Percent(std::uint64_t{offset} + length, total);
        progress.offset = offset;
        progress.length = length;
        progress.totalLength = total;
        progress.data = data.data() + offset;
        function(object->handle, objectHandle, context, &progress);
        offset += length;
    }
}

PrError Simulator::GetReleasedData(PrCameraHandle handle, PrObjectHandle objectHandle,
                                   std::uint16_t eventCode, std::uint32_t transferSize,
                                   PrContext context, PrReleasedDataFunction function) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_RC_GetReleasedData", handle, Need::Connection, &object))
        return error;
    if (function == nullptr || transferSize == 0) return PR_ERR_INVALID_PARAMETER;
    const auto found = object->released.find(objectHandle);
    if (found == object->released.end() || found->second.eventCode != eventCode)
        return PR_ERR_INVALID_OBJECT;
    const std::shared_ptr<const Bytes> data = found->second.data;
    const std::uint32_t delayMs = transferDelayMs_;
    lock.unlock();

    PrProgress start{};
    start.message = PR_PROGRESS_START;
    start.totalLength = static_cast<std::uint32_t>(data->size());
    function(handle, objectHandle, context, &start);
    PrError status = PR_OK;
    TransferBlocks(object, objectHandle, *data, transferSize, context, function, delayMs, &status);
    PrProgress end{};
    end.message = PR_PROGRESS_END;
    end.status = status;
    end.percentComplete = status == PR_OK ? 100u : 0u;
    end.totalLength = start.totalLength;
    function(handle, objectHandle, context, &end);
    return status;
}

PrError Simulator::SetFocusLock(PrCameraHandle handle, bool locked) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error = Enter(lock, locked ? "PR_RC_FocusLock" : "PR_RC_FocusUnlock", handle,
                                    Need::ReleaseControl, &object))
        return error;
    object->camera->focusLocked = locked;
    return PR_OK;
}

PrError Simulator::GetDevicePropDesc(PrCameraHandle handle, std::uint16_t code,
                                     std::uint32_t* bufferSize, void* buffer) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_GetDevicePropDesc", handle, Need::Connection, &object))
        return error;
    if (bufferSize == nullptr) return PR_ERR_INVALID_PARAMETER;
    const auto& properties = object->camera->spec.properties;
    const auto found = properties.find(code);
    if (found == properties.end()) return PR_ERR_PROPERTY_NOT_SUPPORTED;
    const Bytes description = DescribeProperty(found->second);
    const auto needed = static_cast<std::uint32_t>(description.size());
    if (buffer == nullptr || *bufferSize < needed) {
        *bufferSize = needed;
        return PR_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, description.data(), description.size());
    *bufferSize = needed;
    return PR_OK;
}

PrError Simulator::SetDevicePropValue(PrCameraHandle handle, std::uint16_t code, std::uint32_t size,
                                      const void* value) {
    Lock lock(mutex_);
    std::shared_ptr<CameraObject> object;
    if (const PrError error =
            Enter(lock, "PR_SetDevicePropValue", handle, Need::Connection, &object))
        return error;
    if (value == nullptr || size == 0 || size > 2) return PR_ERR_INVALID_PARAMETER;
    auto& properties = object->camera->spec.properties;
    const auto found = properties.find(code);
    if (found == properties.end()) return PR_ERR_PROPERTY_NOT_SUPPORTED;
    const std::uint32_t v = ReadLittleEndian(value, size);
    switch (CheckNewValue(found->second, size, v)) {
    case ValueCheck::ReadOnly:
        return PR_ERR_PROPERTY_READ_ONLY;
    case ValueCheck::WrongSize:
        return PR_ERR_INVALID_PARAMETER;
    case ValueCheck::NotOffered:
        return PR_ERR_INVALID_VALUE;
    case ValueCheck::Ok:
        break;
    }
    found->second.current = static_cast<std::uint16_t>(v);
    return PR_OK;
}

// ---- Control functions ----------------------------------------------------------------------

int Simulator::LoadScenario(const ParseResult& parsed) {
    std::vector<std::shared_ptr<SimCamera>> cameras;
    std::string error = parsed.ok ? std::string() : parsed.error;
    Lock lock(mutex_);
    const std::uint32_t generation = ++scenarioGeneration_;
    lock.unlock();
    if (error.empty()) error = BuildCameras(parsed.scenario, generation, &cameras);
    lock.lock();
    if (!error.empty()) {
        lastError_ = error;
        return -1;
    }
    EndAllObjects(lock);
    JoinOrphans(lock);
    started_ = false;
    faults_.clear();
    transferDelayMs_ = 0;
    frameFault_ = PRSIM_FRAMES_GOOD;
    frameIntervalMs_ = parsed.scenario.frameIntervalMs;
    lastCapture_.reset();
    const int delta = PluggedCount(cameras) - PluggedCount(cameras_);
    cameras_ = std::move(cameras);
    lastError_.clear();
    lock.unlock();
    if (delta != 0) platform::UsbSimulatedAttach(delta);
    return 0;
}

int Simulator::Reset() {
    return LoadScenario(ScenarioFromEnvironment());
}

const char* Simulator::LastError() {
    std::lock_guard guard(mutex_);
    return lastError_.c_str();
}

std::uint32_t Simulator::CameraCount() {
    std::lock_guard guard(mutex_);
    return static_cast<std::uint32_t>(cameras_.size());
}

int Simulator::Unplug(std::uint32_t index) {
    Lock lock(mutex_);
    SimCamera* camera = CameraAt(index);
    if (camera == nullptr) return -1;
    if (!camera->plugged) return 0;
    camera->plugged = false;
    camera->focusLocked = false;
    std::vector<std::shared_ptr<CameraObject>> affected;
    for (const auto& [handle, object] : objects_)
        if (object->camera.get() == camera) affected.push_back(object);
    for (const auto& object : affected) {
        object->lost = true;
        StopObject(lock, *object);
    }
    lock.unlock();
    platform::UsbSimulatedAttach(-1);
    return 0;
}

int Simulator::Replug(std::uint32_t index) {
    Lock lock(mutex_);
    SimCamera* camera = CameraAt(index);
    if (camera == nullptr) return -1;
    if (camera->plugged) return 0;
    camera->plugged = true;
    lock.unlock();
    platform::UsbSimulatedAttach(+1);
    return 0;
}

int Simulator::SendCameraEvent(std::uint32_t index, std::uint16_t code, std::uint32_t parameter) {
    std::lock_guard guard(mutex_);
    SimCamera* camera = CameraAt(index);
    if (camera == nullptr || !camera->plugged) return -1;
    for (const auto& [handle, object] : objects_)
        if (object->camera.get() == camera && object->connected)
            QueueEvent(*object, code, parameter);
    return 0;
}

int Simulator::TurnCamera(std::uint32_t index, std::uint32_t angleCode) {
    if (angleCode > 3) return -1;
    {
        std::lock_guard guard(mutex_);
        SimCamera* camera = CameraAt(index);
        if (camera == nullptr || !camera->plugged) return -1;
        const auto angle = camera->spec.properties.find(PR_PROP_ANGLE);
        if (angle != camera->spec.properties.end())
            angle->second.current = static_cast<std::uint16_t>(angleCode);
    }
    return SendCameraEvent(index, PR_EVENT_ANGLE_CHANGED, angleCode);
}

int Simulator::ChangeSetting(std::uint32_t index, std::uint16_t property, std::uint32_t value) {
    {
        std::lock_guard guard(mutex_);
        SimCamera* camera = CameraAt(index);
        if (camera == nullptr || !camera->plugged) return -1;
        const auto found = camera->spec.properties.find(property);
        if (found == camera->spec.properties.end() || value > ValueLimit(found->second.dataType))
            return -1;
        found->second.current = static_cast<std::uint16_t>(value);
    }
    return SendCameraEvent(index, PR_EVENT_DEVICE_PROP_CHANGED, property);
}

int Simulator::SetFault(const char* functionName, PrError code, bool always) {
    if (functionName == nullptr || std::strncmp(functionName, "PR_", 3) != 0) return -1;
    std::lock_guard guard(mutex_);
    if (code == PR_OK)
        faults_.erase(functionName);
    else
        faults_[functionName] = {code, always};
    return 0;
}

void Simulator::ClearFaults() {
    std::lock_guard guard(mutex_);
    faults_.clear();
}

void Simulator::SetTransferDelay(std::uint32_t ms) {
    std::lock_guard guard(mutex_);
    transferDelayMs_ = std::min(ms, kMaxTransferDelayMs);
}

void Simulator::SetFrameInterval(std::uint32_t ms) {
    std::lock_guard guard(mutex_);
    frameIntervalMs_ = std::clamp<std::uint32_t>(ms, 1, 10000);
}

void Simulator::SetFrameFault(PrsimFrameFault fault) {
    std::lock_guard guard(mutex_);
    frameFault_ = fault <= PRSIM_FRAMES_EMPTY ? fault : PRSIM_FRAMES_GOOD;
}

std::size_t Simulator::GetLastCapture(void* buffer, std::size_t size) {
    std::lock_guard guard(mutex_);
    if (!lastCapture_) return 0;
    if (buffer != nullptr)
        std::memcpy(buffer, lastCapture_->data(), std::min(size, lastCapture_->size()));
    return lastCapture_->size();
}

int Simulator::GetCameraState(std::uint32_t index, PrsimCameraState* state) {
    std::lock_guard guard(mutex_);
    const SimCamera* camera = CameraAt(index);
    if (camera == nullptr || state == nullptr) return -1;
    *state = {};
    state->plugged = camera->plugged;
    state->focusLocked = camera->focusLocked;
    for (const auto& [handle, object] : objects_) {
        if (object->camera.get() != camera) continue;
        state->connectedObjects += object->connected && !object->lost;
        state->viewFinderRunning += object->frameWorker.running();
    }
    const auto angle = camera->spec.properties.find(PR_PROP_ANGLE);
    state->angleCode = angle == camera->spec.properties.end() ? 0 : angle->second.current;
    state->releases = camera->releases;
    state->aeAfAwbCalls = camera->aeAfAwbCalls;
    state->framesDelivered = camera->framesDelivered;
    return 0;
}

std::int64_t Simulator::GetPropertyValue(std::uint32_t index, std::uint16_t code) {
    std::lock_guard guard(mutex_);
    const SimCamera* camera = CameraAt(index);
    if (camera == nullptr) return -1;
    const auto found = camera->spec.properties.find(code);
    return found == camera->spec.properties.end() ? -1 : found->second.current;
}

std::uint32_t Simulator::ThreadCount() {
    std::lock_guard guard(mutex_);
    std::uint32_t count = static_cast<std::uint32_t>(orphans_.size());
    for (const auto& [handle, object] : objects_)
        count += object->eventWorker.running() + object->frameWorker.running();
    return count;
}

} // namespace prsim
