#include "capture/WaveformGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qx {

namespace {

// Pixel rows far outside any control: a wild value is drawn off the picture instead of
// overflowing the conversion to an integer.
constexpr float kPixelLimit = 1.0e6f;
constexpr int kTimeLabelGap = 6;
constexpr int kValueLabelRaise = 5;

int Truncate(float v) {
    return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

const char* ValueFormat(CaptureKind kind) {
    return ForKind(kind, "%5.2f", "%5.0f", "%6.0f");
}

float MinimumSpan(CaptureKind kind) {
    return kind == CaptureKind::Current ? kMinSpanCurrent : kMinSpanSpeedPosition;
}

int PositionMargin(float span) {
    long long rest = static_cast<long long>(std::min(span, 1.0e18f));
    int decades = 0;
    while (rest > 10) {
        rest /= 10;
        ++decades;
    }
    return std::max(kPlotLeftMargin, kPlotPixelsPerPositionDecade * decades);
}

}  // namespace

WaveformInput WaveformInputOf(const SharedState& state) {
    WaveformInput in;
    if (state.loopCaptureRun.tuningActive.load() == 1) {
        in.kind = KindOf(state.loopCaptureRequest.loopKind);
        in.count = state.loopCaptureRun.sampleCount;
        in.divider = state.loopCaptureRun.sampleDivider;
    } else {
        in.kind = KindOf(state.freeRunRequest.monitorType);
        in.count = state.freeRunRequest.sampleCount;
        in.divider = state.freeRunRequest.sampleDivider;
    }
    in.baseRateHz = state.identity.baseSampleRateHz.load();
    return in;
}

WaveformInput WaveformInputOf(const RecordShape& shape) {
    return {shape.kind, shape.count, shape.divider, shape.baseRateHz};
}

WaveformPicture ComputeWaveform(int width, int height, const WaveformInput& input, PlotData& plot,
                                int dataValid) {
    WaveformPicture pic;
    pic.width = width;
    pic.height = height;
    pic.fieldWidth = std::max(width - 2, 0);
    pic.fieldHeight = std::max(height - 2, 0);
    const int n = std::clamp(input.count, 0, static_cast<int>(kTracePoints));

    // Extremes of both traces together.
    float hi = plot.trace1[0];
    float lo = plot.trace1[0];
    for (int i = 0; i < n; ++i) {
        hi = std::max({hi, plot.trace1[i], plot.trace2[i]});
        lo = std::min({lo, plot.trace1[i], plot.trace2[i]});
    }
    plot.plotSpan = std::max(hi - lo, MinimumSpan(input.kind));
    plot.plotCentre = (hi + lo) / 2.0f;

    pic.margin =
        input.kind == CaptureKind::Position ? PositionMargin(plot.plotSpan) : kPlotLeftMargin;
    pic.x0 = pic.margin;
    pic.x1 = width - 1;
    pic.yAxis = height - kPlotBottomMargin;
    pic.yTop = -1;
    const int axisWidth = pic.x1 - pic.x0;
    auto axis = [&](PlotPoint a, PlotPoint b) { pic.lines.push_back({PlotPen::Axis, a, b}); };
    axis({pic.x0, pic.yAxis}, {pic.x1, pic.yAxis});

    // Time axis.
    const bool timed = input.baseRateHz > 0 && axisWidth > 0;
    if (timed) {
        pic.msPerDivision =
            static_cast<float>(static_cast<double>(n) * kPlotMajorDivision * input.divider *
                               1000.0 / (axisWidth * kPlotUsableShare * input.baseRateHz));
    }
    for (int i = 0; axisWidth >= 0 && i <= axisWidth / kPlotMajorDivision; ++i) {
        const int x = pic.x0 + kPlotMajorDivision * i + 1;
        axis({x, pic.yAxis}, {x, pic.yAxis + kPlotMajorTick});
        if (timed) {
            pic.labels.push_back(
                {{x, pic.yAxis + kTimeLabelGap},
                 Format("%5.2f", static_cast<double>(static_cast<float>(i) * pic.msPerDivision))});
        }
    }
    for (int i = 0; axisWidth >= 0 && i <= axisWidth / kPlotMinorDivision; ++i) {
        const int x = pic.x0 + kPlotMinorDivision * i + 1;
        axis({x, pic.yAxis}, {x, pic.yAxis + kPlotMinorTick});
    }

    // Value axis.
    axis({pic.x0, pic.yAxis}, {pic.x0, pic.yTop});
    pic.plotHeight = height - kPlotBottomMargin - 2;
    pic.yBase = height - kPlotBottomMargin - 1;
    const int p = pic.plotHeight;
    if (dataValid == 0) {
        plot.plotSpan = MinimumSpan(input.kind);
        plot.plotCentre = 0.0f;
    }
    if (p > 0) {
        pic.unitsPerDivision = static_cast<float>(
            kPlotMajorDivision * static_cast<double>(plot.plotSpan) / (p * kPlotUsableShare));
        pic.bottomValue =
            static_cast<float>(plot.plotCentre - p * static_cast<double>(pic.unitsPerDivision) *
                                                     0.5 / kPlotMajorDivision);
    }
    const char* valueFormat = ValueFormat(input.kind);
    for (int i = 0; p >= 0 && i <= p / kPlotMajorDivision; ++i) {
        const int y = pic.yBase - kPlotMajorDivision * i;
        axis({pic.x0, y}, {pic.x0 - kPlotMajorTick, y});
        const float value = static_cast<float>(i) * pic.unitsPerDivision + pic.bottomValue;
        pic.labels.push_back({{pic.margin / 2, y - kValueLabelRaise},
                              Format(valueFormat, static_cast<double>(value))});
    }
    for (int i = 0; p >= 0 && i <= p / kPlotMinorDivision; ++i) {
        const int y = pic.yBase - kPlotMinorDivision * i;
        axis({pic.x0, y}, {pic.x0 - kPlotMinorTick, y});
    }

    // Grid.
    for (int i = 1; axisWidth >= 0 && i <= axisWidth / kPlotMajorDivision; ++i) {
        const int x = pic.x0 + kPlotMajorDivision * i + 1;
        pic.lines.push_back({PlotPen::Grid, {x, pic.yAxis}, {x, pic.yTop}});
    }
    for (int i = 1; p >= 0 && i <= p / kPlotMajorDivision; ++i) {
        const int y = pic.yBase - kPlotMajorDivision * i;
        pic.lines.push_back({PlotPen::Grid, {pic.x0, y}, {pic.x1, y}});
    }

    // Traces.
    if (dataValid == 1 && n > 0 && p > 0) {
        plot.xScale = static_cast<float>(axisWidth * kPlotUsableShare / n);
        plot.yScale = static_cast<float>(p * kPlotUsableShare / plot.plotSpan);
        pic.trace1.reserve(static_cast<std::size_t>(n));
        pic.trace2.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const int x = pic.x0 + Truncate(static_cast<float>(i) * plot.xScale);
            pic.trace1.push_back(
                {x, pic.yBase - Truncate((plot.trace1[i] - pic.bottomValue) * plot.yScale)});
            pic.trace2.push_back(
                {x, pic.yBase - Truncate((plot.trace2[i] - pic.bottomValue) * plot.yScale)});
        }
    }
    return pic;
}

}  // namespace qx
