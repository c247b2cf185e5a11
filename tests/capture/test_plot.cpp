// Where the plot and the capture preview put every pixel at the windows' own sizes (frame,
// axes, ticks, labels, the 98 % share of the axes, zoom, cursors and trigger), the plot as
// the engineer handles it (zoom around the pointer, panning, cursors, the reference), and
// the lines under the plot.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "capture/CapturePreview.h"
#include "capture/PlotView.h"
#include "capture/ScopeTexts.h"

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

TEST(WaveformGeometry, FrameAxesTicksLabelsSpansAndTheNinetyEightPerCentOfBothAxes) {
    const struct {
        K kind;
        int n, divider, valid;
        float a, b;  // trace 1 at every point, trace 2 at point 0 (the rest as trace 1)
        float span, centre;
        int margin;
        const char* firstValue;
    } cases[] = {
        {K::Current, 512, 1, 0, 5.0f, 5.0f, 1.0f, 0.0f, 40, "-0.51"},  // no data: 1 A around 0
        {K::Current, 256, 1, 1, 0.3f, 0.3f, 1.0f, 0.3f, 40, "-0.21"},  // flat: a line in the middle
        {K::Speed, 512, 4, 1, 100.0f, 95.0f, 20.0f, 97.5f, 40, "   87"},
        {K::Position, 1, 1, 1, -500000.0f, 500000.0f, 1000000.0f, 0.0f, 45, "-510204"},
        {K::Position, 1, 1, 1, -50000.0f, 50000.0f, 100000.0f, 0.0f, 40, "-51020"},
        {K::Current, 64, 1, 1, 4.0f, -4.0f, 8.0f, 0.0f, 40, "-4.08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstValue);
        PlotData plot;
        plot.trace1.fill(c.a);
        plot.trace2.fill(c.a);
        plot.trace2[0] = c.b;
        const WaveformPicture pic =
            ComputeWaveform(kW, kH, {c.kind, c.n, c.divider, 4000}, plot, c.valid);
        EXPECT_EQ((std::tuple{plot.plotSpan, pic.x0, Labels(pic, true)[0]}),
                  (std::tuple{c.span, c.margin, c.firstValue}));
        EXPECT_FLOAT_EQ(plot.plotCentre, c.centre);
        ASSERT_EQ(pic.trace1.size(), static_cast<std::size_t>(c.valid * c.n)) << "no data: none";
        if (c.valid == 0) {
            continue;
        }
        const int top = std::min(pic.trace1[0].y, pic.trace2[0].y);
        const int bottom = std::max(pic.trace1[0].y, pic.trace2[0].y);
        if (std::abs(c.a - c.b) == c.span) {
            EXPECT_NEAR(bottom - top, 373 * 0.98, 1.0);
            EXPECT_NEAR(pic.yBase - bottom, 373 * 0.01, 1.0);
        } else if (c.a == c.b) {
            EXPECT_LE(std::abs(top - (pic.yBase - 373 / 2)), 1);
        }
    }
    PlotData plot;  // 1023 steps over 98 % of 559 pixels
    EXPECT_EQ(ComputeWaveform(kW, kH, {K::Current, 1024, 1, 4000}, plot, 1).trace1.back().x, 587);
    const WaveformPicture pic = ComputeWaveform(kW, kH, {K::Current, 512, 1, 4000}, plot, 0);
    EXPECT_EQ((std::tuple{pic.fieldWidth, pic.fieldHeight, pic.x1, pic.yAxis, pic.yTop,
                          pic.plotHeight, pic.yBase}),
              (std::tuple{598, 398, 599, 375, -1, 373, 374}));
    ASSERT_GT(pic.lines.size(), 1u);
    EXPECT_EQ(pic.lines[1], (PlotLine{PlotPen::Axis, {41, 375}, {41, 381}})) << "first major";
    // Time axis, 12 major and 56 minor ticks, value axis, 8 major and 38 minor ticks.
    const auto count = [&](PlotPen pen) {
        return std::count_if(pic.lines.begin(), pic.lines.end(),
                             [&](const PlotLine& l) { return l.pen == pen; });
    };
    EXPECT_EQ(std::pair(count(PlotPen::Axis), count(PlotPen::Grid)),
              std::pair(1 + 12 + 56 + 1 + 8 + 38l, 11 + 7l));
    // 512 points at 4000 Hz over 98 % of 559 pixels: 11.68 ms per 50 pixels.
    const auto times = Labels(pic, false);
    ASSERT_EQ(std::pair(Labels(pic, true).size(), times.size()), std::pair(8ul, 12ul));
    EXPECT_EQ((std::tuple{pic.labels[12].at, times[0], pic.labels[0].at, times[1], times[11]}),
              (std::tuple{PlotPoint{20, 369}, " 0.00", PlotPoint{41, 381}, "11.68", "128.51"}));
}

TEST(WaveformGeometry, WithoutABaseRatePointsOrRoom) {
    PlotData plot;
    plot.trace1[1] = 3.0e38f;  // wild values stay within integer pixels
    const WaveformPicture noRate = ComputeWaveform(kW, kH, {K::Position, 512, 1, 0}, plot, 1);
    EXPECT_EQ((std::tuple{Labels(noRate, false).size(), noRate.msPerDivision,
                          Labels(noRate, true).size(), noRate.trace1.size()}),
              (std::tuple{0ul, 0.0f, 8ul, 512ul}))
        << "ticks but no time labels; the record is still drawn";
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
    state.freeRunRequest = {0.0f, 0, 0, 3, 300, 1};  // divider, count, speed
    state.loopCaptureRun.tuningActive = 1;
    const WaveformInput t = WaveformInputOf(state);
    state.loopCaptureRun.tuningActive = 0;
    const WaveformInput f = WaveformInputOf(state);
    EXPECT_EQ(std::tuple(t.kind, t.count, t.divider, f.kind, f.count, f.divider, f.baseRateHz),
              std::tuple(K::Position, 100, 16, K::Speed, 300, 3, 4000));
}

TEST(WaveformLabels, OnlyLabelsThatWouldBeCutOrRunTogetherChangeThePicture) {
    // Labels that fit (the last tick 39 pixels from the edge): measured or not, the same.
    PlotData plot;
    plot.trace1.fill(0.5f);
    WaveformView measured;  // a font whose every character is 7 pixels wide
    measured.textWidth = [](const std::string& text) { return 7 * static_cast<int>(text.size()); };
    const WaveformInput current{K::Current, 400, 1, 4000};
    const WaveformPicture plain = ComputeWaveform(580, kH, current, plot, 1);
    const WaveformPicture fitted = ComputeWaveform(580, kH, current, plot, 1, measured);
    EXPECT_EQ(std::tuple(fitted.lines, Labels(fitted, false), fitted.trace1),
              std::tuple(plain.lines, Labels(plain, false), plain.trace1));
    // -510204 is 49 pixels wide: centred at 45 / 2 it would lose its sign.
    plot.trace1[0] = -500000.0f;
    plot.trace2[0] = 500000.0f;
    EXPECT_EQ(ComputeWaveform(kW, kH, {K::Position, 1, 1, 4000}, plot, 1, measured).margin, 52);
    // 512 current points: the last label, 128.53 at x = 591, would pass the edge.
    plot.trace1.fill(0.5f);
    plot.trace2.fill(0.5f);
    const WaveformInput full{K::Current, 512, 1, 4000};
    const auto times = Labels(ComputeWaveform(kW, kH, full, plot, 1, measured), false);
    EXPECT_EQ(std::pair(times.size(), times.back()), std::pair(11ul, std::string("116.83")));
    // At 9 pixels a character the value labels need a margin of 48 (11.85 ms a division),
    // and 6-character time labels 50 pixels apart run together: every second is shown.
    measured.textWidth = [](const std::string& text) { return 9 * static_cast<int>(text.size()); };
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
    EXPECT_EQ(std::pair(pic.trace1[1].x, pic.trace1[101].x), std::pair(40, 599));
    EXPECT_EQ(pic.trace1[1].y, 188) << "0 A, 1.0204 of 2.0408 A over 373 pixels above the base";
    EXPECT_NEAR(pic.bottomValue, -1.0204, 1e-4);
    // 25 ms at the axis, 50 pixels of 100 points over 559 pixels apart.
    EXPECT_EQ(std::tuple(Labels(pic, false)[0], Labels(pic, false)[1], Labels(pic, true)[0]),
              std::tuple("25.00", "27.24", "-1.02"));
    ASSERT_EQ(pic.marks.size(), 1u + 7u) << "cursor A and the trigger's triangle";
    EXPECT_EQ(pic.marks[0], (PlotLine{PlotPen::CursorA, {40 + 279, 375}, {40 + 279, -1}}));
    EXPECT_EQ(pic.marks[1], (PlotLine{PlotPen::Trigger, {599, 375}, {599, 375}})) << "its tip";
    EXPECT_EQ(pic.marks[7], (PlotLine{PlotPen::Trigger, {593, 369}, {605, 369}}));
    EXPECT_EQ(std::pair(pic.markLabels[0].at, pic.markLabels[0].text),
              std::pair(PlotPoint{40 + 279 + 7, 1}, std::string("A")))
        << "beside the cursor, at the top";
    // Zoomed positions keep labels six wide.
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
        EXPECT_EQ(std::tuple(p.hasStretch, p.s, p.w), std::tuple(true, d.s, d.w)) << d.rate;
    }
    // The whole picture for L 10, T 20, R 410, B 320 (M 170): 0.5 starts at the second
    // level, and 100 ms of a 100 ms level is 70 pixels. E solid green, C dotted, S blue.
    std::string drawn;
    for (const PreviewLine& l :
         ComputeCapturePreview(10, 20, 410, 320, 0.5f, 100, 1000, 100).lines) {
        drawn += "ECS"[static_cast<int>(l.pen)] + std::to_string(l.x0) + ',' +
                 std::to_string(l.y0) + '-' + std::to_string(l.x1) + ',' + std::to_string(l.y1) +
                 ' ';
    }
    EXPECT_EQ(drawn,
              "E50,170-360,170 E360,170-355,175 E360,170-355,165 E50,40-50,300 E50,40-45,45 "
              "E50,40-55,45 E50,110-120,110 E120,110-120,230 E120,230-190,230 E190,230-190,110 "
              "E190,110-260,110 E260,110-260,230 C260,230-310,230 S120,290-120,50 S190,290-190,50 "
              "S120,70-190,70 S120,70-125,75 S120,70-125,65 S190,70-185,75 S190,70-185,65 ");
    const CapturePreview none = ComputeCapturePreview(0, 0, 400, 300, 0.96f, 512, 0, 300);
    EXPECT_EQ(std::pair(none.hasStretch, none.lines.size()), std::pair(false, 13ul))
        << "no sample rate: no stretch";
}

