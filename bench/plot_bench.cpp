// The plot's layout for 1024 points on a 600 x 400 control: scale, ticks, labels and
// both traces, as a tuning window computes them every 100 ms; and the step metrics of a
// noisy 1024-point current record, as a tuning window computes them for every record.

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

#include "capture/StepMetrics.h"
#include "capture/WaveformGeometry.h"

namespace {

// Microseconds of processor time per run: on a shared machine the wall time would
// count the time others had the processor.
template <typename Run>
double MicrosecondsPerRun(int runs, Run run) {
    const std::clock_t start = std::clock();
    for (int k = 0; k < runs; ++k) {
        run();
    }
    return 1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / runs;
}

}  // namespace

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
    const double layoutUs = MicrosecondsPerRun(
        kRuns, [&] { points += ComputeWaveform(600, 400, input, plot, 1).trace1.size(); });
    std::printf(
        "plot layout, 1024 points on 600 x 400: %.1f us of processor per drawing (%zu points)\n",
        layoutUs, points / kRuns);

    // A second-order response (zeta 0.5) to a 2 A step at point 200, with the simulated
    // drive's noise of 0.02 A.
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 0.02);
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        const double t = (static_cast<double>(i) - 200.0) * 0.25;
        const double unit = t < 0.0
                                ? 0.0
                                : 1.0 - std::exp(-0.15 * t) / std::sqrt(0.75) *
                                            std::sin(0.3 * std::sqrt(0.75) * t + std::acos(0.5));
        plot.trace2[i] = static_cast<float>(-1.0 + 2.0 * unit + noise(rng));
    }
    StepResponse step;
    step.response = std::span<const float>(plot.trace2.data(), kTracePoints);
    step.samplePeriodMs = 0.25;
    step.stepTimeMs = 50.0;
    step.initialLevel = -1.0;
    step.finalLevel = 1.0;
    double sum = 0.0;
    const double metricsUs =
        MicrosecondsPerRun(kRuns, [&] { sum += ComputeStepMetrics(step).overshootPercent; });
    std::printf(
        "step metrics, 1024 noisy points: %.1f us of processor per record (goal < 100 us; "
        "overshoot "
        "%.1f %%)\n",
        metricsUs, sum / kRuns);
    return 0;
}
