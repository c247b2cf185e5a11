// Where the plot and the capture preview put every pixel: scales, spans, margins,
// labels, the 98 % share of the axes, and what happens without a base rate.

#include <gtest/gtest.h>

#include <algorithm>

#include "capture/CapturePreview.h"
#include "capture/WaveformGeometry.h"

namespace qx {
namespace {

constexpr int kW = 600;
constexpr int kH = 400;

WaveformInput Input(CaptureKind kind, int n, int divider = 1, int32_t rate = 4000) {
    return {kind, n, divider, rate};
}

std::vector<PlotLabel> ValueLabels(const WaveformPicture& pic) {
    std::vector<PlotLabel> out;
    for (const PlotLabel& l : pic.labels) {
        if (l.at.x == pic.margin / 2) {
            out.push_back(l);
        }
    }
    return out;
}

std::vector<PlotLabel> TimeLabels(const WaveformPicture& pic) {
    std::vector<PlotLabel> out;
    for (const PlotLabel& l : pic.labels) {
        if (l.at.y == pic.yAxis + 6) {
            out.push_back(l);
        }
    }
    return out;
}

TEST(WaveformGeometry, FrameAxesAndTicksOfA600By400Plot) {
    PlotData plot;
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Current, 512), plot, 0);
    EXPECT_EQ(pic.fieldWidth, 598);
    EXPECT_EQ(pic.fieldHeight, 398);
    EXPECT_EQ(pic.x0, 40);
    EXPECT_EQ(pic.x1, 599);
    EXPECT_EQ(pic.yAxis, 375);
    EXPECT_EQ(pic.yTop, -1);
    EXPECT_EQ(pic.plotHeight, 373);
    EXPECT_EQ(pic.yBase, 374);
    ASSERT_FALSE(pic.lines.empty());
    EXPECT_EQ(pic.lines[0], (PlotLine{PlotPen::Axis, {40, 375}, {599, 375}}));
    EXPECT_EQ(pic.lines[1], (PlotLine{PlotPen::Axis, {41, 375}, {41, 381}})) << "first major";
    const auto axis = std::count_if(pic.lines.begin(), pic.lines.end(),
                                    [](const PlotLine& l) { return l.pen == PlotPen::Axis; });
    // time axis, 12 major and 56 minor ticks, value axis, 8 major and 38 minor ticks
    EXPECT_EQ(axis, 1 + 12 + 56 + 1 + 8 + 38);
    const auto grid = std::count_if(pic.lines.begin(), pic.lines.end(),
                                    [](const PlotLine& l) { return l.pen == PlotPen::Grid; });
    EXPECT_EQ(grid, 11 + 7);
    EXPECT_NE(
        std::find(pic.lines.begin(), pic.lines.end(), PlotLine{PlotPen::Grid, {91, 375}, {91, -1}}),
        pic.lines.end());
    EXPECT_NE(std::find(pic.lines.begin(), pic.lines.end(),
                        PlotLine{PlotPen::Grid, {40, 324}, {599, 324}}),
              pic.lines.end());
    EXPECT_NE(std::find(pic.lines.begin(), pic.lines.end(),
                        PlotLine{PlotPen::Axis, {40, 374}, {34, 374}}),
              pic.lines.end());
}

TEST(WaveformGeometry, WithoutValidDataACurrentPlotSpansOneAmpereAroundZero) {
    PlotData plot;
    plot.trace1.fill(5.0f);
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Current, 512), plot, 0);
    EXPECT_EQ(plot.plotSpan, 1.0f);
    EXPECT_EQ(plot.plotCentre, 0.0f);
    const auto values = ValueLabels(pic);
    ASSERT_EQ(values.size(), 8u);
    EXPECT_EQ(values[0].text, "-0.51");
    EXPECT_EQ(values[0].at, (PlotPoint{20, 369}));
    EXPECT_TRUE(pic.trace1.empty());
    EXPECT_TRUE(pic.trace2.empty());
}

TEST(WaveformGeometry, AFlatCurrentIsALineThroughTheMiddle) {
    PlotData plot;
    plot.trace1.fill(0.3f);
    plot.trace2.fill(0.3f);
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Current, 256), plot, 1);
    EXPECT_EQ(plot.plotSpan, 1.0f);
    EXPECT_FLOAT_EQ(plot.plotCentre, 0.3f);
    ASSERT_EQ(pic.trace1.size(), 256u);
    const int middle = pic.yBase - pic.plotHeight / 2;
    for (const PlotPoint& p : pic.trace1) {
        ASSERT_EQ(p.y, pic.trace1[0].y);
    }
    EXPECT_LE(std::abs(pic.trace1[0].y - middle), 1);
    EXPECT_EQ(pic.trace2, pic.trace1);
}

