#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/DecodeSamples.h"
#include "capture/PlotData.h"

namespace qx {

struct PlotColour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const PlotColour&) const = default;
};

inline constexpr PlotColour kPlotFieldColour{255, 255, 128};
inline constexpr PlotColour kPlotAxisColour{0, 0, 0};
inline constexpr PlotColour kPlotGridColour{180, 180, 180};
inline constexpr PlotColour kPlotChannel1Colour{0, 0, 255};
inline constexpr PlotColour kPlotChannel2Colour{0, 200, 150};
// A held reference record: the channels' colours faded towards the field.
inline constexpr PlotColour kPlotReference1Colour{170, 170, 235};
inline constexpr PlotColour kPlotReference2Colour{150, 215, 170};
inline constexpr PlotColour kPlotCursorAColour{215, 0, 0};
inline constexpr PlotColour kPlotCursorBColour{190, 0, 190};
inline constexpr PlotColour kPlotTriggerColour{215, 0, 0};
inline constexpr const char* kPlotFontFamily = "Arial";
inline constexpr int kPlotFontHeightPx = 14;

inline constexpr int kPlotBottomMargin = 25;
inline constexpr int kPlotLeftMargin = 40;
inline constexpr int kPlotPixelsPerPositionDecade = 9;
inline constexpr int kPlotMajorDivision = 50;
inline constexpr int kPlotMinorDivision = 10;
inline constexpr int kPlotMajorTick = 6;
inline constexpr int kPlotMinorTick = 3;
inline constexpr double kPlotUsableShare = 0.98;
inline constexpr float kMinSpanCurrent = 1.0f;
inline constexpr float kMinSpanSpeedPosition = 20.0f;
// Labels nearer to each other than this run together.
inline constexpr int kPlotLabelGap = 4;
// Half the width (and the height) of the trigger's mark on the time axis.
inline constexpr int kPlotTriggerMark = 6;

enum class PlotPen {
    Axis,
    Grid,
    Channel1,
    Channel2,
    Reference1,
    Reference2,
    CursorA,
    CursorB,
    Trigger
};

struct PlotPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PlotPoint&) const = default;
};

struct PlotLine {
    PlotPen pen = PlotPen::Axis;
    PlotPoint from;
    PlotPoint to;
    bool operator==(const PlotLine&) const = default;
};

// A label centred horizontally on `at`, its top at `at.y`.
struct PlotLabel {
    PlotPoint at;
    std::string text;
    PlotPen pen = PlotPen::Axis;
};

// Everything the plot shows, in pixels of the plot control's client area: a painter
// fills the field, draws the lines and the labels in order, then the two traces.
struct WaveformPicture {
    int width = 0;
    int height = 0;
    // The field: from (1, 1), two pixels narrower and lower than the picture.
    int fieldLeft = 1;
    int fieldTop = 1;
    int fieldWidth = 0;
    int fieldHeight = 0;
    int margin = kPlotLeftMargin;
    int x0 = 0;
    int x1 = 0;
    int yAxis = 0;
    int yTop = 0;
    int yBase = 0;
    int plotHeight = 0;
    float msPerDivision = 0.0f;  // 0 when the base rate is unknown
    float unitsPerDivision = 0.0f;
    float bottomValue = 0.0f;
    std::vector<PlotLine> lines;  // axes and ticks (axis pen), then the grid (grid pen)
    std::vector<PlotLabel> labels;
    std::vector<PlotPoint> trace1;  // empty unless the data is valid
    std::vector<PlotPoint> trace2;

    // Beyond the plain plot (empty unless asked for): a reference record, drawn under the
    // traces, and the cursors' and the trigger's marks with their labels, drawn over them.
    std::vector<PlotPoint> reference1;
    std::vector<PlotPoint> reference2;
    std::vector<PlotLine> marks;
    std::vector<PlotLabel> markLabels;
    // Zoomed in: the traces are to be clipped to the axes' rectangle.
    bool zoomed = false;

    // What the pixels stand for: the point at x is firstPoint + (x - x0) *
    // pointsPerPixel, the value at y is bottomValue + (yBase - y) * valuesPerPixel. The
    // whole record spans wholePoints (N / 0.98) across the axis; the values shown are
    // valueSpan around valueCentre.
    double firstPoint = 0.0;
    double pointsPerPixel = 0.0;
    double valuesPerPixel = 0.0;
    double wholePoints = 0.0;
    double valueCentre = 0.0;
    double valueSpan = 0.0;
};

// What the plot needs beyond the traces.
struct WaveformInput {
    CaptureKind kind = CaptureKind::Current;
    int count = 0;           // N, points in the record
    int divider = 1;         // D
    int32_t baseRateHz = 0;  // R
};

// The input the shared records describe (tuning or free-running capture).
WaveformInput WaveformInputOf(const SharedState& state);
// The input of a record as it was captured.
WaveformInput WaveformInputOf(const RecordShape& shape);

// A stretch of the record shown across the time axis, in points (fractions allowed).
struct PointWindow {
    double first = 0.0;
    double last = 0.0;
    bool operator==(const PointWindow&) const = default;
};

// Values shown up the value axis: `span` over 98 % of the height around `centre`, as a
// record's extremes are shown.
struct ValueWindow {
    double centre = 0.0;
    double span = 0.0;
    bool operator==(const ValueWindow&) const = default;
};

// Width in pixels of a text in the plot's font.
using TextWidth = std::function<int(const std::string&)>;

// What the engineer asked of the plot beyond the record itself. Left empty, the plot is
// drawn exactly as it always was.
struct WaveformView {
    std::optional<PointWindow> time;   // zoomed or panned; none: the whole record
    std::optional<ValueWindow> value;  // none: the record's extremes
    // A held record drawn dimmed under the traces, along the same time axis.
    const PlotData* reference = nullptr;
    RecordShape referenceShape;
    std::optional<int> cursorA;  // points of the record
    std::optional<int> cursorB;
    int triggerIndex = -1;  // the point a free-running trigger fired at; -1: none
    // With it, labels get the room they need: the left margin grows for a value label
    // that would be clipped, and only every second (fifth ...) time tick is labelled
    // where the labels would run together; a time label the right edge would cut is
    // left out. Where every label fits, nothing moves.
    TextWidth textWidth;
};

// Lays out the plot of `plot` on a `width` x `height` control and stores the scale in
// `plot`. Without a base rate the time axis keeps its ticks but has no labels: no
// duration can be given to the points.
WaveformPicture ComputeWaveform(int width, int height, const WaveformInput& input, PlotData& plot,
                                int dataValid, const WaveformView& view = {});

}  // namespace qx
