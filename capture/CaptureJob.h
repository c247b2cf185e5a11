#pragma once

#include <array>
#include <cstdint>

#include "app/SharedState.h"

namespace qx {

// Kinds of quantity a record holds (loopKind of a tuning capture, monitorType of a
// free-running one).
enum class CaptureKind : int { Current = 0, Speed = 1, Position = 2 };

// The one of three values that belongs to `kind`, given in the enumeration's order; a
// kind outside it gets the current's, as a raw type does in KindOf.
template <typename T>
constexpr T ForKind(CaptureKind kind, T current, T speed, T position) {
    switch (kind) {
        case CaptureKind::Speed:
            return speed;
        case CaptureKind::Position:
            return position;
        case CaptureKind::Current:
            break;
    }
    return current;
}

inline constexpr int kMaxCurrentOrSpeedPoints = 1024;
inline constexpr int kMaxPositionPoints = 512;
// The drive's capture ring and the sample buffer both hold this many words.
inline constexpr int kMaxRecordWords = 2048;

// Trigger modes of a free-running capture.
inline constexpr int32_t kTriggerRising = 0;
inline constexpr int32_t kTriggerFalling = 1;
inline constexpr int32_t kTriggerAutoRun = 2;

CaptureKind KindOf(int32_t raw);
// Words one point of the kind occupies in the record (two values).
int WordsPerPoint(CaptureKind kind);

// Everything one capture needs, copied from the shared records on the window's thread
// when it asks for the capture. The worker reads nothing else, so a window may edit the
// records while a capture runs; its next request carries the new values.
struct CaptureJob {
    bool tuning = true;
    CaptureKind kind = CaptureKind::Current;

    // Tuning capture.
    uint16_t gainAddress = 0;
    std::array<uint16_t, 4> gains{};
    uint8_t gainCount = 0;
    int32_t lastingTimeMs = 0;  // of the loop being tuned
    int32_t triggerPhase = 0;
    int32_t triggerStartTicks = 0;

    // Both kinds.
    int32_t sampleCount = 0;
    int32_t sampleDivider = 0;

    // Free-running capture.
    int32_t triggerMode = kTriggerAutoRun;
    int32_t triggerLevelRaw = 0;
    float preTriggerFraction = 0.0f;
    int32_t baseSampleRateHz = 0;
};

// The gain words of one loop, in drive order (current: Ls, Rs, Ke, Ki; speed: Kp, T_rc,
// speed filter, output filter; position: Kp, Kd, cut-off).
struct LoopGains {
    std::array<int32_t, 4> words{};
    int count = 4;
    bool operator==(const LoopGains&) const = default;
};

uint16_t GainAddress(CaptureKind kind);
int GainCount(CaptureKind kind);
// The loop's gains in the shared records, and storing them there.
LoopGains SharedGains(const SharedState& state, CaptureKind kind);
void StoreGains(SharedState& state, CaptureKind kind, const LoopGains& gains);

// The capture the shared records ask for now (tuningActive decides the kind).
CaptureJob SnapshotCaptureJob(const SharedState& state);

// The capture settings of the loop a tuning capture of `kind` tunes.
const LoopCaptureSettings& SettingsForLoop(const SharedState& state, CaptureKind kind);
LoopCaptureSettings& SettingsForLoop(SharedState& state, CaptureKind kind);

}  // namespace qx