// 512 current points at 4 kHz on 600 x 400: x0 40, 559 pixels for 522.45 points.
struct Rig {
    Rig() {
        for (int i = 0; i < 512; ++i) {
            plot.trace1[i] = i < 100 ? -1.0f : 1.0f;
            plot.trace2[i] = static_cast<float>(i) / 512.0f;
        }
        view.showRecord(shape);
        draw();
    }
    void draw() {
        pic = ComputeWaveform(kW, kH, WaveformInputOf(shape), plot, 1, view.view(1));
        view.setLayout(pic);
    }
    void click(int x, bool shift = false) {
        view.press(x, 200, shift);
        view.release();
        draw();
    }
    RecordShape shape{K::Current, 512, 1, 4000};
    PlotData plot;
    PlotView view;
    WaveformPicture pic;
};

TEST(PlotView, TheWheelZoomsAroundThePointerAndADoubleClickShowsAllAgain) {
    Rig r;
    r.view.wheel(40 + 279, 200, 1, false);  // point 260.757 under the pointer
    ASSERT_TRUE(r.view.timeWindow());
    EXPECT_NEAR(r.view.timeWindow()->first, 52.152, 1e-3);
    EXPECT_NEAR(r.view.timeWindow()->last, 470.111, 1e-3);
    r.draw();
    EXPECT_TRUE(r.pic.zoomed) << "the time axis alone";
    EXPECT_NEAR(r.pic.firstPoint + 279 * r.pic.pointsPerPixel, 260.757, 1e-3);
    r.view.wheel(40 + 279, 200, -1, false);
    EXPECT_FALSE(r.view.timeWindow()) << "zoomed out to all of it";
    r.draw();
    r.view.wheel(40, 200, 30, false);
    EXPECT_EQ(*r.view.timeWindow(), (PointWindow{0.0, kMinVisiblePoints}));
    // The value axis: the value under the pointer stays under it.
    const double bottom = r.pic.bottomValue;
    r.view.wheel(300, r.pic.yBase, 2, true);
    r.draw();
    EXPECT_NEAR(r.pic.bottomValue, bottom, 1e-5);
    EXPECT_NEAR(r.pic.valueSpan, 2.0 * 0.64, 1e-6);
    r.view.doubleClick();
    EXPECT_FALSE(r.view.zoomed());
}

