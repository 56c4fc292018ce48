// Internal: how a received broadcast finds the windows it is posted to. The window side
// installs the function that lists this process's live top-level windows; until it does,
// broadcasts reach only a handler set with SetBroadcastHandler.
#pragma once

#include "platform/types.h"

#include <vector>

namespace platform::detail {

using TopLevelWindowLister = std::vector<HWND> (*)();
void SetTopLevelWindowLister(TopLevelWindowLister lister);

} // namespace platform::detail
