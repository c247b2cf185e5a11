// The plot as the engineer handles it: zooming around the pointer, panning, the two
// cursors, the reference, and the lines under the plot.

#include <gtest/gtest.h>

#include "capture/PlotView.h"
#include "capture/ScopeTexts.h"

namespace qx {
namespace {

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
    WaveformPicture draw() {
        pic = ComputeWaveform(600, 400, WaveformInputOf(shape), plot, 1, view.view(1));
        view.setLayout(pic);
        return pic;
    }
    void click(int x, bool shift = false) {
        view.press(x, 200, shift);
        view.release();
        draw();
    }
    RecordShape shape{CaptureKind::Current, 512, 1, 4000};
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
    PlotView none;  // nothing drawn, no record: no cursor to place
    none.press(100, 100, false);
    none.release();
    EXPECT_FALSE(none.cursor(PlotCursor::A));
    Rig r;
    r.view.wheel(40 + 279, 200, 1, false);
    r.draw();
    const double perPixel = r.pic.pointsPerPixel;
    const double first = r.view.timeWindow()->first;
    r.view.press(300, 200, false);
    r.view.move(303, 197);
    EXPECT_EQ(r.view.timeWindow()->first, first) << "too small a move to pan";
    r.view.move(350, 200);
    EXPECT_NEAR(r.view.timeWindow()->first, first - 50 * perPixel, 1e-9);
    r.view.move(1000, 200);
    EXPECT_EQ(r.view.timeWindow()->first, 0.0) << "not before the record";
    r.view.release();
    EXPECT_FALSE(r.view.cursor(PlotCursor::A)) << "a drag places no cursor";

    r.view.doubleClick();
    r.draw();
    r.click(40 + 107);  // 107 pixels of 0.93461 points: point 100, drawn at 40 + 106
    EXPECT_EQ(r.view.cursor(PlotCursor::A), 100);
    r.click(40 + 214, true);
    EXPECT_EQ(r.view.cursor(PlotCursor::B), 200);
    ASSERT_EQ(r.pic.marks.size(), 2u);
    EXPECT_EQ(r.pic.marks[0].from.x, 40 + 106);
    // A press three pixels from A takes hold of it.
    r.view.press(40 + 109, 100, false);
    r.view.move(40 + 321, 100);
    r.view.release();
    EXPECT_EQ(r.view.cursor(PlotCursor::A), 300);
    EXPECT_EQ(r.view.cursor(PlotCursor::B), 200);
    // A double click takes back the cursor its first click placed.
    r.click(40 + 500);
    r.view.doubleClick();
    EXPECT_EQ(r.view.cursor(PlotCursor::A), 300);
    EXPECT_FALSE(r.view.view(0).cursorA) << "no record shown: no cursors";

