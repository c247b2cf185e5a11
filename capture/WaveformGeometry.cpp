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
constexpr int kTimeWidth = 5;
constexpr int kTimeDecimals = 2;
// Zoomed in, labels get the decimals that tell neighbouring ticks apart, up to this.
constexpr int kMaxLabelDecimals = 6;
// Every this many ticks, at most, carries a time label however long the labels are.
constexpr int kMaxTimeLabelStride = 10;
// Points drawn beyond each edge of a zoomed window, so that the lines run to the edge.
constexpr int kPointsBeyondEdge = 1;
constexpr int kCursorLabelTop = 1;
constexpr int kCursorLabelOffset = 7;

int Truncate(double v) {
    return static_cast<int>(std::clamp(v, -double{kPixelLimit}, double{kPixelLimit}));
}

int Truncate(float v) {
    return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "%*.*f" with the decimals that tell apart values `step` apart (at least `decimals`).
std::string FormatZoomed(int width, int decimals, double step, double value) {
    if (step > 0.0 && std::isfinite(step)) {
        const int needed = static_cast<int>(std::ceil(-std::log10(step))) + 1;
        decimals = std::clamp(needed, decimals, kMaxLabelDecimals);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    return text;
}

const char* ValueFormat(CaptureKind kind) {
    return ForKind(kind, "%5.2f", "%5.0f", "%6.0f");
}

int ValueDecimals(CaptureKind kind) {
    return kind == CaptureKind::Current ? 2 : 0;
}

int ValueWidth(CaptureKind kind) {
    return kind == CaptureKind::Position ? 6 : 5;
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

// The left margin for value labels up to `widest` pixels wide, centred at margin / 2:
// the one given while they fit, else the narrowest even one leaving a pixel beside them.
int FittingMargin(int margin, int widest) {
    if (2 * (margin / 2) >= widest) {
        return margin;
    }
    return widest + 2 + widest % 2;
}

// The time labels to show: without measuring, all of them. Measured, none that the
// right edge would cut, and of the rest every one, every second, ... whichever is the
// first stride at which neighbours keep kPlotLabelGap between them.
std::vector<int> FittingTimeLabels(const std::vector<PlotLabel>& labels, int width,
                                   const TextWidth& textWidth) {
    std::vector<int> shown;
    std::vector<int> widths;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int w = textWidth ? textWidth(labels[i].text) : 0;
        if (labels[i].at.x + w / 2 <= width) {
            shown.push_back(static_cast<int>(i));
            widths.push_back(w);
        }
    }
    const int count = static_cast<int>(shown.size());
    int stride = 1;
    for (; stride < kMaxTimeLabelStride; ++stride) {
        bool apart = true;
        for (int k = 0; k + stride < count; k += stride) {
            const int room = labels[shown[k + stride]].at.x - labels[shown[k]].at.x;
            apart = apart && (widths[k] + widths[k + stride]) / 2 + kPlotLabelGap <= room;
        }
        if (apart) {
            break;
        }
    }
    std::vector<int> kept;
    for (int k = 0; k < count; k += stride) {
        kept.push_back(shown[k]);
    }
    return kept;
}

void Extremes(const PlotData& plot, int n, float& hi, float& lo) {
    for (int i = 0; i < n; ++i) {
        hi = std::max({hi, plot.trace1[i], plot.trace2[i]});
        lo = std::min({lo, plot.trace1[i], plot.trace2[i]});
    }
}

int Points(int count) {
    return std::clamp(count, 0, static_cast<int>(kTracePoints));
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
                                int dataValid, const WaveformView& view) {
    WaveformPicture pic;
    pic.width = width;
    pic.height = height;
    pic.fieldWidth = std::max(width - 2, 0);
    pic.fieldHeight = std::max(height - 2, 0);
    const int n = Points(input.count);
    const PlotData* reference = view.reference;
    const int refN = reference != nullptr ? Points(view.referenceShape.count) : 0;

    // Extremes of both traces together, and of a reference, which must stay in sight.
    float hi = plot.trace1[0];
    float lo = plot.trace1[0];
    Extremes(plot, n, hi, lo);
    if (refN > 0) {
        Extremes(*reference, refN, hi, lo);
    }
    plot.plotSpan = std::max(hi - lo, MinimumSpan(input.kind));
    plot.plotCentre = (hi + lo) / 2.0f;
    const float dataSpan = plot.plotSpan;

    // Value scale and its labels (they decide the left margin).
    pic.plotHeight = height - kPlotBottomMargin - 2;
    pic.yBase = height - kPlotBottomMargin - 1;
    const int p = pic.plotHeight;
    if (dataValid == 0 && refN == 0) {
        plot.plotSpan = MinimumSpan(input.kind);
        plot.plotCentre = 0.0f;
    }
    if (view.value) {
        plot.plotSpan = static_cast<float>(view.value->span);
        plot.plotCentre = static_cast<float>(view.value->centre);
    }
    pic.valueCentre = plot.plotCentre;
    pic.valueSpan = plot.plotSpan;
    if (p > 0) {
        pic.unitsPerDivision = static_cast<float>(
            kPlotMajorDivision * static_cast<double>(plot.plotSpan) / (p * kPlotUsableShare));
        pic.bottomValue =
            static_cast<float>(plot.plotCentre - p * static_cast<double>(pic.unitsPerDivision) *
                                                     0.5 / kPlotMajorDivision);
        pic.valuesPerPixel = plot.plotSpan / (p * kPlotUsableShare);
    }
    std::vector<std::string> valueTexts;
    for (int i = 0; p >= 0 && i <= p / kPlotMajorDivision; ++i) {
        const float value = static_cast<float>(i) * pic.unitsPerDivision + pic.bottomValue;
        valueTexts.push_back(view.value
                                 ? FormatZoomed(ValueWidth(input.kind), ValueDecimals(input.kind),
                                                pic.unitsPerDivision, value)
                                 : Format(ValueFormat(input.kind), value));
    }
    pic.margin = input.kind == CaptureKind::Position ? PositionMargin(dataSpan) : kPlotLeftMargin;
    if (view.textWidth) {
        int widest = 0;
        for (const std::string& text : valueTexts) {
            widest = std::max(widest, view.textWidth(text));
        }
        pic.margin = FittingMargin(pic.margin, widest);
    }

    pic.x0 = pic.margin;
    pic.x1 = width - 1;
    pic.yAxis = height - kPlotBottomMargin;
    pic.yTop = -1;
    const int axisWidth = pic.x1 - pic.x0;
    auto axis = [&](PlotPoint a, PlotPoint b) { pic.lines.push_back({PlotPen::Axis, a, b}); };
    axis({pic.x0, pic.yAxis}, {pic.x1, pic.yAxis});

    // What the time axis shows: the whole record over 98 % of it, or the window asked for.
    pic.wholePoints = n / kPlotUsableShare;
    const PointWindow window = view.time.value_or(PointWindow{0.0, pic.wholePoints});
    pic.zoomed = view.time.has_value() || view.value.has_value();
    pic.firstPoint = window.first;
    if (axisWidth > 0) {
        pic.pointsPerPixel = (window.last - window.first) / axisWidth;
    }
    const double msPerPoint =
        input.baseRateHz > 0 ? 1000.0 * input.divider / input.baseRateHz : 0.0;

    // Time axis.
    const bool timed = input.baseRateHz > 0 && axisWidth > 0;
    if (timed) {
        pic.msPerDivision =
            view.time
                ? static_cast<float>(kPlotMajorDivision * pic.pointsPerPixel * msPerPoint)
                : static_cast<float>(static_cast<double>(n) * kPlotMajorDivision * input.divider *
                                     1000.0 / (axisWidth * kPlotUsableShare * input.baseRateHz));
    }
    std::vector<PlotLabel> timeLabels;
    for (int i = 0; axisWidth >= 0 && i <= axisWidth / kPlotMajorDivision; ++i) {
        const int x = pic.x0 + kPlotMajorDivision * i + 1;
        axis({x, pic.yAxis}, {x, pic.yAxis + kPlotMajorTick});
        if (timed) {
            const float ms = static_cast<float>(i) * pic.msPerDivision;
            timeLabels.push_back({{x, pic.yAxis + kTimeLabelGap},
                                  view.time
                                      ? FormatZoomed(kTimeWidth, kTimeDecimals, pic.msPerDivision,
                                                     window.first * msPerPoint + ms)
                                      : Format("%5.2f", static_cast<double>(ms))});
        }
    }
    for (int i : FittingTimeLabels(timeLabels, width, view.textWidth)) {
        pic.labels.push_back(timeLabels[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; axisWidth >= 0 && i <= axisWidth / kPlotMinorDivision; ++i) {
        const int x = pic.x0 + kPlotMinorDivision * i + 1;
        axis({x, pic.yAxis}, {x, pic.yAxis + kPlotMinorTick});
    }

    // Value axis.
    axis({pic.x0, pic.yAxis}, {pic.x0, pic.yTop});
    for (int i = 0; p >= 0 && i <= p / kPlotMajorDivision; ++i) {
        const int y = pic.yBase - kPlotMajorDivision * i;
        axis({pic.x0, y}, {pic.x0 - kPlotMajorTick, y});
        pic.labels.push_back({{pic.margin / 2, y - kValueLabelRaise}, valueTexts[i]});
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
    if (axisWidth <= 0 || p <= 0) {
        return pic;
    }

    // Traces. The whole record is laid out exactly as it always was (single precision).
    const auto yScale = static_cast<float>(p * kPlotUsableShare / plot.plotSpan);
    const auto xScale = static_cast<float>(axisWidth * kPlotUsableShare / std::max(n, 1));
    auto xOf = [&](double point) {
        return view.time ? pic.x0 + Truncate((point - window.first) / pic.pointsPerPixel)
                         : pic.x0 + Truncate(static_cast<float>(point) * xScale);
    };
    auto yOf = [&](float value) {
        return pic.yBase - Truncate((value - pic.bottomValue) * yScale);
    };
    // A zoomed window draws only its own points and one beyond each edge.
    const double from = view.time ? std::floor(window.first) - kPointsBeyondEdge : 0.0;
    const double to = view.time ? std::ceil(window.last) + kPointsBeyondEdge : kTracePoints;
    if (refN > 0) {
        // Its points lie at its own sample period along this record's time axis.
        const double scale = view.referenceShape.divider / static_cast<double>(input.divider);
        for (int j = 0; j < refN; ++j) {
            const double point = j * scale;
            if (point >= from && point <= to) {
                pic.reference1.push_back({xOf(point), yOf(reference->trace1[j])});
                pic.reference2.push_back({xOf(point), yOf(reference->trace2[j])});
            }
        }
    }
    if (dataValid == 1 && n > 0) {
        plot.xScale = xScale;
        plot.yScale = yScale;
        for (int i = 0; i < n; ++i) {
            if (i >= from && i <= to) {
                const int x = xOf(i);
                pic.trace1.push_back({x, yOf(plot.trace1[i])});
                pic.trace2.push_back({x, yOf(plot.trace2[i])});
            }
        }
    }

    // Marks: the cursors across the plot, the trigger on the time axis.
    auto visible = [&](int x) { return x >= pic.x0 && x <= pic.x1; };
    const std::pair<std::optional<int>, PlotPen> cursors[] = {{view.cursorA, PlotPen::CursorA},
                                                              {view.cursorB, PlotPen::CursorB}};
    for (const auto& [cursor, pen] : cursors) {
        if (cursor && visible(xOf(*cursor))) {
            const int x = xOf(*cursor);
            pic.marks.push_back({pen, {x, pic.yAxis}, {x, pic.yTop}});
            pic.markLabels.push_back({{x + kCursorLabelOffset, kCursorLabelTop},
                                      pen == PlotPen::CursorA ? "A" : "B",
                                      pen});
        }
    }
    if (view.triggerIndex >= 0 && visible(xOf(view.triggerIndex))) {
        // A filled triangle standing on its tip at the trigger's time.
        const int x = xOf(view.triggerIndex);
        for (int k = 0; k <= kPlotTriggerMark; ++k) {
            pic.marks.push_back({PlotPen::Trigger, {x - k, pic.yAxis - k}, {x + k, pic.yAxis - k}});
        }
    }
    return pic;
}

}  // namespace qx
