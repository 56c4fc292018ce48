// Control entry points for tests and demos (prsdk_control.h).
#include "prsdk/prsdk_control.h"
#include "simulator.h"

#define PRSDK_EXPORT extern "C" __attribute__((visibility("default")))

using prsim::Simulator;

PRSDK_EXPORT int PRSIM_Reset(void) {
    return Simulator::Instance().Reset();
}

PRSDK_EXPORT int PRSIM_LoadScenario(const char* path) {
    if (path == nullptr) return -1;
    return Simulator::Instance().LoadScenario(prsim::LoadScenarioFile(path));
}

PRSDK_EXPORT int PRSIM_LoadScenarioText(const char* text) {
    if (text == nullptr) return -1;
    return Simulator::Instance().LoadScenario(prsim::ParseScenario(text, {}));
}

PRSDK_EXPORT const char* PRSIM_LastError(void) {
    return Simulator::Instance().LastError();
}

PRSDK_EXPORT uint32_t PRSIM_CameraCount(void) {
    return Simulator::Instance().CameraCount();
}

PRSDK_EXPORT int PRSIM_Unplug(uint32_t camera) {
    return Simulator::Instance().Unplug(camera);
}

PRSDK_EXPORT int PRSIM_Replug(uint32_t camera) {
    return Simulator::Instance().Replug(camera);
}

PRSDK_EXPORT int PRSIM_PressShutterButton(uint32_t camera) {
    return Simulator::Instance().SendCameraEvent(camera, PR_EVENT_SHUTTER_BUTTON, 0);
}

PRSDK_EXPORT int PRSIM_TurnCamera(uint32_t camera, uint32_t angleCode) {
    return Simulator::Instance().TurnCamera(camera, angleCode);
}

PRSDK_EXPORT int PRSIM_ChangeSettingOnCamera(uint32_t camera, uint16_t property, uint32_t value) {
    return Simulator::Instance().ChangeSetting(camera, property, value);
}

PRSDK_EXPORT int PRSIM_SendEvent(uint32_t camera, uint16_t eventCode, uint32_t parameter) {
    return Simulator::Instance().SendCameraEvent(camera, eventCode, parameter);
}

PRSDK_EXPORT int PRSIM_FailNextCall(const char* functionName, PrError code) {
    return Simulator::Instance().SetFault(functionName, code, false);
}

PRSDK_EXPORT int PRSIM_FailAlways(const char* functionName, PrError code) {
    return Simulator::Instance().SetFault(functionName, code, true);
}

PRSDK_EXPORT void PRSIM_ClearFailures(void) {
    Simulator::Instance().ClearFaults();
}

PRSDK_EXPORT void PRSIM_SetTransferDelay(uint32_t millisecondsPerBlock) {
    Simulator::Instance().SetTransferDelay(millisecondsPerBlock);
}

PRSDK_EXPORT void PRSIM_SetFrameInterval(uint32_t milliseconds) {
    Simulator::Instance().SetFrameInterval(milliseconds);
}

PRSDK_EXPORT void PRSIM_BreakFrames(PrsimFrameFault fault) {
    Simulator::Instance().SetFrameFault(fault);
}

PRSDK_EXPORT size_t PRSIM_GetLastCapture(void* buffer, size_t bufferSize) {
    return Simulator::Instance().GetLastCapture(buffer, bufferSize);
}

PRSDK_EXPORT int PRSIM_GetCameraState(uint32_t camera, PrsimCameraState* state) {
    return Simulator::Instance().GetCameraState(camera, state);
}

PRSDK_EXPORT int64_t PRSIM_GetPropertyValue(uint32_t camera, uint16_t property) {
    return Simulator::Instance().GetPropertyValue(camera, property);
}

PRSDK_EXPORT uint32_t PRSIM_ThreadCount(void) {
    return Simulator::Instance().ThreadCount();
}