    // The next record of the same shape keeps view and cursors; another count does not.
    r.view.wheel(300, 200, 1, false);
    r.view.showRecord(r.shape);
    EXPECT_TRUE(r.view.timeWindow());
    r.view.showRecord({CaptureKind::Current, 256, 1, 4000});
    EXPECT_FALSE(r.view.timeWindow());
    EXPECT_FALSE(r.view.cursor(PlotCursor::A));
    r.click(40 + 107);
    r.click(40 + 214, true);
    r.view.clearCursors();
    EXPECT_FALSE(r.view.cursor(PlotCursor::A) || r.view.cursor(PlotCursor::B));
    // A plot with no room to draw in takes no zoom.
    r.view.setLayout(ComputeWaveform(600, 20, WaveformInputOf(r.shape), r.plot, 1));
    r.view.wheel(300, 10, 1, false);
    EXPECT_FALSE(r.view.timeWindow());
}

TEST(PlotView, AReferenceIsShownUnderRecordsOfItsKind) {
    Rig r;
    // Taken at half the rate: along the time axis it lies at every second point.
    r.view.keepReference(r.plot, {CaptureKind::Current, 256, 2, 4000});
    r.plot.trace2.fill(0.0f);
    r.draw();
    ASSERT_EQ(r.pic.reference2.size(), 256u);
    EXPECT_EQ(r.pic.reference2[1].x, r.pic.trace1[2].x);
    EXPECT_EQ(r.view.view(1).reference->trace2[255], 255.0f / 512.0f) << "a copy";
    r.view.wheel(300, r.pic.yBase, 1, true);
    ASSERT_TRUE(r.view.valueWindow());
    r.view.showRecord({CaptureKind::Speed, 512, 1, 4000});
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
    const auto F = kTriggerFalling;
    const auto S = CaptureKind::Speed;
    const std::pair<CaptureState, const char*> cases[] = {
        {CaptureState{}, "no drive connected: nothing is captured"},
        {{1, 1, 0, P::Idle, 0, R, 0, S, {}},
         "the drive's gains could not be read: nothing is captured"},
        {{1, 0, 0, P::Idle, 0, R, 0, S, {}}, "no capture worker: nothing is captured"},
        {{1, 0, 1, P::Idle, 0, R, 0, S, {}}, "idle"},
        {{1, 0, 1, P::Starting, 0, R, 0, S, {}}, "capturing"},
        {{1, 0, 1, P::Waiting, 0, R, 0, S, {}}, "waiting for the drive"},
        {{1, 0, 1, P::Waiting, 1, R, 500, S, {}}, "armed: waiting for a rising edge at 500 rpm"},
        {{1, 0, 1, P::Waiting, 1, F, -1.5, {}, {}}, "armed: waiting for a falling edge at -1.5 A"},
        {{1, 0, 1, P::Idle, 0, R, 0, S, at}, "record taken at 14:03:09"},
        {{1, 0, 1, P::Restarting, 0, R, 0, S, at},
         "no reply from the drive (restarting) - last record taken at 14:03:09"},
        {{1, 0, 1, P::Reading, 0, R, 0, S, at}, "capturing - last record taken at 14:03:09"},
    };
    for (const auto& [state, line] : cases) {
        EXPECT_EQ(CaptureStateLine(state), line);
    }

    StepMetrics m;
    m.status = StepStatus::Ok;
    m.riseTimeMs = 0.616;
    m.overshootPercent = 4.64;
    m.settlingTimeMs = 1.907;
    m.settled = true;
    m.steadyStateError = 0.00324;
    m.peakValue = 1.0469;
    m.peakTimeMs = 1.25;
    EXPECT_EQ(MetricsLine(m, CaptureKind::Current),
              "rise 0.62 ms, overshoot 4.6 %, settling 1.91 ms, error 0.0032 A, peak 1.0469 A "
              "at 1.25 ms");
    m.settled = false;
    m.oscillating = true;
    m.riseTimeMs = kNotMeasured;
    EXPECT_EQ(MetricsLine(m, CaptureKind::Speed),
              "rise -, overshoot 4.6 %, settling not reached (oscillating), error 0.00 rpm, peak "
              "1.05 rpm at 1.25 ms");
    m.steadyStateError = -0.4;
    EXPECT_NE(MetricsLine(m, CaptureKind::Position).find(", error 0 pulse,"), std::string::npos);
    m.status = StepStatus::StepOutsideRecord;
    EXPECT_EQ(MetricsLine(m, CaptureKind::Speed), "the step lies outside the record");

    PlotData plot;
    plot.trace1[10] = 1.0f;
    plot.trace2[10] = 0.5f;
    plot.trace2[30] = 0.75f;
    const RecordShape shape{CaptureKind::Current, 64, 1, 4000};
    EXPECT_EQ(CursorReadout(plot, shape, 10, std::nullopt), "A 2.50 ms: 1.0000 / 0.5000 A");
    EXPECT_EQ(CursorReadout(plot, shape, 10, 30),
              "A 2.50 ms: 1.0000 / 0.5000 A   B 7.50 ms: 0.0000 / 0.7500 A\n\u0394t 5.00 ms   "
              "1/\u0394t 200 Hz   \u0394 -1.0000 / 0.2500 A");
    EXPECT_EQ(CursorReadout(plot, shape, std::nullopt, 64), "") << "beyond the record";
}

}  // namespace
}  // namespace qx
