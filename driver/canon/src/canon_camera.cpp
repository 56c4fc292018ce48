#include "canon_camera.h"

#include "device_list.h"
#include "lensport/callback_gate.h"
#include "lensport/log.h"
#include "lensport/messages.h"
#include "lensport/value_list.h"
#include "platform/dialogs.h"
#include "platform/profile.h"
#include "platform/usb.h"
#include "property_description.h"

#include <cstring>
#include <memory>
#include <string_view>

namespace canon {
namespace {

using lensport::DriverMessage;

// PR_RC_DoAeAfAwb: exposure, focus and white balance together.
constexpr std::uint32_t kAeAfAwbAll = PR_AEAFAWB_AE | PR_AEAFAWB_AF | PR_AEAFAWB_AWB;
// Longest model text in the "Camera" list.
constexpr std::size_t kCameraListModelChars = 38;

struct EventFields {
    std::uint16_t code;
    std::uint32_t parameter;
};

EventFields ReadEvent(const void* record) {
    EventFields fields{};
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    std::memcpy(&fields.code, bytes + 6, sizeof fields.code);
    std::memcpy(&fields.parameter, bytes + 12, sizeof fields.parameter);
    return fields;
}

// Viewfinder output codes of "PreviewType" 0, 1, 2; anything else asks for 0.
std::uint8_t PreviewTypeCode(std::intptr_t value) {
    switch (value) {
    case 0:
        return 3;
    case 1:
        return 1;
    case 2:
        return 2;
    default:
        return 0;
    }
}

} // namespace

CanonCamera::CanonCamera(int loadCamera, const char* iniPath)
    : CameraModuleBase(loadCamera, iniPath) {
    Build();
}

void CanonCamera::Build() {
    if (!lensport::LoadFaceDetectionLibraries(IniPath())) return;
    if (!lensport::RegisterDriverMessages()) {
        MessageBoxA(nullptr, "API Error", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    releaseFlags_ = 0;
    fullImage_ = 0;
    PrError failure = PR_OK;
    if (!StartSdk(&failure) || !OpenCamera(&failure)) {
        FailBuilding(failure);
        return;
    }
    Settings().angleCode = parameters_.ReadAngle(camera_.load(), 0);
}

// A first start that fails is retried once after finishing the SDK. A restart that
// works is a started SDK like any other, so the camera is opened after it too.
bool CanonCamera::StartSdk(PrError* failure) {
    if (PR_StartSDK() == PR_OK) return true;
    PrError error = PR_FinishSDK();
    if (error == PR_OK) error = PR_StartSDK();
    *failure = error;
    return error == PR_OK;
}

bool CanonCamera::OpenCamera(PrError* failure) {
    DeviceList devices;
    *failure = devices.Read(kOpenListSize, false);
    if (*failure != PR_OK) return false;
    if (devices.Count() == 0) return false;
    const int wanted = LoadCameraIndex();
    const std::uint32_t position =
        wanted >= 0 && static_cast<std::uint32_t>(wanted) < devices.Count()
            ? static_cast<std::uint32_t>(wanted)
            : 0;
    PrCameraHandle handle = 0;
    *failure = PR_CreateCameraObject(devices.Entry(position), &handle);
    camera_ = handle;
    if (*failure != PR_OK) return false;
    *failure = PR_ConnectCamera(handle);
    if (*failure != PR_OK) return false;
    *failure = PR_InitiateReleaseControl(handle);
    if (*failure != PR_OK) return false;
    lensport::SdkCallbackGate().Open(this);
    *failure = PR_SetEventCallBack(handle, this, &CanonCamera::OnEvent);
    return *failure == PR_OK;
}

void CanonCamera::FailBuilding(PrError code) {
    lensport::LogErrorCode(1, code, true);
}

CanonCamera::~CanonCamera() {
    StopPreview();
    SetRunning(false);
    Teardown();
    lensport::SdkCallbackGate().Close(this);
    StopWorkers();
    detectorImages_.Release();
}

// Closes the session in order; the first refusal is logged and ends the teardown.
void CanonCamera::Teardown() {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return;
    using Step = PrError (*)(PrCameraHandle);
    static constexpr Step kSteps[] = {PR_TerminateReleaseControl, PR_DisconnectCamera,
                                      PR_DestroyCameraObject};
    for (Step step : kSteps) {
        const PrError error = step(handle);
        if (error != PR_OK) {
            lensport::LogErrorCode(3, error);
            return;
        }
    }
    const PrError error = PR_FinishSDK();
    if (error != PR_OK) lensport::LogErrorCode(3, error);
}

void CanonCamera::StopWorkers() {
    monitorWake_.Set();
    monitor_.Join();
    preview_.Stop();
    releaseThread_.Join();
}

bool CanonCamera::AttachWindow(HWND window) {
    if (windowAttached_) {
        Close();
        StopWorkers();
    }
    SetModuleWindow(window);
    windowAttached_ = true;
    detectorImages_.Create();
    SetRunning(true);
    preview_.Start();
    monitor_.Start([this] { MonitorUsb(); });
    return true;
}

bool CanonCamera::Close() {
    StopPreview();
    SetRunning(false);
    monitorWake_.Set();
    return true;
}

bool CanonCamera::StartPreview() {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return false;
    return PR_RC_StartViewFinder(handle, this, &CanonCamera::OnFrame) == PR_OK;
}

bool CanonCamera::StopPreview() {
    const PrCameraHandle handle = camera_.load();
    if (!windowAttached_ || handle == 0) return false;
    return PR_RC_TermViewFinder(handle) == PR_OK;
}

bool CanonCamera::Update() {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return false;
    const PrError error = PR_RC_DoAeAfAwb(handle, kAeAfAwbAll);
    if (error != PR_OK) lensport::LogErrorCode(9, error);
    return error == PR_OK;
}

bool CanonCamera::Probe() const {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return false;
    auto description = std::make_unique<PropertyDescription>();
    return description->Read(handle, PR_PROP_ZOOM_POS) == PR_OK;
}

// Watches the number of USB still-image devices; when it changes and the camera no
// longer answers, the host's top-level window is told once and the monitor ends.
void CanonCamera::MonitorUsb() {
    DWORD remembered = platform::UsbStillImageCount();
    while (Running()) {
        const DWORD count = platform::UsbStillImageCount();
        if (count != remembered) {
            if (!Probe()) {
                lensport::PostDriverMessage(lensport::TopLevelAncestor(HostParent()),
                                            DriverMessage::GoingToShutdown, 1, 0);
                return;
            }
            remembered = count;
        }
        monitorWake_.Wait(static_cast<DWORD>(MonitoringInterval()));
    }
}

PrError CanonCamera::OnEvent(PrCameraHandle, PrContext context, void* record) {
    if (record == nullptr) return PR_OK;
    lensport::SdkCallbackGate().Enter(
        context, [&] { static_cast<CanonCamera*>(context)->HandleEvent(record); });
    return PR_OK;
}

PrError CanonCamera::OnFrame(PrCameraHandle, PrContext context, std::uint32_t size, void* data) {
    lensport::SdkCallbackGate().Enter(
        context, [&] { static_cast<CanonCamera*>(context)->preview_.DeliverFrame(data, size); });
    return PR_OK;
}

void CanonCamera::HandleEvent(const void* record) {
    const EventFields event = ReadEvent(record);
    lensport::PreviewSettings& s = Settings();
    switch (event.code) {
    case PR_EVENT_DEVICE_PROP_CHANGED:
    case PR_EVENT_SETTINGS_CHANGED:
        lensport::PostDriverMessage(s.configHandle, DriverMessage::ChangedByUi, 0, 0);
        break;
    case PR_EVENT_FULL_IMAGE_READY:
        releaseFlags_ |= 1;
        fullImage_ = event.parameter;
        break;
    case PR_EVENT_THUMBNAIL_READY:
        releaseFlags_ |= 2;
        thumbnail_ = event.parameter;
        break;
    case PR_EVENT_SHUTTER_BUTTON:
        lensport::PostDriverMessage(s.buttonsHandle, DriverMessage::ReleaseButtonPressed, 0, 0);
        break;
    case PR_EVENT_ANGLE_CHANGED:
        s.CameraTurned(static_cast<int>(event.parameter));
        lensport::PostDriverMessage(s.buttonsHandle, DriverMessage::AngleChanged, event.parameter,
                                    0);
        break;
    default:
        break;
    }
}

std::uint8_t CanonCamera::SetApplicationParameter(const char* name, std::intptr_t value) {
    // Without an open camera nothing is stored, also for later.
    if (camera_.load() == 0 || name == nullptr) return 0;
    if (std::string_view(name) == "PreviewType") return ApplyPreviewType(value);
    return Settings().Apply(name, value);
}

std::uint8_t CanonCamera::ApplyPreviewType(std::intptr_t value) {
    const std::uint8_t code = PreviewTypeCode(value);
    const PrError error = PR_SetDevicePropValue(camera_.load(), PR_PROP_PREVIEW_TYPE, 1, &code);
    if (error != PR_OK) {
        lensport::LogErrorCode(6, error);
        return 0;
    }
    return 1;
}

std::int32_t CanonCamera::GetParameter(const char* name, std::int32_t defaultValue) {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return 0;
    if (name == nullptr) return defaultValue;
    return parameters_.Get(handle, name, defaultValue);
}

bool CanonCamera::SetParameter(const char* name, std::intptr_t value) {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0 || name == nullptr) return false;
    return parameters_.Set(handle, name, value);
}

bool CanonCamera::SetParameterDirect(const char* name, const char* text) {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0 || name == nullptr) return false;
    return parameters_.SetDirect(handle, name, text);
}

std::int32_t CanonCamera::EnumParameterValues(const char* name, const char* listFile,
                                              const char* section) {
    const PrCameraHandle handle = camera_.load();
    if (handle == 0) return -1;
    if (name == nullptr || listFile == nullptr || section == nullptr) return 0;
    if (std::string_view(name) == "Camera") return EnumerateCameras(listFile, section);
    return parameters_.Enumerate(handle, name, listFile, section);
}

// The connected cameras as a value list; list names have blanks and commas replaced.
std::int32_t CanonCamera::EnumerateCameras(const char* listFile, const char* section) {
    DeviceList devices;
    const PrError error = devices.Read(kListRoomForTen, true);
    if (error != PR_OK) {
        lensport::WriteListFailure(listFile, section, "Camera", error);
        return 0;
    }
    if (devices.Count() == 0) return 0;
    lensport::ValueListWriter list(listFile, section);
    for (std::uint32_t i = 0; i < devices.Count(); ++i) {
        const std::string model = devices.Model(i, kCameraListModelChars);
        const std::string listName = lensport::CameraListName(model);
        list.AddItem(listName, model);
        if (static_cast<int>(i) == LoadCameraIndex()) {
            WritePrivateProfileStringA("ActiveCamera", "LoadCameraName", listName.c_str(),
                                       listFile);
        }
    }
    list.WriteCommaText();
    return list.Count();
}

} // namespace canon
