/* PRSDK: remote-capture library for the PowerShot cameras (simulated cameras).
 *
 * Every function returns a 32-bit error code; 0 is success. Callbacks run on the
 * library's own threads, never while the library holds its internal lock, so they may
 * call back into the library. Contexts are pointer-sized (they carry the caller's
 * object address); camera and object handles are 32-bit values. */
#ifndef PRSDK_PRSDK_H
#define PRSDK_PRSDK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t PrError;
typedef uint32_t PrCameraHandle; /* 0 is never a valid handle */
typedef uint32_t PrObjectHandle; /* a picture held by the camera after a release */
typedef void* PrContext;

/* ---- Error codes ------------------------------------------------------------------
 * An error is PR_ERROR_COMPONENT | code; callers test the low 16 bits. */
#define PR_OK 0u
#define PR_ERROR_COMPONENT 0x01000000u
#define PR_ERROR_CODE(e) ((e)&0xFFFFu)

#define PR_ERR_NOT_INITIALIZED (PR_ERROR_COMPONENT | 0x0002u)     /* PR_StartSDK not called */
#define PR_ERR_INVALID_HANDLE (PR_ERROR_COMPONENT | 0x0003u)      /* unknown camera handle */
#define PR_ERR_INVALID_PARAMETER (PR_ERROR_COMPONENT | 0x0004u)   /* null pointer, bad size */
#define PR_ERR_DEVICE_NOT_FOUND (PR_ERROR_COMPONENT | 0x0005u)    /* entry names no camera */
#define PR_ERR_DEVICE_DISCONNECTED (PR_ERROR_COMPONENT | 0x0006u) /* camera unplugged */
#define PR_ERR_NOT_CONNECTED (PR_ERROR_COMPONENT | 0x0007u)       /* PR_ConnectCamera first */
#define PR_ERR_NOT_IN_RELEASE_CONTROL (PR_ERROR_COMPONENT | 0x0008u)
#define PR_ERR_PROPERTY_NOT_SUPPORTED (PR_ERROR_COMPONENT | 0x0009u)
#define PR_ERR_PROPERTY_READ_ONLY (PR_ERROR_COMPONENT | 0x000Au)
#define PR_ERR_INVALID_VALUE (PR_ERROR_COMPONENT | 0x000Bu)  /* not offered by the property */
#define PR_ERR_INVALID_OBJECT (PR_ERROR_COMPONENT | 0x000Cu) /* unknown object handle/kind */
#define PR_ERR_VIEWFINDER_RUNNING (PR_ERROR_COMPONENT | 0x000Du)
#define PR_ERR_INTERNAL (PR_ERROR_COMPONENT | 0x000Eu)         /* picture could not be produced */
#define PR_ERR_BUFFER_TOO_SMALL (PR_ERROR_COMPONENT | 0x0063u) /* low 16 bits: 99 */

/* ---- Device list (PR_GetDeviceList) -----------------------------------------------
 * Byte layout: a 32-bit device count, then one 1106-byte entry per device. An entry
 * is passed whole to PR_CreateCameraObject. */
#define PR_DEVICE_ENTRY_SIZE 1106u
#define PR_DEVICE_PATH_CHARS 512u /* UTF-16 units at byte 0 */
#define PR_DEVICE_MODEL_OFFSET 1024u
#define PR_DEVICE_MODEL_CHARS 41u /* UTF-16 units incl. the terminating zero */
#define PR_DEVICE_LIST_SIZE(count) (4u + PR_DEVICE_ENTRY_SIZE * (uint32_t)(count))

typedef struct PrDeviceEntry {
    uint16_t devicePath[PR_DEVICE_PATH_CHARS]; /* zero-terminated UTF-16, identifies it */
    uint16_t modelName[PR_DEVICE_MODEL_CHARS]; /* zero-terminated UTF-16 */
} PrDeviceEntry;

/* ---- Camera events (event function) ------------------------------------------------
 * The record is a PTP event container. */
