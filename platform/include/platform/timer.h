// Periodic multimedia timer: a thread scheduled on absolute deadlines, so the period
// does not drift with the callback's own duration.
#pragma once

#include "platform/types.h"

using LPTIMECALLBACK = void (*)(UINT timerId, UINT msg, std::uintptr_t user, std::uintptr_t r1,
                                std::uintptr_t r2);

constexpr UINT TIME_ONESHOT = 0;
constexpr UINT TIME_PERIODIC = 1;

// Returns the timer id (non-zero) or 0. The callback runs on the timer's own thread.
UINT timeSetEvent(UINT delayMs, UINT resolution, LPTIMECALLBACK callback, std::uintptr_t user,
                  UINT flags);
// Stops the timer; when it returns, the callback is not running and won't run again
// (unless called from within the callback itself).
UINT timeKillEvent(UINT timerId);
