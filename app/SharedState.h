#pragma once

// The records every dialog, worker thread and the drive link share. There is one
// process-wide instance (sharedState()); core functions take the records they use by
// reference so tests can run against instances of their own.
//
// Flags and words that a worker thread writes while another thread reads them are
// std::atomic. The rest is handed over by the rule that a dialog fills a record before
// it starts (or restarts) its worker and leaves it alone while the worker runs.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "params/ParamChangeLog.h"
#include "params/UserParamTable.h"

namespace qx {

using Flag = std::atomic<uint32_t>;

struct LinkState {
    Flag portOpen{0};
    Flag driveConnected{0};  // 1 while the last exchange sequence with the drive succeeded
};

struct DriveIdentity {
    Flag versionAccepted{0};
    uint32_t fpgaVersion = 0;
    uint32_t softwareVersion = 0;
    uint32_t bootRomVersion = 0;
    std::atomic<int32_t> baseSampleRateHz{0};  // 4000 after the first accepted identification
    std::atomic<float> msPerTick{0.0f};        // 1.0 after the first accepted identification
};

struct ParameterTableState {
    Flag parametersLoaded{0};
    ParamChangeLog changeLog;  // the parameter writes of this connection
};

// One instance per loop. `range` is amperes for the current loop and a whole number of
// rpm or pulses for the speed and position loops; every such integer (at most 4000000
// in magnitude) is exact in a float.
struct LoopCaptureSettings {
    int32_t lastingTimeMs = 0;
    float range = 0.0f;
    float samplePosition = 0.0f;
    int32_t sampleDivider = 0;
    int32_t sampleRateHz = 0;
    int32_t sampleCount = 0;
};

struct LoopCaptureRequest {
    uint32_t minValue = 0;
    uint32_t maxValue = 0;
    uint32_t constB = 0;
    uint32_t constA = 0;
    int32_t excitationAmplitude = 0;
    int32_t excitationTicks = 0;
    int32_t loopKind = 0;  // 0 current, 1 speed, 2 position
};

struct LoopCaptureRun {
    int32_t sampleDivider = 0;
    int32_t sampleCount = 0;
    int32_t triggerStartTicks = 0;
    int32_t triggerPhase = 0;
    Flag tuningActive{0};
};

struct FreeRunRequest {
    float preTriggerFraction = 0.0f;
    int32_t triggerMode = 0;  // 0 rising edge, 1 falling edge, 2 auto run
    int32_t triggerLevelRaw = 0;
    int32_t sampleDivider = 0;
    int32_t sampleCount = 0;
    int32_t monitorType = 0;  // 0 current, 1 speed, 2 position
};

// Per monitor type, stored in the order [position, speed, current].
struct FreeRunSettings {
    static constexpr int kPosition = 0;
    static constexpr int kSpeed = 1;
    static constexpr int kCurrent = 2;

    std::array<float, 3> waveOffset{};
    // Position and speed hold whole pulses and rpm; current holds amperes as a
    // single-precision value. A double keeps every 32-bit pulse count exact.
    std::array<double, 3> triggerValue{};
    std::array<int32_t, 3> triggerEdge{};  // 0 rising, 1 falling
    std::array<int32_t, 3> triggerType{};  // 0 single trigger, 1 auto run
    std::array<int32_t, 3> sampleRateHz{};
    std::array<int32_t, 3> sampleCount{};
    int32_t monitorType = 0;  // 0 current, 1 speed, 2 position
    bool operator==(const FreeRunSettings&) const = default;
};

struct CurrentLoopModel {
    int32_t keRaw = 0;     // Ke x 32, V/krpm (word 0x0214)
    int32_t rsRaw = 0;     // Rs x 1024, ohm (word 0x0213)
    int32_t lsRaw = 0;     // Ls x 1024, mH (word 0x0212)
    int32_t word0215 = 0;  // current loop integral gain Ki
};

struct SpeedLoopGains {
    int32_t outputLpfHz = 0;
    int32_t speedLpfHz = 0;
    int32_t trc = 0;  // 0.1 ms
    int32_t kp = 0;
};

struct PositionLoopGains {
    int32_t cutoffHz = 0;
    int32_t kd = 0;
    int32_t kp = 0;
};

// Written by the monitor thread, read by the monitor dialogs' timers: every field is
// one atomic word, so a refresh sees whole values (possibly from two successive polls).
struct DriveStatus {
    std::atomic<uint32_t> dcBusVolts{0};
    std::atomic<uint32_t> outputBits{0};
    std::atomic<uint32_t> inputBits{0};
    std::atomic<uint32_t> phaseBits{0};
    std::atomic<uint32_t> positionCommand{0};
    std::atomic<uint32_t> speedCommandRaw{0};
    std::atomic<uint32_t> torqueCommandRaw{0};
    std::atomic<uint32_t> alarmWord{0};
    std::atomic<uint32_t> positionFeedback{0};
    std::atomic<uint32_t> speedRaw{0};
    std::atomic<uint32_t> torqueRaw{0};
    Flag monitorRun{0};
    Flag monitorFinished{0};
    // Monitor threads that exist and have not ended, one left behind by a closed dialog
    // included: a new one starts only when this is 0, so two never share the link.
    std::atomic<uint32_t> monitorThreads{0};
};

struct WorkerSync {
    Flag sampleThreadEnded{0};
};

inline constexpr std::size_t kParameterImageBytes = 1024;
inline constexpr std::size_t kSampleBufferBytes = 4096;

struct SharedState {
    LinkState link;
    DriveIdentity identity;
    ParameterTableState parameterTable;
    UserParamTable userParamTable;
    LoopCaptureSettings currentCaptureSettings;
    LoopCaptureSettings speedCaptureSettings;
    LoopCaptureSettings positionCaptureSettings;
    LoopCaptureRequest loopCaptureRequest;
    LoopCaptureRun loopCaptureRun;
    FreeRunRequest freeRunRequest;
    FreeRunSettings freeRunSettings;
    CurrentLoopModel currentLoopModel;
    SpeedLoopGains speedLoopGains;
    PositionLoopGains positionLoopGains;
    DriveStatus driveStatus;
    WorkerSync workerSync;
    std::array<uint8_t, kParameterImageBytes> parameterImage{};
    std::array<uint8_t, kSampleBufferBytes> sampleBuffer{};
    // Held while the capture worker publishes a record and while a window decodes it.
    std::mutex sampleBufferMutex;
    int32_t magnetDirectionAnswer = 0;  // 0 counter-clockwise, 1 clockwise

    SharedState() = default;
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;
};

// The start-up values: what the application sets once its main window is shown.
// Every field not named here keeps its zero start value.
void ApplyStartupValues(SharedState& state);

// Default capture settings of each loop, as the start-up values give them.
LoopCaptureSettings DefaultCurrentCaptureSettings();
LoopCaptureSettings DefaultSpeedCaptureSettings();
LoopCaptureSettings DefaultPositionCaptureSettings();
FreeRunSettings DefaultFreeRunSettings();

// The process-wide instance.
SharedState& sharedState();

}  // namespace qx