TEST(PlotView, DraggingPansWithinTheRecordAndClicksPlaceAndMoveCursors) {
    Rig r;
    r.view.wheel(40 + 279, 200, 1, false);
    r.draw();
    const double first = r.view.timeWindow()->first;
    r.view.press(300, 200, false);
    r.view.move(303, 197);
    EXPECT_EQ(r.view.timeWindow()->first, first) << "too small a move to pan";
    r.view.move(350, 200);
    EXPECT_NEAR(r.view.timeWindow()->first, first - 50 * r.pic.pointsPerPixel, 1e-9);
    r.view.move(1000, 200);
    EXPECT_EQ(r.view.timeWindow()->first, 0.0) << "not before the record";
    r.view.release();
    EXPECT_FALSE(r.view.cursor(PlotCursor::A)) << "a drag places no cursor";
    r.view.doubleClick();
    r.draw();
    r.click(40 + 107);  // 107 pixels of 0.93461 points: point 100, drawn at 40 + 106
    r.click(40 + 214, true);
    EXPECT_EQ(std::pair(r.view.cursor(PlotCursor::A), r.view.cursor(PlotCursor::B)),
              std::pair(std::optional(100), std::optional(200)));
    ASSERT_EQ(r.pic.marks.size(), 2u);
    EXPECT_EQ(r.pic.marks[0].from.x, 40 + 106);
    // A press three pixels from A takes hold of it.
    r.view.press(40 + 109, 100, false);
    r.view.move(40 + 321, 100);
    r.view.release();
    EXPECT_EQ(std::pair(r.view.cursor(PlotCursor::A), r.view.cursor(PlotCursor::B)),
              std::pair(std::optional(300), std::optional(200)));
    // A double click takes back the cursor its first click placed.
    r.click(40 + 500);
    r.view.doubleClick();
    EXPECT_EQ(r.view.cursor(PlotCursor::A), 300);
    EXPECT_FALSE(r.view.view(0).cursorA) << "no record shown: no cursors";
    // The next record of the same shape keeps view and cursors; another count does not.
    r.view.wheel(300, 200, 1, false);
    r.view.wheel(300, 200, 1, true);
    r.view.showRecord(r.shape);
    EXPECT_TRUE(r.view.timeWindow() && r.view.valueWindow());
    r.view.showRecord({K::Current, 256, 1, 4000});
    EXPECT_FALSE(r.view.timeWindow() || r.view.cursor(PlotCursor::A));
    r.click(40 + 107);
    r.click(40 + 207, true);
    r.view.clearCursors();
    EXPECT_FALSE(r.view.cursor(PlotCursor::A) || r.view.cursor(PlotCursor::B));
    // A plot with no room to draw in takes no zoom.
    r.view.setLayout(ComputeWaveform(kW, 20, WaveformInputOf(r.shape), r.plot, 1));
    r.view.wheel(300, 10, 1, false);
    EXPECT_FALSE(r.view.timeWindow());
}

