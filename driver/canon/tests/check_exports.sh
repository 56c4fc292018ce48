#!/bin/sh
# The driver module exports exactly its fourteen entry points.
set -eu
module="$1"
got=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort)
want=$(printf '%s\n' GetLMDInfo GenerateCameraList CreateModuleWindow DestroyModuleWindow \
    GetParameter SetParameter SetParameterDirect SetApplicationParameter EnumParameterValues \
    CameraRelease CameraUpdate CameraStartPreview CameraStopPreview CameraIsOnline | sort)
if [ "$got" != "$want" ]; then
    echo "exported symbols differ:"
    echo "$got" > /tmp/lensport-exports-got.$$
    echo "$want" | diff - /tmp/lensport-exports-got.$$ || true
    rm -f /tmp/lensport-exports-got.$$
    exit 1
fi
echo "exactly the fourteen exports"
