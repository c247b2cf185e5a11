#pragma once

// The lines a capture window shows under its plot: where the capture stands, the step
// metrics of the record (and of the reference), and what the cursors read.

#include <optional>
#include <string>

#include "capture/CaptureSequence.h"
#include "capture/DecodeSamples.h"
#include "capture/PlotData.h"
#include "capture/StepMetrics.h"

namespace qx {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// What a capture window knows about its capture.
struct CaptureState {
    bool connected = false;    // the window talks to a drive
    bool gainsUnread = false;  // a tuning window that could not read the drive's gains
    bool worker = false;       // its capture worker runs
    CapturePhase phase = CapturePhase::Idle;
    // The capture under way waits for a trigger edge: which, and at what level (in the
    // kind's display unit).
    bool armed = false;
    int32_t edge = kTriggerRising;
    double level = 0.0;
    CaptureKind kind = CaptureKind::Current;
    std::optional<TimeOfDay> lastRecord;  // when the record shown arrived
};

// "capturing", "waiting for the drive", "armed: waiting for a rising edge at 500 rpm",
// "record taken at 14:03:12", "no reply from the drive (restarting)" ...
std::string CaptureStateLine(const CaptureState& state);

// "rise 0.62 ms, overshoot 4.6 %, settling 1.91 ms, error 0.0032 A, peak 1.0469 A at
// 1.25 ms", the values in the kind's unit.
std::string MetricsLine(const StepMetrics& metrics, CaptureKind kind);

// For each cursor placed its time and both channels' values; with both, on a second
// line, the time between them, its inverse and both channels' differences (B minus A).
std::string CursorReadout(const PlotData& plot, const RecordShape& shape, std::optional<int> a,
                          std::optional<int> b);

// The kind's display unit: "A", "rpm", "pulse".
const char* KindUnit(CaptureKind kind);

}  // namespace qx
