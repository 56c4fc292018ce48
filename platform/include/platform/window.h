// Windows and messages over Qt. A window is a handle in a process-wide table, backed by
// a QWidget; it has a procedure chain and belongs to the thread that created it.
// Messages are handled on the owner thread: posted ones in FIFO order per window, sent
// ones synchronously (the sender blocks until the procedure returns). A null or
// destroyed handle receives nothing and yields 0. Without a QApplication (command-line
// tools, plain tests) window creation fails cleanly and messages go nowhere.
#pragma once

#include "platform/types.h"

class QWidget;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_BORDER = 0x00800000;

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_USERDATA = -21;

// Parent of message-only windows.
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-3));

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// Registers a widget created by the host (form, panel) and returns its handle. The
// handle goes away with the widget (WM_DESTROY then WM_NCDESTROY are delivered).
HWND RegisterHostWindow(QWidget* widget, WNDPROC proc = nullptr);
QWidget* WidgetFromHandle(HWND hwnd);

// Only the class "STATIC" is known. Child windows need a parent; the widget is created
// on the calling thread, which must be the GUI thread. With the parent HWND_MESSAGE the
// window is message-only: no widget, owned by the calling thread (any thread), which
// handles its messages in waits (sent) and in PumpThreadMessages (posted).
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* text, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* menu, HINSTANCE instance,
                     void* param);
// Owner thread only. A "STATIC" window's widget is deleted; a host widget stays with the
// host and only its handle (and its child windows) go.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// The parent window; null for a top-level window.
HWND GetParent(HWND hwnd);
// The top-level ancestor (the window itself when it is top level).
HWND GetAncestorRoot(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
// GWLP_WNDPROC replaces the window procedure (subclassing) and returns the old one.
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LRESULT CallWindowProcA(WNDPROC previous, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The same name always gives the same number (0xC000 and up); null or empty names 0.
UINT RegisterWindowMessageA(const char* name);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Handles everything queued for the calling thread's windows (posted and sent). For
// threads other than the GUI thread, which Qt's event loop serves.
void PumpThreadMessages();

namespace platform {
// True when a QApplication exists in this process (window calls can work).
bool GuiAvailable();
// The name a registered message number was registered with, or "" (diagnostics).
const char* RegisteredMessageName(UINT msg);
} // namespace platform
