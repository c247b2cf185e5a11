// DrawWaveform for 1024 points: on a 600 x 400 plot control, and on a 1920 x 1080 one
// with a reference record under the traces and both cursors placed (a maximised
// capture window). The layout and the painting off screen, handed to the control in
// one piece.

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

#include "capture/ui/CapturePainting.h"
#include "capture/ui/ImageFrame.h"

namespace {

// Milliseconds per drawing of `runs` drawings: wall time, and the processor time of
// this process, which on a shared machine leaves out the time others had the processor.
struct Times {
    double wallMs = 0.0;
    double cpuMs = 0.0;
};

template <typename Draw>
Times Time(int runs, Draw draw) {
    draw();  // fonts loaded once
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    for (int k = 0; k < runs; ++k) {
        draw();
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return {wall / runs, 1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / runs};
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string oneMinute;
    in >> oneMinute;
    return oneMinute.empty() ? std::string("unknown") : oneMinute;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    using namespace qx;
    constexpr int kRuns = 500;
    constexpr int kLargeRuns = 200;
    SharedState state;
    state.loopCaptureRun.tuningActive = 1;
    state.loopCaptureRequest.loopKind = 0;
    state.loopCaptureRun.sampleCount = 1024;
    state.loopCaptureRun.sampleDivider = 1;
    state.identity.baseSampleRateHz = 4000;
    PlotData plot;
    PlotData reference;
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        plot.trace1[i] = i < 200 ? -1.0f : 1.0f;
        plot.trace2[i] =
            plot.trace1[i] + 0.05f * static_cast<float>(std::sin(static_cast<double>(i) * 0.7));
        reference.trace1[i] = plot.trace1[i];
        reference.trace2[i] =
            plot.trace1[i] + 0.1f * static_cast<float>(std::sin(static_cast<double>(i) * 0.3));
    }
    const WaveformInput input = WaveformInputOf(state);

    ui::ImageFrame control;
    control.resize(600 + 2 * control.frameWidth(), 400 + 2 * control.frameWidth());
    const Times small = Time(kRuns, [&] { ui::DrawWaveform(control, input, plot, 1); });
    std::printf("load average %s\n", LoadAverage().c_str());
    std::printf(
        "DrawWaveform, 1024 points on %d x %d: %.3f ms per drawing, %.3f ms of processor "
        "(goal < 2 ms)\n",
        control.image().width(), control.image().height(), small.wallMs, small.cpuMs);

    ui::ImageFrame large;
    large.resize(1920 + 2 * large.frameWidth(), 1080 + 2 * large.frameWidth());
    WaveformView view;
    view.reference = &reference;
    view.referenceShape = RecordShape{CaptureKind::Current, 1024, 1, 4000};
    view.cursorA = 200;
    view.cursorB = 600;
    const Times big = Time(kLargeRuns, [&] { ui::DrawWaveform(large, input, plot, 1, view); });
    std::printf(
        "DrawWaveform, 1024 points, a reference and two cursors on %d x %d: %.3f ms per drawing, "
        "%.3f ms of processor (goal < 2 ms)\n",
        large.image().width(), large.image().height(), big.wallMs, big.cpuMs);
    return 0;
}
