// Broadcast of a registered message name to the other running instances of the
// program (per user). Each instance listens on a local socket; a received name is
// registered locally and posted to the instance's top-level windows.
#pragma once

#include "platform/types.h"

#include <functional>
#include <string>

constexpr DWORD BSF_IGNORECURRENTTASK = 0x2;
constexpr DWORD BSF_POSTMESSAGE = 0x10;
constexpr DWORD BSM_APPLICATIONS = 0x8;

// Delivers the message registered under `msg` (wParam, lParam) to the listening
// instances of this program kind, this one included unless BSF_IGNORECURRENTTASK is set.
// Registered messages travel by name; an unregistered number >= 0xC000 is refused.
// Returns the number of instances reached, or -1 on failure.
long BroadcastSystemMessageA(DWORD flags, DWORD* recipients, UINT msg, WPARAM wParam,
                             LPARAM lParam);

namespace platform {
// Starts listening for this process (idempotent). Received messages are posted to every
// registered top-level window, or given to the handler when one is set (the handler runs
// on the listener's own thread).
bool StartBroadcastListener(const std::string& instanceKind = "Capdeck");
void StopBroadcastListener();
using BroadcastHandler = std::function<void(UINT msg, WPARAM, LPARAM)>;
void SetBroadcastHandler(BroadcastHandler handler);
} // namespace platform