TEST(WaveformGeometry, ASpeedRecordWithinTwentyRpmSpansTwenty) {
    PlotData plot;
    for (int i = 0; i < 512; ++i) {
        plot.trace1[i] = 100.0f + static_cast<float>(i % 7);
        plot.trace2[i] = 95.0f;
    }
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Speed, 512, 4), plot, 1);
    EXPECT_EQ(plot.plotSpan, 20.0f);
    EXPECT_EQ(plot.plotCentre, 100.5f);
    EXPECT_EQ(ValueLabels(pic)[0].text.size(), 5u) << "\"%5.0f\"";
    EXPECT_EQ(pic.margin, 40);
}

TEST(WaveformGeometry, PositionMarginGrowsWithTheDecadesOfTheSpan) {
    PlotData plot;
    plot.trace1[0] = -500000.0f;
    plot.trace2[0] = 500000.0f;
    WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Position, 1), plot, 1);
    EXPECT_EQ(pic.margin, 45);
    EXPECT_EQ(pic.x0, 45);
    EXPECT_EQ(ValueLabels(pic)[0].at.x, 22);
    EXPECT_EQ(ValueLabels(pic)[0].text, "-510204") << "\"%6.0f\"";

    plot.trace1[0] = -50000.0f;
    plot.trace2[0] = 50000.0f;
    pic = ComputeWaveform(kW, kH, Input(CaptureKind::Position, 1), plot, 1);
    EXPECT_EQ(pic.margin, 40);
}

TEST(WaveformGeometry, TimeLabelsStartAtZeroAndTheLastTickIsNearTheEnd) {
    PlotData plot;
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Current, 512), plot, 1);
    const auto times = TimeLabels(pic);
    ASSERT_EQ(times.size(), 12u);
    EXPECT_EQ(times[0].text, " 0.00");
    EXPECT_EQ(times[0].at, (PlotPoint{41, 381}));
    // 512 points at 4000 Hz over 98 % of 559 pixels: 11.68 ms per 50 pixels.
    EXPECT_EQ(times[1].text, "11.68");
    EXPECT_LT(pic.x1 - times.back().at.x, 50);
    EXPECT_GE(pic.x1 - times.back().at.x, 0);
}

TEST(WaveformGeometry, TracesUse98PercentOfTheWidth) {
    for (int n : {1, 2, 100, 512, 1000, 1024}) {
        SCOPED_TRACE(n);
        PlotData plot;
        for (int i = 0; i < n; ++i) {
            plot.trace1[i] = static_cast<float>(i % 13);
        }
        const WaveformPicture pic =
            ComputeWaveform(kW, kH, Input(CaptureKind::Current, n), plot, 1);
        ASSERT_EQ(pic.trace1.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(pic.trace1.front().x, pic.x0);
        EXPECT_EQ(pic.trace1.back().x, pic.x0 + static_cast<int>((n - 1) * 559 * 0.98 / n));
        EXPECT_LT(pic.trace1.back().x, pic.x1);
    }
}

TEST(WaveformGeometry, TheExtremesFillNinetyEightPercentOfTheHeight) {
    PlotData plot;
    plot.trace1.fill(0.0f);
    plot.trace2.fill(0.0f);
    plot.trace1[10] = 4.0f;
    plot.trace2[20] = -4.0f;
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Current, 64), plot, 1);
    EXPECT_EQ(plot.plotSpan, 8.0f);
    EXPECT_FLOAT_EQ(plot.yScale, 373 * 0.98f / 8.0f);
    const int top = pic.trace1[10].y;
    const int bottom = pic.trace2[20].y;
    EXPECT_NEAR(bottom - top, 373 * 0.98, 1.0);
    EXPECT_NEAR(pic.yBase - bottom, 373 * 0.01, 1.0);
}

TEST(WaveformGeometry, WithoutABaseRateTheTimeAxisHasTicksButNoNumbers) {
    PlotData plot;
    const WaveformPicture pic =
        ComputeWaveform(kW, kH, Input(CaptureKind::Current, 512, 1, 0), plot, 1);
    EXPECT_TRUE(TimeLabels(pic).empty());
    EXPECT_EQ(pic.msPerDivision, 0.0f);
    EXPECT_EQ(ValueLabels(pic).size(), 8u);
    EXPECT_EQ(pic.trace1.size(), 512u) << "the record is still drawn";
}

TEST(WaveformGeometry, NoPointsAndTinyControlsDrawNoTraces) {
    PlotData plot;
    EXPECT_TRUE(ComputeWaveform(kW, kH, Input(CaptureKind::Speed, 0), plot, 1).trace1.empty());
    const WaveformPicture tiny = ComputeWaveform(20, 20, Input(CaptureKind::Speed, 10), plot, 1);
    EXPECT_TRUE(tiny.trace1.empty());
}

