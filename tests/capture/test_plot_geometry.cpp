// Where the plot and the capture preview put every pixel at the windows' own sizes:
// frame, axes, ticks, labels, the 98 % share of the axes, zoom, cursors and trigger.

#include <gtest/gtest.h>

#include <algorithm>

#include "capture/CapturePreview.h"
#include "capture/WaveformGeometry.h"

namespace qx {
namespace {

constexpr int kW = 600;
constexpr int kH = 400;
using K = CaptureKind;

std::vector<std::string> Labels(const WaveformPicture& pic, bool values) {
    std::vector<std::string> out;
    for (const PlotLabel& l : pic.labels) {
        if (values ? l.at.x == pic.margin / 2 : l.at.y == pic.yAxis + 6) {
            out.push_back(l.text);
        }
    }
    return out;
}

bool Has(const std::vector<PlotLine>& lines, const PlotLine& l) {
    return std::find(lines.begin(), lines.end(), l) != lines.end();
}

TEST(WaveformGeometry, FrameAxesTicksAndLabelsOfA600By400Plot) {
    PlotData plot;
    plot.trace1.fill(5.0f);
    const WaveformPicture pic = ComputeWaveform(kW, kH, {K::Current, 512, 1, 4000}, plot, 0);
    EXPECT_EQ((std::tuple{pic.fieldWidth, pic.fieldHeight, pic.x0, pic.x1, pic.yAxis, pic.yTop,
                          pic.plotHeight, pic.yBase}),
              (std::tuple{598, 398, 40, 599, 375, -1, 373, 374}));
    ASSERT_FALSE(pic.lines.empty());
    EXPECT_EQ(pic.lines[0], (PlotLine{PlotPen::Axis, {40, 375}, {599, 375}}));
    EXPECT_EQ(pic.lines[1], (PlotLine{PlotPen::Axis, {41, 375}, {41, 381}})) << "first major";
    // time axis, 12 major and 56 minor ticks, value axis, 8 major and 38 minor ticks
    const auto count = [&](PlotPen pen) {
        return std::count_if(pic.lines.begin(), pic.lines.end(),
                             [&](const PlotLine& l) { return l.pen == pen; });
    };
    EXPECT_EQ(count(PlotPen::Axis), 1 + 12 + 56 + 1 + 8 + 38);
    EXPECT_EQ(count(PlotPen::Grid), 11 + 7);
    EXPECT_TRUE(Has(pic.lines, {PlotPen::Grid, {91, 375}, {91, -1}}));
    EXPECT_TRUE(Has(pic.lines, {PlotPen::Grid, {40, 324}, {599, 324}}));
    EXPECT_TRUE(Has(pic.lines, {PlotPen::Axis, {40, 374}, {34, 374}}));
    // Without valid data a current plot spans one ampere around zero and draws no trace.
    EXPECT_EQ(plot.plotSpan, 1.0f);
    EXPECT_EQ(plot.plotCentre, 0.0f);
    const auto values = Labels(pic, true);
    ASSERT_EQ(values.size(), 8u);
    EXPECT_EQ(values[0], "-0.51");
    EXPECT_EQ(pic.labels[12].at, (PlotPoint{20, 369}));
    EXPECT_TRUE(pic.trace1.empty() && pic.trace2.empty());
    // 512 points at 4000 Hz over 98 % of 559 pixels: 11.68 ms per 50 pixels.
    const auto times = Labels(pic, false);
    ASSERT_EQ(times.size(), 12u);
    EXPECT_EQ(times[0], " 0.00");
    EXPECT_EQ(pic.labels[0].at, (PlotPoint{41, 381}));
    EXPECT_EQ(times[1], "11.68");
    EXPECT_EQ(times[11], "128.51");  // 550 pixels of 0.23365 ms
}

TEST(WaveformGeometry, SpansMarginsAndTheNinetyEightPerCentOfBothAxes) {
    const struct {
        K kind;
        int n, divider;
        float a, b;  // trace 1 at every point, trace 2 at point 0 (the rest as trace 1)
        float span, centre;
        int margin;
        const char* firstValue;
    } cases[] = {
        {K::Current, 256, 1, 0.3f, 0.3f, 1.0f, 0.3f, 40, "-0.21"},  // flat: a line in the middle
        {K::Speed, 512, 4, 100.0f, 95.0f, 20.0f, 97.5f, 40, "   87"},
        {K::Position, 1, 1, -500000.0f, 500000.0f, 1000000.0f, 0.0f, 45, "-510204"},
        {K::Position, 1, 1, -50000.0f, 50000.0f, 100000.0f, 0.0f, 40, "-51020"},
        {K::Current, 64, 1, 4.0f, -4.0f, 8.0f, 0.0f, 40, "-4.08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstValue);
        PlotData plot;
        plot.trace1.fill(c.a);
        plot.trace2.fill(c.a);
        plot.trace2[0] = c.b;
        const WaveformPicture pic =
            ComputeWaveform(kW, kH, {c.kind, c.n, c.divider, 4000}, plot, 1);
        EXPECT_EQ(plot.plotSpan, c.span);
        EXPECT_FLOAT_EQ(plot.plotCentre, c.centre);
        EXPECT_EQ(pic.margin, c.margin);
        EXPECT_EQ(pic.x0, c.margin);
        EXPECT_EQ(Labels(pic, true)[0], c.firstValue);
        ASSERT_EQ(pic.trace1.size(), static_cast<std::size_t>(c.n));
        EXPECT_FLOAT_EQ(plot.yScale, 373 * 0.98f / c.span);
        const int top = std::min(pic.trace1[0].y, pic.trace2[0].y);
        const int bottom = std::max(pic.trace1[0].y, pic.trace2[0].y);
        if (std::abs(c.a - c.b) == c.span) {
            EXPECT_NEAR(bottom - top, 373 * 0.98, 1.0);
            EXPECT_NEAR(pic.yBase - bottom, 373 * 0.01, 1.0);
        } else if (c.a == c.b) {
            EXPECT_LE(std::abs(top - (pic.yBase - 373 / 2)), 1);
        }
    }
    for (int n : {1, 2, 100, 512, 1000, 1024}) {
        PlotData plot;
        const WaveformPicture pic = ComputeWaveform(kW, kH, {K::Current, n, 1, 4000}, plot, 1);
        ASSERT_EQ(pic.trace1.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(pic.trace1.front().x, pic.x0);
        EXPECT_EQ(pic.trace1.back().x, pic.x0 + static_cast<int>((n - 1) * 559 * 0.98 / n)) << n;
    }
}

TEST(WaveformGeometry, WithoutABaseRatePointsOrRoom) {
    PlotData plot;
    plot.trace1[1] = 3.0e38f;  // wild values stay within integer pixels
    const WaveformPicture noRate = ComputeWaveform(kW, kH, {K::Position, 512, 1, 0}, plot, 1);
    EXPECT_TRUE(Labels(noRate, false).empty()) << "ticks but no numbers";
    EXPECT_EQ(noRate.msPerDivision, 0.0f);
    EXPECT_EQ(Labels(noRate, true).size(), 8u);
    EXPECT_EQ(noRate.trace1.size(), 512u) << "the record is still drawn";
    EXPECT_TRUE(ComputeWaveform(kW, kH, {K::Speed, 0, 1, 4000}, plot, 1).trace1.empty());
    EXPECT_TRUE(ComputeWaveform(20, 20, {K::Speed, 10, 1, 4000}, plot, 1).trace1.empty());
    const WaveformPicture flat = ComputeWaveform(kW, 27, {K::Speed, 10, 1, 4000}, plot, 1);
    EXPECT_EQ(std::pair(flat.plotHeight, flat.unitsPerDivision), std::pair(0, 0.0f)) << "no room";
    // The shared records say what is shown: the tuning request, or the free-running one.
    SharedState state;
    state.identity.baseSampleRateHz = 4000;
    state.loopCaptureRequest.loopKind = 2;
    state.loopCaptureRun.sampleCount = 100;
    state.loopCaptureRun.sampleDivider = 16;
    state.freeRunRequest.monitorType = 1;
    state.freeRunRequest.sampleCount = 300;
    state.freeRunRequest.sampleDivider = 3;
    for (int32_t tuning : {1, 0}) {
        state.loopCaptureRun.tuningActive = tuning;
        const WaveformInput in = WaveformInputOf(state);
        const auto expected =
            tuning ? std::tuple{K::Position, 100, 16} : std::tuple{K::Speed, 300, 3};
        EXPECT_EQ((std::tuple{in.kind, in.count, in.divider}), expected);
        EXPECT_EQ(in.baseRateHz, 4000);
    }
}

// A font whose every character is `px` pixels wide.
TextWidth Monospace(int px) {
    return [px](const std::string& text) { return px * static_cast<int>(text.size()); };
}

TEST(WaveformLabels, OnlyLabelsThatWouldBeCutOrRunTogetherChangeThePicture) {
    // Labels that fit (the last tick 39 pixels from the edge): measured or not, the same.
    PlotData plot;
    plot.trace1.fill(0.5f);
    WaveformView measured;
    measured.textWidth = Monospace(7);
    const WaveformInput current{K::Current, 400, 1, 4000};
    const WaveformPicture plain = ComputeWaveform(580, kH, current, plot, 1);
    const WaveformPicture fitted = ComputeWaveform(580, kH, current, plot, 1, measured);
    EXPECT_EQ(fitted.lines, plain.lines);
    EXPECT_EQ(Labels(fitted, false), Labels(plain, false));
    EXPECT_EQ(fitted.trace1, plain.trace1);
    // -510204 is 49 pixels wide: centred at 45 / 2 it would lose its sign.
    plot.trace1[0] = -500000.0f;
    plot.trace2[0] = 500000.0f;
    EXPECT_EQ(ComputeWaveform(kW, kH, {K::Position, 1, 1, 4000}, plot, 1, measured).margin, 52);
    // 512 current points: the last label, 128.53 at x = 591, would pass the edge.
    plot.trace1.fill(0.5f);
    plot.trace2.fill(0.5f);
    const WaveformInput full{K::Current, 512, 1, 4000};
    const auto times = Labels(ComputeWaveform(kW, kH, full, plot, 1, measured), false);
    ASSERT_EQ(times.size(), 11u);
    EXPECT_EQ(times.back(), "116.83");
    // At 9 pixels a character the value labels need a margin of 48 (11.85 ms a division),
    // and 6-character time labels 50 pixels apart run together: every second is shown.
    measured.textWidth = Monospace(9);
    const WaveformPicture wide = ComputeWaveform(kW, kH, full, plot, 1, measured);
    EXPECT_EQ(wide.margin, 48);
    EXPECT_EQ(Labels(wide, false),
              (std::vector<std::string>{" 0.00", "23.70", "47.41", "71.11", "94.82", "118.52"}));
}

TEST(WaveformView, AZoomedWindowItsLabelsCursorsAndTrigger) {
    PlotData plot;
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        plot.trace1[i] = static_cast<float>(i % 2);
    }
    WaveformView view;
    view.time = PointWindow{100.0, 200.0};
    view.value = ValueWindow{0.0, 2.0};
    view.cursorA = 150;
    view.cursorB = 300;  // outside the window
    view.triggerIndex = 200;
    const WaveformPicture pic = ComputeWaveform(kW, kH, {K::Current, 512, 1, 4000}, plot, 1, view);
    EXPECT_TRUE(pic.zoomed);
    ASSERT_EQ(pic.trace1.size(), 103u) << "points 99 to 201";
    EXPECT_EQ(pic.trace1[1].x, 40);
    EXPECT_EQ(pic.trace1[101].x, 599);
    EXPECT_EQ(pic.trace1[1].y, pic.yBase - static_cast<int>(1.0204f * plot.yScale)) << "0 A";
    EXPECT_NEAR(pic.bottomValue, -1.0204, 1e-4);
    // 25 ms at the axis, 50 pixels of 100 points over 559 pixels apart.
    EXPECT_EQ(Labels(pic, false)[0], "25.00");
    EXPECT_EQ(Labels(pic, false)[1], "27.24");
    EXPECT_EQ(Labels(pic, true)[0], "-1.02");
    ASSERT_EQ(pic.marks.size(), 1u + 7u) << "cursor A and the trigger's triangle";
    EXPECT_EQ(pic.marks[0], (PlotLine{PlotPen::CursorA, {40 + 279, 375}, {40 + 279, -1}}));
    EXPECT_EQ(pic.marks[1], (PlotLine{PlotPen::Trigger, {599, 375}, {599, 375}})) << "its tip";
    EXPECT_EQ(pic.marks[7], (PlotLine{PlotPen::Trigger, {593, 369}, {605, 369}}));
    EXPECT_EQ(pic.markLabels[0].at, (PlotPoint{40 + 279 + 7, 1}))
        << "beside the cursor, at the top";
    EXPECT_EQ(pic.markLabels[0].text, "A");
    // The whole record: marks at its first point show; zoomed positions keep labels six wide.
    WaveformView whole;
    whole.cursorB = 0;
    whole.triggerIndex = 0;
    const WaveformPicture first =
        ComputeWaveform(kW, kH, {K::Current, 512, 1, 4000}, plot, 1, whole);
    ASSERT_EQ(first.marks.size(), 1u + 7u);
    EXPECT_EQ(first.marks[0], (PlotLine{PlotPen::CursorB, {40, 375}, {40, -1}}));
    EXPECT_EQ(first.markLabels[0].text, "B");
    view.value = ValueWindow{0.0, 100000.0};
    EXPECT_EQ(Labels(ComputeWaveform(kW, kH, {K::Position, 512, 16, 4000}, plot, 1, view), true)[0],
              "-51020")
        << "100000 / 0.98 / 2 below the centre";
}

TEST(CapturePreview, TheDefaultSettingsAndTheStretchsCoordinates) {
    const struct {
        float position;
        int count, rate, lasting, s, w;
    } defaults[] = {{0.96f, 512, 4000, 300, 134, 29},   // current
                    {0.95f, 512, 1000, 500, 132, 71},   // speed
                    {0.95f, 512, 250, 1000, 132, 88}};  // position: 132 + 143 passes 210
    for (const auto& d : defaults) {
        const CapturePreview p =
            ComputeCapturePreview(0, 0, 400, 300, d.position, d.count, d.rate, d.lasting);
        EXPECT_TRUE(p.hasStretch);
        EXPECT_EQ(std::pair(p.s, p.w), std::pair(d.s, d.w)) << d.rate;
    }
    EXPECT_EQ(ComputeCapturePreview(0, 0, 400, 300, 0.95f, 512, 250, 1000).lines[14],
              (PreviewLine{PreviewPen::Stretch, 260, 270, 260, 30}))
        << "the stretch ends at L + 260";
    const CapturePreview p = ComputeCapturePreview(10, 20, 410, 320, 0.5f, 100, 1000, 100);
    const int m = 170;
    ASSERT_EQ(p.lines.size(), 13u + 7u);
    const std::pair<int, PreviewLine> lines[] = {
        {0, {PreviewPen::Excitation, 50, m, 360, m}},
        {2, {PreviewPen::Excitation, 360, m, 355, m - 5}},
        {3, {PreviewPen::Excitation, 50, 40, 50, 300}},
        {6, {PreviewPen::Excitation, 50, m - 60, 120, m - 60}},
        {8, {PreviewPen::Excitation, 120, m + 60, 190, m + 60}},
        {11, {PreviewPen::Excitation, 260, m - 60, 260, m + 60}},
        {12, {PreviewPen::Continuation, 260, m + 60, 310, m + 60}},
        // 0.5 starts at the second level; 100 ms of a 100 ms level is 70 pixels.
        {13, {PreviewPen::Stretch, 120, m + 120, 120, m - 120}},
        {14, {PreviewPen::Stretch, 190, m + 120, 190, m - 120}},
        {15, {PreviewPen::Stretch, 120, m - 100, 190, m - 100}},
        {16, {PreviewPen::Stretch, 120, m - 100, 125, m - 95}},
        {19, {PreviewPen::Stretch, 190, m - 100, 185, m - 105}},
    };
    for (const auto& [i, line] : lines) {
        EXPECT_EQ(p.lines[i], line) << i;
    }
    const CapturePreview none = ComputeCapturePreview(0, 0, 400, 300, 0.96f, 512, 0, 300);
    EXPECT_FALSE(none.hasStretch);
    EXPECT_EQ(none.lines.size(), 13u) << "no sample rate: no stretch";
}

}  // namespace
}  // namespace qx
