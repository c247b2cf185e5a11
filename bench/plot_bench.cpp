// The plot's layout for 1024 points on a 600 x 400 control: scale, ticks, labels and
// both traces, as a tuning window computes them every 100 ms.

#include <chrono>
#include <cmath>
#include <cstdio>

#include "capture/WaveformGeometry.h"

int main() {
    using namespace qx;
    constexpr int kRuns = 2000;
    PlotData plot;
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        plot.trace1[i] = i < 200 ? -1.0f : 1.0f;
        plot.trace2[i] = static_cast<float>(std::sin(static_cast<double>(i) / 30.0));
    }
    const WaveformInput input{CaptureKind::Current, 1024, 1, 4000};
    std::size_t points = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kRuns; ++k) {
        points += ComputeWaveform(600, 400, input, plot, 1).trace1.size();
    }
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count() /
        kRuns;
    std::printf("plot layout, 1024 points on 600 x 400: %.1f us per drawing (%zu points)\n", us,
                points / kRuns);
    return 0;
}
