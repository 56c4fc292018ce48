#include "gui_test_app.h"

#include <QApplication>

#include <chrono>
#include <cstdlib>

namespace platform_test {

QApplication& GuiApp() {
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "platform_test";
        static char* argv[] = {name, nullptr};
        // Never deleted: widgets of finished tests may still exist at exit.
        return new QApplication(argc, argv);
    }();
    return *app;
}

bool ProcessEventsUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < giveUp) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

} // namespace platform_test
