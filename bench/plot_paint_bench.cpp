// DrawWaveform for 1024 points on a 600 x 400 plot control: the layout and the painting
// off screen, handed to the control in one piece.

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "capture/ui/CapturePainting.h"
#include "capture/ui/ImageFrame.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    using namespace qx;
    constexpr int kRuns = 500;
    SharedState state;
    state.loopCaptureRun.tuningActive = 1;
    state.loopCaptureRequest.loopKind = 0;
    state.loopCaptureRun.sampleCount = 1024;
    state.loopCaptureRun.sampleDivider = 1;
    state.identity.baseSampleRateHz = 4000;
    PlotData plot;
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        plot.trace1[i] = i < 200 ? -1.0f : 1.0f;
        plot.trace2[i] =
            plot.trace1[i] + 0.05f * static_cast<float>(std::sin(static_cast<double>(i) * 0.7));
    }
    ui::ImageFrame control;
    control.resize(600 + 2 * control.frameWidth(), 400 + 2 * control.frameWidth());
    const WaveformInput input = WaveformInputOf(state);
    ui::DrawWaveform(control, input, plot, 1);  // fonts loaded once
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kRuns; ++k) {
        ui::DrawWaveform(control, input, plot, 1);
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count() /
        kRuns;
    std::printf("DrawWaveform, 1024 points on %d x %d: %.3f ms per drawing (goal < 2 ms)\n",
                control.image().width(), control.image().height(), ms);
    return 0;
}
