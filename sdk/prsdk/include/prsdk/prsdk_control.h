/* Control API of the simulated PowerShot cameras, for tests and demos. These functions
 * are exported by PRSDK.so next to the vendor functions and are never used by the
 * driver. Cameras are addressed by their position in the device list (0-based).
 * Functions returning int give 0 on success and -1 on a bad index or argument. */
#ifndef PRSDK_PRSDK_CONTROL_H
#define PRSDK_PRSDK_CONTROL_H

#include "prsdk/prsdk.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Environment variable naming the scenario file read on first use and by PRSIM_Reset. */
#define PRSIM_SCENARIO_ENV "CAPDECK_PRSDK_SCENARIO"

/* Ends every camera object and thread, clears injected faults and delays, unfinishes
 * the SDK and reloads the scenario (environment variable, else the built-in camera). */
int PRSIM_Reset(void);
/* Replaces the cameras (as PRSIM_Reset, then the given scenario). On a bad scenario
 * nothing changes and PRSIM_LastError() tells why. */
int PRSIM_LoadScenario(const char* path);
int PRSIM_LoadScenarioText(const char* text);
const char* PRSIM_LastError(void); /* valid until the next control call */

uint32_t PRSIM_CameraCount(void); /* plugged or not */

/* Unplug ends the camera's objects' sessions (their calls fail with
 * PR_ERR_DEVICE_DISCONNECTED, their threads end) and lowers the USB still-image count;
 * replug raises it again and the camera needs a new camera object. */
int PRSIM_Unplug(uint32_t camera);
int PRSIM_Replug(uint32_t camera);

/* Camera-side events, delivered to every connected object of the camera. */
int PRSIM_PressShutterButton(uint32_t camera);             /* 0xC00B */
int PRSIM_TurnCamera(uint32_t camera, uint32_t angleCode); /* 0xD043 := code; 0xC00D */
int PRSIM_ChangeSettingOnCamera(uint32_t camera, uint16_t property, uint32_t value); /* 0x4006 */
int PRSIM_SendEvent(uint32_t camera, uint16_t eventCode, uint32_t parameter);        /* any event */

/* Fault injection. functionName is a vendor function name, e.g. "PR_RC_Release"; the
 * call returns code without any effect. A code of 0 clears that function's fault. */
int PRSIM_FailNextCall(const char* functionName, PrError code);
int PRSIM_FailAlways(const char* functionName, PrError code);
void PRSIM_ClearFailures(void);

void PRSIM_SetTransferDelay(uint32_t millisecondsPerBlock);
void PRSIM_SetFrameInterval(uint32_t milliseconds); /* viewfinder pace; default 66 */

typedef enum PrsimFrameFault {
    PRSIM_FRAMES_GOOD = 0,
    PRSIM_FRAMES_TRUNCATED = 1, /* a JPEG cut after half its bytes */
    PRSIM_FRAMES_GARBAGE = 2,   /* bytes that are no JPEG at all */
    PRSIM_FRAMES_OVERSIZED = 3, /* a valid 640 x 480 JPEG larger than 102400 bytes */
    PRSIM_FRAMES_EMPTY = 4      /* a frame of size 0 */
} PrsimFrameFault;
void PRSIM_BreakFrames(PrsimFrameFault fault);

/* The full image of the last release: returns its size and copies at most bufferSize
 * bytes (buffer may be null to ask for the size). 0 before the first release. */
size_t PRSIM_GetLastCapture(void* buffer, size_t bufferSize);

typedef struct PrsimCameraState {
    int plugged;
    int connectedObjects;  /* camera objects connected to this camera */
    int viewFinderRunning; /* objects whose viewfinder thread runs */
    int focusLocked;
    uint32_t angleCode;
    uint32_t releases;     /* pictures taken */
    uint32_t aeAfAwbCalls; /* PR_RC_DoAeAfAwb successes */
    uint32_t framesDelivered;
} PrsimCameraState;
int PRSIM_GetCameraState(uint32_t camera, PrsimCameraState* state);
/* Current value of a property of the camera; -1 when the camera or property is unknown. */
int64_t PRSIM_GetPropertyValue(uint32_t camera, uint16_t property);
/* Threads of the library that are alive (event and viewfinder threads). */
uint32_t PRSIM_ThreadCount(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PRSDK_PRSDK_CONTROL_H */
