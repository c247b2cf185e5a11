// The window program's CPU use while a monitor dialog is open: the status dialog and the
// port lamps each run for a while, offscreen, against quendrix-drive-sim on a
// pseudo-terminal with wire pacing on, and the process's CPU time is compared with the
// wall time (the user-interface thread and the monitor thread together).

#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/SharedState.h"
#include "app/ui/GuiContext.h"
#include "bench/SimProcess.h"
#include "link/ConnectDrive.h"
#include "link/PortMap.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"

namespace {

constexpr int kRunMs = 10'000;

class SilentSink final : public qx::MessageSink {
  public:
    void show(const std::string&, const std::string&) override {}
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Opens the dialog as its menu command would, shows it for kRunMs and closes it.
template <typename Dialog>
bool Measure(const char* name, qx::ui::GuiContext& context) {
    Dialog dialog(context, nullptr);
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!dialog.prepare()) {
        std::fprintf(stderr, "%s did not open\n", name);
        return false;
    }
    dialog.show();
    QTimer::singleShot(kRunMs, &dialog, [&dialog]() { dialog.reject(); });
    QApplication::exec();
    const double wallS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuS = CpuSeconds() - cpuBefore;
    const double polls = static_cast<double>(dialog.monitor().pollCount());
    std::printf("%-22s %8.1f %10.0f %10.2f %10.1f\n", name, wallS, polls, polls / wallS,
                100.0 * cpuS / wallS);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    qx::bench::SimProcess sim(argc > 1 ? argv[1] : qx::bench::DriveSimPath(argv[0]),
                              {"--pace", "--software", "1003"});

    qx::SharedState state;
    qx::ApplyStartupValues(state);
    qx::PortMap ports;
    ports.setDevice(1, sim.device());
    qx::ui::GuiContext context(state, qx::steadyClock(), ports, nullptr);
    SilentSink silent;
    if (qx::ChooseComPort(context.link(), state.identity, silent, 1) != 1) {
        std::fprintf(stderr, "no drive on %s\n", sim.device().c_str());
        return 1;
    }

    std::printf("%-22s %8s %10s %10s %10s\n", "dialog open", "s", "polls", "polls/s", "CPU %");
    const bool ok = Measure<qx::ui::CServoStateDlg>("Servo State Monitor", context) &&
                    Measure<qx::ui::CPortsStateDlg>("Ports State Monitor", context);
    return ok ? 0 : 1;
}
