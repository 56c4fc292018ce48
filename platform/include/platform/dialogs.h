// Message boxes. On the GUI thread a Qt dialog; from a worker a blocking hop to the GUI
// thread. Tests install an answerer that records the call and returns a chosen answer.
#pragma once

#include "platform/types.h"

#include <functional>
#include <string>

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFMASK = 0xF00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Returns the id of the chosen button (IDOK ...). With an answerer installed, the answerer
// decides, on the calling thread. Without a GUI and without an answerer the box is
// written to stderr and the default button's id is returned.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

namespace platform {
struct MessageBoxCall {
    std::string text;
    std::string caption;
    UINT type;
};
// Replaces the dialog (every thread); an empty function restores it.
using MessageBoxAnswerer = std::function<int(const MessageBoxCall&)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
} // namespace platform
