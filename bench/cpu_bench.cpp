// The window program's CPU use: the whole program (main window, menu commands, the
// workers) runs in this process against quendrix-drive-sim in a process of its own, on
// a pseudo-terminal with wire pacing on, and this process's CPU time (user plus system,
// every thread) is set against the wall time of 10 s in each of:
//   the main window idle, "Servo State..." polling, "Current  Loop Adjust..." capturing
//   back to back, and the free-running window armed for a trigger that never comes.
//
//   bench_cpu [DRIVE_SIM] [--seconds N]
//
// Qt draws offscreen unless QT_QPA_PLATFORM says otherwise.

#include <sys/resource.h>

#include <QApplication>
#include <QDialog>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "app/SharedState.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "app/ui/GuiContext.h"
#include "bench/SimProcess.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/LoopTuningDialog.h"
#include "link/PortMap.h"
#include "monitor/ui/CServoStateDlg.h"

namespace {

using namespace qx;
using namespace qx::ui;

// Control ids of the free-running window: the falling-edge choice and the trigger value.
constexpr int kIdcFallingEdge = 1230;
constexpr int kIdcTriggerValue = 1178;
constexpr int kSettleMs = 1000;

class SilentSink final : public MessageSink {
  public:
    void show(const std::string&, const std::string&) override {}
};

struct Usage {
    double cpuS = 0.0;
    double wakeUps = 0.0;  // voluntary context switches: every blocking wait that ended
};

Usage ProcessUsage() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), static_cast<double>(usage.ru_nvcsw)};
}

struct Figure {
    double wallS = 0.0;
    double cpuS = 0.0;
    double wakeUps = 0.0;
};

// Runs the event loop for `ms` and measures it.
Figure MeasureLoop(int ms) {
    const Usage before = ProcessUsage();
    const auto t0 = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const Usage after = ProcessUsage();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
            after.cpuS - before.cpuS, after.wakeUps - before.wakeUps};
}

void PrintRow(const char* name, const Figure& f, const std::string& note) {
    std::printf("%-42s %6.1f %8.3f %7.2f %9.0f  %s\n", name, f.wallS, f.cpuS,
                100.0 * f.cpuS / f.wallS, f.wakeUps / f.wallS, note.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int seconds = 10;
    std::string simPath = bench::DriveSimPath(argv[0]);
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--seconds") == 0 && k + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++k]));
        } else {
            simPath = argv[k];
        }
    }
    const int runMs = seconds * 1000;
    QApplication application(argc, argv);
    bench::SimProcess sim(simPath, {"--pace", "--software", "1003"});

    SharedState state;
    PortMap ports;
    ports.setDevice(1, sim.device());
    GuiContext context(state, steadyClock(), ports, nullptr);
    context.setMessageSinkFactory([](QWidget*) { return std::make_unique<SilentSink>(); });

    // Each dialog runs modally as its menu command opens it: `prepare` sets it up, the
    // measurement runs, `describe` says what the dialog did meanwhile, then it is
    // closed as the user would.
    std::function<void(QDialog&)> prepare;
    std::function<std::string(QDialog&)> describe;
    context.setDialogRunner([&](QDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&]() {
            if (prepare) {
                prepare(dialog);
            }
            // The first second is the opening (the first paint loads the fonts, say):
            // what is measured is the steady state after it.
            MeasureLoop(kSettleMs);
            const Figure figure = MeasureLoop(runMs);
            PrintRow(dialog.windowTitle().toStdString().c_str(), figure, describe(dialog));
            dialog.reject();
        });
        return dialog.exec();
    });

    CQuendrixApp app(context);
    if (!app.initInstance()) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    app.action(ID_COM1)->trigger();
    if (state.link.driveConnected.load() != 1) {
        std::fprintf(stderr, "no drive on %s\n", sim.device().c_str());
        return 1;
    }

    std::printf("%-42s %6s %8s %7s %9s\n", "state", "wall s", "CPU s", "CPU %", "wakes/s");
    PrintRow("main window idle", MeasureLoop(runMs), "");

    prepare = nullptr;
    describe = [](QDialog& d) {
        const auto polls = dynamic_cast<CServoStateDlg&>(d).monitor().pollCount();
        return std::to_string(polls) + " polls";
    };
    app.action(ID_SERVO_STATE)->trigger();

    describe = [](QDialog& d) {
        return std::to_string(dynamic_cast<LoopTuningDialog&>(d).recordsShown()) +
               " step responses drawn";
    };
    app.action(ID_CURRENT_LOOP_ADJUST)->trigger();

    prepare = [](QDialog& dialog) {
        // A single capture on a falling edge at the top of the range: armed, never fired.
        FindControl<QRadioButton>(&dialog, kIdcFallingEdge)->click();
        auto* level = FindControl<CommitLineEdit>(&dialog, kIdcTriggerValue);
        level->setText(QStringLiteral("1000"));
        emit level->committed();
        dynamic_cast<CNormalMonitorDlg&>(dialog).refresh();
    };
    describe = [](QDialog& d) {
        auto& window = dynamic_cast<CNormalMonitorDlg&>(d);
        return "armed at " +
               FindControl<CommitLineEdit>(&d, kIdcTriggerValue)->text().toStdString() + ", " +
               std::to_string(window.recordsShown()) + " records";
    };
    app.action(ID_RANDOM_CAPTURE)->trigger();
    return 0;
}