TEST(WaveformGeometry, WildValuesStayWithinIntegerPixels) {
    PlotData plot;
    plot.trace1.fill(0.0f);
    plot.trace1[1] = 3.0e38f;
    const WaveformPicture pic = ComputeWaveform(kW, kH, Input(CaptureKind::Position, 4), plot, 1);
    EXPECT_EQ(pic.trace1.size(), 4u);
}

TEST(CapturePreview, TheThreeDefaultSettings) {
    // Current: 4000 Hz, 512 samples, 300 ms, 0.96.
    CapturePreview p = ComputeCapturePreview(0, 0, 400, 300, 0.96f, 512, 4000, 300);
    EXPECT_TRUE(p.hasStretch);
    EXPECT_EQ(p.s, 134);
    EXPECT_EQ(p.w, 29);
    // Speed: 1000 Hz, 512 samples, 500 ms, 0.95.
    p = ComputeCapturePreview(0, 0, 400, 300, 0.95f, 512, 1000, 500);
    EXPECT_EQ(p.s, 132);
    EXPECT_EQ(p.w, 71);
    // Position: 250 Hz, 512 samples, 1000 ms, 0.95: 132 + 143 passes 210.
    p = ComputeCapturePreview(0, 0, 400, 300, 0.95f, 512, 250, 1000);
    EXPECT_EQ(p.s, 132);
    EXPECT_EQ(p.w, 88);
    EXPECT_EQ(p.lines[14], (PreviewLine{PreviewPen::Stretch, 260, 270, 260, 30}))
        << "the stretch ends at L + 260";
}

TEST(CapturePreview, ExcitationAxesAndStretchCoordinates) {
    const CapturePreview p = ComputeCapturePreview(10, 20, 410, 320, 0.5f, 100, 1000, 100);
    const int m = 170;
    ASSERT_EQ(p.lines.size(), 13u + 7u);
    EXPECT_EQ(p.lines[0], (PreviewLine{PreviewPen::Excitation, 50, m, 360, m}));
    EXPECT_EQ(p.lines[2], (PreviewLine{PreviewPen::Excitation, 360, m, 355, m - 5}));
    EXPECT_EQ(p.lines[3], (PreviewLine{PreviewPen::Excitation, 50, 40, 50, 300}));
    EXPECT_EQ(p.lines[6], (PreviewLine{PreviewPen::Excitation, 50, m - 60, 120, m - 60}));
    EXPECT_EQ(p.lines[11], (PreviewLine{PreviewPen::Excitation, 260, m - 60, 260, m + 60}));
    EXPECT_EQ(p.lines[12], (PreviewLine{PreviewPen::Continuation, 260, m + 60, 310, m + 60}));
    // 0.5 starts at the second level; 100 ms of a 100 ms level is 70 pixels.
    EXPECT_EQ(p.s, 70);
    EXPECT_EQ(p.w, 70);
    EXPECT_EQ(p.lines[13], (PreviewLine{PreviewPen::Stretch, 120, m + 120, 120, m - 120}));
    EXPECT_EQ(p.lines[14], (PreviewLine{PreviewPen::Stretch, 190, m + 120, 190, m - 120}));
    EXPECT_EQ(p.lines[15], (PreviewLine{PreviewPen::Stretch, 120, m - 100, 190, m - 100}));
    EXPECT_EQ(p.lines[16], (PreviewLine{PreviewPen::Stretch, 120, m - 100, 125, m - 95}));
    EXPECT_EQ(p.lines[19], (PreviewLine{PreviewPen::Stretch, 190, m - 100, 185, m - 105}));
}

