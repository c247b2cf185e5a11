#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/PlotData.h"

namespace qx {

inline constexpr float kCurrentRawPerAmp = 128.0f;
inline constexpr float kSpeedRawPerRpm = 4.0f;

// What a record is: its kind and points, how far apart they lie, where a free-running
// trigger fired in it, and the gain words a tuning capture wrote before its step test
// (none for a free-running one), so that a record can be told apart from one captured
// with other gains.
struct RecordShape {
    CaptureKind kind = CaptureKind::Current;
    int count = 0;
    int32_t divider = 1;     // base periods per point
    int32_t baseRateHz = 0;  // the drive's base rate when it was captured
    int triggerIndex = -1;   // the point at which the trigger fired; -1: none
    std::array<uint16_t, 4> gains{};
    uint8_t gainCount = 0;
};
// Whether `shape` is a record captured with `gains` (their low 16 bits, as written).
bool CapturedWith(const RecordShape& shape, const LoopGains& gains);
RecordShape CurrentRecordShape(const SharedState& state);

// Turns `count` points of a record (bytes as the drive sent them) into the traces.
// Entries beyond the count keep their contents; points the record does not hold are
// not read.
void DecodeSamples(std::span<const uint8_t> record, CaptureKind kind, int count, PlotData& plot);

// What a capture window does with the shared sample buffer: decode it when `decoding`
// is 1, otherwise clear both traces.
void DecodeSamples(SharedState& state, PlotData& plot, int decoding);

}  // namespace qx
