#pragma once

// Widget tests share one QApplication per process. Header-only: the support library
// itself has no Qt.

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

namespace qx::test {

// The process's QApplication, made on first use. Closing the last window does not quit
// (tests close main windows), and the user's profile is a throw-away folder, so the
// recent-file list of a test never reaches the real one.
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

// Runs the event loop (window timers, calls queued by workers) until `done` holds or
// 30 s have passed, and tells whether it holds. The limit only ends a test that would
// otherwise hang.
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
