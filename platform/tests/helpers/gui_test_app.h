// Shared by the platform's Qt tests: one offscreen QApplication per test program, created
// on the main thread on first use and kept for the whole run, and a bounded event loop.
#pragma once

#include <functional>

class QApplication;

namespace platform_test {

QApplication& GuiApp();

// Runs the GUI thread's event loop until done() holds or about ten seconds passed (a
// guard against a hang, not a timing check). Returns done().
bool ProcessEventsUntil(const std::function<bool()>& done);

} // namespace platform_test
