#pragma once

// Widget tests share one QApplication per process. Header-only: the support library
// itself has no Qt.

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

namespace qx::test {

// The process's QApplication, made on first use. Closing the last window does not quit, and
// the user's profile is a throw-away folder: a test's recent files never reach the real one.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "quendrix_gui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        static QTemporaryDir profile;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, profile.path());
        return a;
    }();
    return *app;
}

// Runs the event loop (window timers, calls queued by workers) until `done` holds, or for
// at most 30 s (only to end a test that would hang), and tells whether it holds.
template <typename Done>
bool RunEventsUntil(Done done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 30'000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return done();
}

}  // namespace qx::test
