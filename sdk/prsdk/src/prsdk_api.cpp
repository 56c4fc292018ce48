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

// Runs one simulator call for a C entry point.
template <typename... Params, typename... Args>
PrError Forward(PrError (Simulator::*method)(Params...), Args... args) noexcept {
    return Guarded([&] { return (Simulator::Instance().*method)(args...); });
}

} // namespace

PRSDK_EXPORT PrError PR_StartSDK(void) {
    return Forward(&Simulator::StartSdk);
}

PRSDK_EXPORT PrError PR_FinishSDK(void) {
    return Forward(&Simulator::FinishSdk);
}

PRSDK_EXPORT PrError PR_GetDeviceList(uint32_t* bufferSize, void* buffer) {
    return Forward(&Simulator::GetDeviceList, bufferSize, buffer);
}

PRSDK_EXPORT PrError PR_CreateCameraObject(const void* deviceEntry, PrCameraHandle* camera) {
    return Forward(&Simulator::CreateCameraObject, deviceEntry, camera);
}

PRSDK_EXPORT PrError PR_ConnectCamera(PrCameraHandle camera) {
    return Forward(&Simulator::ConnectCamera, camera);
}

PRSDK_EXPORT PrError PR_InitiateReleaseControl(PrCameraHandle camera) {
    return Forward(&Simulator::InitiateReleaseControl, camera);
}

PRSDK_EXPORT PrError PR_SetEventCallBack(PrCameraHandle camera, PrContext context,
                                         PrEventFunction function) {
    return Forward(&Simulator::SetEventCallBack, camera, context, function);
}

PRSDK_EXPORT PrError PR_TerminateReleaseControl(PrCameraHandle camera) {
    return Forward(&Simulator::TerminateReleaseControl, camera);
}

PRSDK_EXPORT PrError PR_DisconnectCamera(PrCameraHandle camera) {
    return Forward(&Simulator::DisconnectCamera, camera);
}

PRSDK_EXPORT PrError PR_DestroyCameraObject(PrCameraHandle camera) {
    return Forward(&Simulator::DestroyCameraObject, camera);
}

PRSDK_EXPORT PrError PR_RC_StartViewFinder(PrCameraHandle camera, PrContext context,
                                           PrViewFinderFunction function) {
    return Forward(&Simulator::StartViewFinder, camera, context, function);
}

PRSDK_EXPORT PrError PR_RC_TermViewFinder(PrCameraHandle camera) {
    return Forward(&Simulator::TermViewFinder, camera);
}

PRSDK_EXPORT PrError PR_RC_DoAeAfAwb(PrCameraHandle camera, uint32_t what) {
    return Forward(&Simulator::DoAeAfAwb, camera, what);
}

PRSDK_EXPORT PrError PR_RC_Release(PrCameraHandle camera) {
    return Forward(&Simulator::Release, camera);
}

PRSDK_EXPORT PrError PR_RC_GetReleasedData(PrCameraHandle camera, PrObjectHandle object,
                                           uint16_t eventCode, uint32_t transferSize,
                                           PrContext context, PrReleasedDataFunction function) {
    return Forward(&Simulator::GetReleasedData, camera, object, eventCode, transferSize, context,
                   function);
}

PRSDK_EXPORT PrError PR_RC_FocusLock(PrCameraHandle camera) {
    return Forward(&Simulator::SetFocusLock, camera, true);
}

PRSDK_EXPORT PrError PR_RC_FocusUnlock(PrCameraHandle camera) {
    return Forward(&Simulator::SetFocusLock, camera, false);
}

PRSDK_EXPORT PrError PR_GetDevicePropDesc(PrCameraHandle camera, uint16_t propertyCode,
                                          uint32_t* bufferSize, void* buffer) {
    return Forward(&Simulator::GetDevicePropDesc, camera, propertyCode, bufferSize, buffer);
}

PRSDK_EXPORT PrError PR_SetDevicePropValue(PrCameraHandle camera, uint16_t propertyCode,
                                           uint32_t size, const void* value) {
    return Forward(&Simulator::SetDevicePropValue, camera, propertyCode, size, value);
}