TEST(PlotView, AReferenceIsShownUnderRecordsOfItsKind) {
    Rig r;
    // Taken at half the rate: along the time axis it lies at every second point.
    r.view.keepReference(r.plot, {K::Current, 256, 2, 4000});
    r.plot.trace2.fill(0.0f);
    r.draw();
    ASSERT_EQ(r.pic.reference2.size(), 256u);
    EXPECT_EQ(r.pic.reference2[1].x, r.pic.trace1[2].x);
    EXPECT_EQ(r.view.view(1).reference->trace2[255], 255.0f / 512.0f) << "a copy";
    r.view.wheel(300, r.pic.yBase, 1, true);
    ASSERT_TRUE(r.view.valueWindow());
    r.view.showRecord({K::Speed, 512, 1, 4000});
    EXPECT_FALSE(r.view.valueWindow()) << "another kind: its own values";
    EXPECT_EQ(r.view.view(1).reference, nullptr);
    r.view.showRecord(r.shape);
    r.view.clearReference();
    EXPECT_EQ(r.view.view(1).reference, nullptr);
}

TEST(ScopeTexts, StateMetricsAndCursorLines) {
    using P = CapturePhase;
    // Connected, gains unread, worker, phase, armed, edge, level, kind, a record at 14:03:09.
    const TimeOfDay at{14, 3, 9};
    const auto R = kTriggerRising;
    const auto S = K::Speed;
    const std::pair<CaptureState, const char*> cases[] = {
        {CaptureState{}, "no drive connected: nothing is captured"},
        {{1, 1, 0, P::Idle, 0, R, 0, S, {}},
         "the drive's gains could not be read: nothing is captured"},
        {{1, 0, 0, P::Idle, 0, R, 0, S, {}}, "no capture worker: nothing is captured"},
        {{1, 0, 1, P::Idle, 0, R, 0, S, {}}, "idle"},
        {{1, 0, 1, P::Starting, 0, R, 0, S, {}}, "capturing"},
        {{1, 0, 1, P::Waiting, 0, R, 0, S, {}}, "waiting for the drive"},
        {{1, 0, 1, P::Waiting, 1, R, 500, S, {}}, "armed: waiting for a rising edge at 500 rpm"},
        {{1, 0, 1, P::Waiting, 1, kTriggerFalling, -1.5, {}, {}},
         "armed: waiting for a falling edge at -1.5 A"},
        {{1, 0, 1, P::Idle, 0, R, 0, S, at}, "record taken at 14:03:09"},
        {{1, 0, 1, P::Restarting, 0, R, 0, S, at},
         "no reply from the drive (restarting) - last record taken at 14:03:09"},
        {{1, 0, 1, P::Reading, 0, R, 0, S, at}, "capturing - last record taken at 14:03:09"},
    };
    for (const auto& [state, line] : cases) {
        EXPECT_EQ(CaptureStateLine(state), line);
    }
    StepMetrics m{.status = StepStatus::Ok,
                  .riseTimeMs = 0.616,
                  .overshootPercent = 4.64,
                  .settlingTimeMs = 1.907,
                  .settled = true,
                  .peakValue = 1.0469,
                  .peakTimeMs = 1.25,
                  .steadyStateError = 0.00324};
    EXPECT_EQ(MetricsLine(m, K::Current),
              "rise 0.62 ms, overshoot 4.6 %, settling 1.91 ms, error 0.0032 A, peak 1.0469 A "
              "at 1.25 ms");
    m.settled = false;
    m.oscillating = true;
    m.riseTimeMs = kNotMeasured;
    EXPECT_EQ(MetricsLine(m, S),
              "rise -, overshoot 4.6 %, settling not reached (oscillating), error 0.00 rpm, peak "
              "1.05 rpm at 1.25 ms");
    m.steadyStateError = -0.4;
    EXPECT_NE(MetricsLine(m, K::Position).find(", error 0 pulse,"), std::string::npos);
    m.status = StepStatus::StepOutsideRecord;
    EXPECT_EQ(MetricsLine(m, S), "the step lies outside the record");
    PlotData plot;
    plot.trace1[10] = 1.0f;
    plot.trace2[10] = 0.5f;
    plot.trace2[30] = 0.75f;
    const RecordShape shape{K::Current, 64, 1, 4000};
    EXPECT_EQ(CursorReadout(plot, shape, 10, std::nullopt), "A 2.50 ms: 1.0000 / 0.5000 A");
    EXPECT_EQ(CursorReadout(plot, shape, 10, 30),
              "A 2.50 ms: 1.0000 / 0.5000 A   B 7.50 ms: 0.0000 / 0.7500 A\n\u0394t 5.00 ms   "
              "1/\u0394t 200 Hz   \u0394 -1.0000 / 0.2500 A");
    EXPECT_EQ(CursorReadout(plot, shape, std::nullopt, 64), "") << "beyond the record";
    EXPECT_EQ(CursorReadout(plot, {K::Current, 64, 1, 0}, 10, {}), "A 0.00 ms: 1.0000 / 0.5000 A");
}

}  // namespace
}  // namespace qx
