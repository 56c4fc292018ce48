// Shared by the platform's Qt tests: one offscreen QApplication per test program, created
// on the main thread on first use and kept for the whole run, a bounded event loop, and a
// fixture with a host window.
#pragma once

#include "platform/window.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QApplication;

namespace platform_test {

QApplication& GuiApp();

// Runs the GUI thread's event loop until done() holds or about ten seconds passed (a
// guard against a hang, not a timing check). Returns done().
bool ProcessEventsUntil(const std::function<bool()>& done);

// A top-level widget registered as a host window; gone, with its pending events, after
// each test.
class HostWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { GuiApp(); }
    void TearDown() override {
        top_.reset();
        QCoreApplication::processEvents();
    }

    void OpenHost(int width, int height, WNDPROC proc = nullptr) {
        top_ = std::make_unique<QWidget>();
        top_->resize(width, height);
        host_ = RegisterHostWindow(top_.get(), proc);
        ASSERT_NE(host_, nullptr);
    }

    std::unique_ptr<QWidget> top_;
    HWND host_ = nullptr;
};

} // namespace platform_test