typedef struct PrEventRecord {
    uint32_t containerLength; /* 24 */
    uint16_t containerType;   /* 4: event */
    uint16_t eventCode;       /* offset 6 */
    uint32_t transactionId;   /* offset 8 */
    uint32_t params[3];       /* offset 12: first parameter */
} PrEventRecord;

#define PR_EVENT_DEVICE_PROP_CHANGED 0x4006u /* param 0: property code */
#define PR_EVENT_FULL_IMAGE_READY 0xC008u    /* param 0: object handle */
#define PR_EVENT_THUMBNAIL_READY 0xC009u     /* param 0: object handle */
#define PR_EVENT_SHUTTER_BUTTON 0xC00Bu      /* the camera's own shutter button */
#define PR_EVENT_SETTINGS_CHANGED 0xC00Cu    /* settings changed on the camera */
#define PR_EVENT_ANGLE_CHANGED 0xC00Du       /* param 0: angle code 0..3 */

/* ---- Released-data progress (data function) -----------------------------------------
 * Fixed byte layout; the data address sits at byte 28 (4-byte packing). */
#define PR_PROGRESS_START 1u
#define PR_PROGRESS_DATA 2u
#define PR_PROGRESS_END 4u

#pragma pack(push, 4)
typedef struct PrProgress {
    uint32_t message;         /* 0: PR_PROGRESS_START, PR_PROGRESS_DATA, PR_PROGRESS_END */
    PrError status;           /* 4: 0, or the error that ended the transfer (END) */
    uint32_t percentComplete; /* 8 */
    uint32_t offset;          /* 12: offset of this block in the file */
    uint32_t length;          /* 16: bytes in this block */
    uint32_t totalLength;     /* 20: size of the whole object */
    uint32_t reserved;        /* 24 */
    const uint8_t* data;      /* 28: the block's bytes (valid during the call) */
} PrProgress;
#pragma pack(pop)

/* ---- PTP device properties (PR_GetDevicePropDesc / PR_SetDevicePropValue) ------------
 * The description is a PTP DevicePropDesc dataset, little-endian:
 *   0 code (2), 2 data type (2), 4 get/set (1), factory default, current value
 *   (each of the type's size), form (1), then the form:
 *   range: minimum, maximum, step; enumeration: count (2), values. */
#define PR_PTP_TYPE_UINT8 0x0002u
#define PR_PTP_TYPE_UINT16 0x0004u
#define PR_PTP_READ_ONLY 0u
#define PR_PTP_READ_WRITE 1u
#define PR_PTP_FORM_NONE 0u
#define PR_PTP_FORM_RANGE 1u
#define PR_PTP_FORM_ENUM 2u

#define PR_PROP_IMAGE_SIZE 0xD006u    /* 8-bit enumeration */
#define PR_PROP_COMPRESSION 0xD008u   /* 8-bit enumeration */
#define PR_PROP_FLASH_MODE 0xD00Au    /* 8-bit enumeration */
#define PR_PROP_SHOOTING_MODE 0xD00Cu /* 8-bit enumeration */
#define PR_PROP_ML_MODE 0xD010u       /* 8-bit enumeration (metering) */
#define PR_PROP_AF_DISTANCE 0xD011u   /* 8-bit enumeration */
#define PR_PROP_FOCUS_POINT 0xD012u   /* 16-bit enumeration */
#define PR_PROP_WB_SETTING 0xD013u    /* 8-bit enumeration */
#define PR_PROP_ISO 0xD01Cu           /* 16-bit enumeration */
#define PR_PROP_AV 0xD01Du            /* 16-bit enumeration */
#define PR_PROP_TV 0xD01Eu            /* 16-bit enumeration */
#define PR_PROP_EXPOSURE_COMP 0xD01Fu /* 8-bit enumeration */
#define PR_PROP_FLASH_COMP 0xD020u    /* 8-bit enumeration */
#define PR_PROP_ZOOM_POS 0xD02Au      /* 16-bit range, read-write */
#define PR_PROP_PREVIEW_TYPE 0xD036u  /* 8-bit enumeration (viewfinder output) */
#define PR_PROP_DIGITAL_ZOOM 0xD039u  /* 16-bit, read-only */
#define PR_PROP_PHOTO_EFFECT 0xD040u  /* 16-bit enumeration */
#define PR_PROP_ANGLE 0xD043u         /* 16-bit, read-only: angle code 0..3 */

