// The ten window messages the driver registers by name, and how they are delivered.
#pragma once

#include "platform/types.h"

namespace lensport {

enum class DriverMessage {
    FileReceived,
    ProgressStatus,
    GoingToShutdown,
    ReleaseButtonPressed,
    AngleChanged,
    ChangedByUi,
    ReleaseOn,
    ReleaseComplete,
    AbortPcEvf,
    ChangeByUi,
    Count
};

const char* DriverMessageName(DriverMessage message);
// Registers all ten names. False when one of the names the session depends on came back
// as zero (the object then opens no camera).
bool RegisterDriverMessages();
// The registered number, 0 before registration.
UINT DriverMessageNumber(DriverMessage message);

// Posts (or, for the progress message, sends) to the target; a null target or an
// unregistered message delivers nothing.
bool PostDriverMessage(HWND target, DriverMessage message, WPARAM wParam, LPARAM lParam);
LRESULT SendDriverMessage(HWND target, DriverMessage message, WPARAM wParam, LPARAM lParam);

// The top-level ancestor of a window, following GetParent until it gives null.
HWND TopLevelAncestor(HWND window);

} // namespace lensport
