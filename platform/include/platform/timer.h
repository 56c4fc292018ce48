// Periodic multimedia timer: a thread scheduled on absolute deadlines, so the period
// does not drift with the callback's own duration.
#pragma once

#include "platform/types.h"

using LPTIMECALLBACK = void (*)(UINT timerId, UINT msg, std::uintptr_t user, std::uintptr_t r1,
                                std::uintptr_t r2);

constexpr UINT TIME_ONESHOT = 0;
constexpr UINT TIME_PERIODIC = 1;
constexpr UINT TIMERR_NOERROR = 0;
constexpr UINT MMSYSERR_INVALPARAM = 11;

// Returns the timer id (non-zero) or 0 (no callback, zero delay). The callback runs on the
// timer's own thread; resolution is accepted for the signature. A one-shot timer is gone
// once it has fired.
UINT timeSetEvent(UINT delayMs, UINT resolution, LPTIMECALLBACK callback, std::uintptr_t user,
                  UINT flags);
// Stops the timer; when it returns, the callback is not running and won't run again
// (called from within the callback itself: the current call finishes, no further one
// starts). TIMERR_NOERROR, or MMSYSERR_INVALPARAM for an unknown or finished timer.
UINT timeKillEvent(UINT timerId);