/* ---- Other constants ----------------------------------------------------------------- */
#define PR_AEAFAWB_AE 1u
#define PR_AEAFAWB_AF 2u
#define PR_AEAFAWB_AWB 4u
#define PR_PROP_DESC_MAX 20480u /* a buffer of this size holds any description */

/* ---- Callback functions (all return 0) ---------------------------------------------- */
typedef PrError (*PrEventFunction)(PrCameraHandle camera, PrContext context,
                                   void* eventRecord /* PrEventRecord */);
typedef PrError (*PrViewFinderFunction)(PrCameraHandle camera, PrContext context, uint32_t size,
                                        void* jpegData);
typedef PrError (*PrReleasedDataFunction)(PrCameraHandle camera, PrObjectHandle object,
                                          PrContext context, PrProgress* progress);

/* ---- Functions ------------------------------------------------------------------------ */
PrError PR_StartSDK(void);
PrError PR_FinishSDK(void); /* ends every camera object and thread of the library */

/* *bufferSize: in the room of buffer, out the size used (or needed on
 * PR_ERR_BUFFER_TOO_SMALL). */
PrError PR_GetDeviceList(uint32_t* bufferSize, void* buffer);

PrError PR_CreateCameraObject(const void* deviceEntry /* PrDeviceEntry */, PrCameraHandle* camera);
PrError PR_ConnectCamera(PrCameraHandle camera);
PrError PR_InitiateReleaseControl(PrCameraHandle camera);
PrError PR_SetEventCallBack(PrCameraHandle camera, PrContext context, PrEventFunction function);
PrError PR_TerminateReleaseControl(PrCameraHandle camera);
PrError PR_DisconnectCamera(PrCameraHandle camera);
PrError PR_DestroyCameraObject(PrCameraHandle camera);

PrError PR_RC_StartViewFinder(PrCameraHandle camera, PrContext context,
                              PrViewFinderFunction function);
PrError PR_RC_TermViewFinder(PrCameraHandle camera); /* no frame call after it returns */
PrError PR_RC_DoAeAfAwb(PrCameraHandle camera, uint32_t what /* PR_AEAFAWB_* bits */);
/* Takes a picture; the full-image and thumbnail events have been delivered on return. */
PrError PR_RC_Release(PrCameraHandle camera);
/* Calls function with START, DATA blocks of at most transferSize bytes, END before it
 * returns. eventCode is the code of the event that named the object. */
PrError PR_RC_GetReleasedData(PrCameraHandle camera, PrObjectHandle object, uint16_t eventCode,
                              uint32_t transferSize, PrContext context,
                              PrReleasedDataFunction function);
PrError PR_RC_FocusLock(PrCameraHandle camera);
PrError PR_RC_FocusUnlock(PrCameraHandle camera);

PrError PR_GetDevicePropDesc(PrCameraHandle camera, uint16_t propertyCode, uint32_t* bufferSize,
                             void* buffer);
PrError PR_SetDevicePropValue(PrCameraHandle camera, uint16_t propertyCode, uint32_t size,
                              const void* value);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(PrDeviceEntry) == PR_DEVICE_ENTRY_SIZE, "device entry layout");
static_assert(offsetof(PrDeviceEntry, modelName) == PR_DEVICE_MODEL_OFFSET, "model name offset");
static_assert(offsetof(PrEventRecord, eventCode) == 6, "event code offset");
static_assert(offsetof(PrEventRecord, params) == 12, "event parameter offset");
static_assert(offsetof(PrProgress, percentComplete) == 8, "progress layout");
static_assert(offsetof(PrProgress, offset) == 12, "progress layout");
static_assert(offsetof(PrProgress, length) == 16, "progress layout");
static_assert(offsetof(PrProgress, data) == 28, "progress data address offset");
#endif

#endif /* PRSDK_PRSDK_H */