TEST(CapturePreview, WithoutASampleRateNoStretchIsDrawn) {
    const CapturePreview p = ComputeCapturePreview(0, 0, 400, 300, 0.96f, 512, 0, 300);
    EXPECT_FALSE(p.hasStretch);
    EXPECT_EQ(p.lines.size(), 13u);
    for (const PreviewLine& l : p.lines) {
        EXPECT_NE(l.pen, PreviewPen::Stretch);
    }
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

// A font whose every character is `px` pixels wide.
TextWidth Monospace(int px) {
    return [px](const std::string& text) { return px * static_cast<int>(text.size()); };
}

std::vector<std::string> Texts(const std::vector<PlotLabel>& labels) {
    std::vector<std::string> out;
    for (const PlotLabel& l : labels) {
        out.push_back(l.text);
    }
    return out;
}

TEST(WaveformLabels, OnlyLabelsThatWouldBeCutOrRunTogetherChangeThePicture) {
    // Labels that fit (the last tick 39 pixels from the edge): measured or not, the same.
    PlotData plot;
    plot.trace1.fill(0.5f);
    WaveformView measured;
    measured.textWidth = Monospace(7);
    const WaveformInput current{CaptureKind::Current, 400, 1, 4000};
    const WaveformPicture plain = ComputeWaveform(580, kH, current, plot, 1);
    const WaveformPicture fitted = ComputeWaveform(580, kH, current, plot, 1, measured);
    EXPECT_EQ(fitted.lines, plain.lines);
    EXPECT_EQ(Texts(fitted.labels), Texts(plain.labels));
    EXPECT_EQ(fitted.trace1, plain.trace1);

    // -510204 is 49 pixels wide: centred at 45 / 2 it would lose its sign.
    plot.trace1[0] = -500000.0f;
    plot.trace2[0] = 500000.0f;
    const WaveformInput position{CaptureKind::Position, 1, 1, 4000};
    EXPECT_EQ(ComputeWaveform(kW, kH, position, plot, 1, measured).margin, 52);
    EXPECT_EQ(ComputeWaveform(kW, kH, position, plot, 1).margin, 45);

    // 512 current points: the last label, 128.53 at x = 591, would pass the edge.
    plot.trace1.fill(0.5f);
    plot.trace2.fill(0.5f);
    const WaveformInput full{CaptureKind::Current, 512, 1, 4000};
    auto times = TimeLabels(ComputeWaveform(kW, kH, full, plot, 1, measured));
    ASSERT_EQ(times.size(), 11u);
    EXPECT_EQ(times.back().text, "116.83");
    // At 9 pixels a character the value labels need a margin of 48 (11.85 ms a division),
    // and 6-character time labels 50 pixels apart run together: every second is shown.
    measured.textWidth = Monospace(9);
    const WaveformPicture wide = ComputeWaveform(kW, kH, full, plot, 1, measured);
    EXPECT_EQ(wide.margin, 48);
    EXPECT_EQ(Texts(TimeLabels(wide)),
              (std::vector<std::string>{" 0.00", "23.70", "47.41", "71.11", "94.82", "118.52"}));
}

TEST(WaveformView, AZoomedWindowItsLabelsCursorsAndTrigger) {
    PlotData plot;
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        plot.trace1[i] = static_cast<float>(i % 2);
    }
    const WaveformInput input{CaptureKind::Current, 512, 1, 4000};
    WaveformView view;
    view.time = PointWindow{100.0, 200.0};
    view.value = ValueWindow{0.0, 2.0};
    view.cursorA = 150;
    view.cursorB = 300;  // outside the window
    view.triggerIndex = 200;
    const WaveformPicture pic = ComputeWaveform(kW, kH, input, plot, 1, view);
    EXPECT_TRUE(pic.zoomed);
    ASSERT_EQ(pic.trace1.size(), 103u) << "points 99 to 201";
    EXPECT_EQ(pic.trace1[1].x, 40);
    EXPECT_EQ(pic.trace1[101].x, 599);
    EXPECT_EQ(pic.trace1[1].y, pic.yBase - static_cast<int>(1.0204f * plot.yScale)) << "0 A";
    EXPECT_NEAR(pic.bottomValue, -1.0204, 1e-4);
    // 25 ms at the axis, 50 pixels of 100 points over 559 pixels apart.
    EXPECT_EQ(TimeLabels(pic)[0].text, "25.00");
    EXPECT_EQ(TimeLabels(pic)[1].text, "27.24");
    EXPECT_EQ(ValueLabels(pic)[0].text, "-1.02");
    ASSERT_EQ(pic.marks.size(), 1u + 7u) << "cursor A and the trigger's triangle";
    EXPECT_EQ(pic.marks[0], (PlotLine{PlotPen::CursorA, {40 + 279, 375}, {40 + 279, -1}}));
    EXPECT_EQ(pic.marks[1], (PlotLine{PlotPen::Trigger, {599, 375}, {599, 375}})) << "its tip";
    EXPECT_EQ(pic.marks[7], (PlotLine{PlotPen::Trigger, {593, 369}, {605, 369}}));
    EXPECT_EQ(pic.markLabels[0].at, (PlotPoint{40 + 279 + 7, 1}))
        << "beside the cursor, at the top";
    EXPECT_EQ(pic.markLabels[0].text, "A");
    // Zoomed positions keep their labels six wide ("%6.0f" for divisions of 13679).
    view.value = ValueWindow{0.0, 100000.0};
    const WaveformInput position{CaptureKind::Position, 512, 16, 4000};
    EXPECT_EQ(ValueLabels(ComputeWaveform(kW, kH, position, plot, 1, view))[0].text, "-51020")
        << "100000 / 0.98 / 2 below the centre";
}

}  // namespace
}  // namespace qx
