// Vendor entry points of the library (first cut: the cameras follow).
#include "prsdk/prsdk.h"

#define PRSDK_EXPORT extern "C" __attribute__((visibility("default")))

PRSDK_EXPORT PrError PR_StartSDK(void) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_FinishSDK(void) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_GetDeviceList(uint32_t*, void*) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_CreateCameraObject(const void*, PrCameraHandle*) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_ConnectCamera(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_InitiateReleaseControl(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_SetEventCallBack(PrCameraHandle, PrContext, PrEventFunction) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_TerminateReleaseControl(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_DisconnectCamera(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_DestroyCameraObject(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_StartViewFinder(PrCameraHandle, PrContext, PrViewFinderFunction) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_TermViewFinder(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_DoAeAfAwb(PrCameraHandle, uint32_t) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_Release(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_GetReleasedData(PrCameraHandle, PrObjectHandle, uint16_t, uint32_t,
                                           PrContext, PrReleasedDataFunction) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_FocusLock(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_RC_FocusUnlock(PrCameraHandle) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_GetDevicePropDesc(PrCameraHandle, uint16_t, uint32_t*, void*) {
    return PR_ERR_NOT_INITIALIZED;
}
PRSDK_EXPORT PrError PR_SetDevicePropValue(PrCameraHandle, uint16_t, uint32_t, const void*) {
    return PR_ERR_NOT_INITIALIZED;
}
