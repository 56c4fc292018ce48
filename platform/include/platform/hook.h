// Thread keyboard hook: an application event filter that calls the hook for every key
// press and release in the process's Qt widgets.
#pragma once

#include "platform/types.h"

constexpr int WH_KEYBOARD = 2;
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
struct HHOOK__;
using HHOOK = HHOOK__*;

// wParam is the virtual-key code; lParam bit 31 is set for a release. A non-zero
// result from the hook swallows the key.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
