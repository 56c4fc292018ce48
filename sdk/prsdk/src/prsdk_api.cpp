// Vendor entry points of the library.
#include "prsdk/prsdk.h"
#include "simulator.h"

#define PRSDK_EXPORT extern "C" __attribute__((visibility("default")))

using prsim::Simulator;

namespace {

// No exception may reach the C caller; running out of memory or threads is an error code.
template <typename Call> PrError Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return PR_ERR_INTERNAL;
    }
}

} // namespace

PRSDK_EXPORT PrError PR_StartSDK(void) {
    return Guarded([&] { return Simulator::Instance().StartSdk(); });
}

PRSDK_EXPORT PrError PR_FinishSDK(void) {
    return Guarded([&] { return Simulator::Instance().FinishSdk(); });
}

PRSDK_EXPORT PrError PR_GetDeviceList(uint32_t* bufferSize, void* buffer) {
    return Guarded([&] { return Simulator::Instance().GetDeviceList(bufferSize, buffer); });
}

PRSDK_EXPORT PrError PR_CreateCameraObject(const void* deviceEntry, PrCameraHandle* camera) {
    return Guarded([&] { return Simulator::Instance().CreateCameraObject(deviceEntry, camera); });
}

PRSDK_EXPORT PrError PR_ConnectCamera(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().ConnectCamera(camera); });
}

PRSDK_EXPORT PrError PR_InitiateReleaseControl(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().InitiateReleaseControl(camera); });
}

PRSDK_EXPORT PrError PR_SetEventCallBack(PrCameraHandle camera, PrContext context,
                                         PrEventFunction function) {
    return Guarded(
        [&] { return Simulator::Instance().SetEventCallBack(camera, context, function); });
}

PRSDK_EXPORT PrError PR_TerminateReleaseControl(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().TerminateReleaseControl(camera); });
}

PRSDK_EXPORT PrError PR_DisconnectCamera(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().DisconnectCamera(camera); });
}

PRSDK_EXPORT PrError PR_DestroyCameraObject(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().DestroyCameraObject(camera); });
}

PRSDK_EXPORT PrError PR_RC_StartViewFinder(PrCameraHandle camera, PrContext context,
                                           PrViewFinderFunction function) {
    return Guarded(
        [&] { return Simulator::Instance().StartViewFinder(camera, context, function); });
}

PRSDK_EXPORT PrError PR_RC_TermViewFinder(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().TermViewFinder(camera); });
}

PRSDK_EXPORT PrError PR_RC_DoAeAfAwb(PrCameraHandle camera, uint32_t what) {
    return Guarded([&] { return Simulator::Instance().DoAeAfAwb(camera, what); });
}

PRSDK_EXPORT PrError PR_RC_Release(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().Release(camera); });
}

PRSDK_EXPORT PrError PR_RC_GetReleasedData(PrCameraHandle camera, PrObjectHandle object,
                                           uint16_t eventCode, uint32_t transferSize,
                                           PrContext context, PrReleasedDataFunction function) {
    return Guarded([&] {
        return Simulator::Instance().GetReleasedData(camera, object, eventCode, transferSize,
                                                     context, function);
    });
}

PRSDK_EXPORT PrError PR_RC_FocusLock(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().SetFocusLock(camera, true); });
}

PRSDK_EXPORT PrError PR_RC_FocusUnlock(PrCameraHandle camera) {
    return Guarded([&] { return Simulator::Instance().SetFocusLock(camera, false); });
}

PRSDK_EXPORT PrError PR_GetDevicePropDesc(PrCameraHandle camera, uint16_t propertyCode,
                                          uint32_t* bufferSize, void* buffer) {
    return Guarded([&] {
        return Simulator::Instance().GetDevicePropDesc(camera, propertyCode, bufferSize, buffer);
    });
}

PRSDK_EXPORT PrError PR_SetDevicePropValue(PrCameraHandle camera, uint16_t propertyCode,
                                           uint32_t size, const void* value) {
    return Guarded([&] {
        return Simulator::Instance().SetDevicePropValue(camera, propertyCode, size, value);
    });
}
