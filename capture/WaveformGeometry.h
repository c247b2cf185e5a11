#pragma once

#include <cstdint>
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

enum class PlotPen { Axis, Grid, Channel1, Channel2 };

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

// Lays out the plot of `plot` on a `width` x `height` control and stores the scale in
// `plot`. Without a base rate the time axis keeps its ticks but has no labels: no
// duration can be given to the points.
WaveformPicture ComputeWaveform(int width, int height, const WaveformInput& input, PlotData& plot,
                                int dataValid);

}  // namespace qx
