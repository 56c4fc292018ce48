// Records that cross the driver's library boundary. Their byte layout is fixed: hosts
// and panels read them by offset.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lensport {

struct DriverInfo {
    char description[100];
    std::int32_t kind;
    char reserved[10];
    char shortName[50];
};
static_assert(sizeof(DriverInfo) == 164);
static_assert(offsetof(DriverInfo, kind) == 100);
static_assert(offsetof(DriverInfo, reserved) == 104);
static_assert(offsetof(DriverInfo, shortName) == 114);

struct CameraListEntry {
    char name[100];
    std::int32_t id;
};
static_assert(sizeof(CameraListEntry) == 104);
static_assert(offsetof(CameraListEntry, id) == 100);

// Addresses are pointer-sized; the number of entries is (last - first).
struct CameraList {
    void* reserved;
    CameraListEntry* first;
    CameraListEntry* last;
    CameraListEntry* end;
};

} // namespace lensport
