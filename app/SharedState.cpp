#include "app/SharedState.h"

namespace qx {

LoopCaptureSettings DefaultCurrentCaptureSettings() {
    LoopCaptureSettings s;
    s.lastingTimeMs = 300;
    s.range = 1.0f;
    s.samplePosition = 0.96f;
    s.sampleDivider = 1;
    s.sampleCount = 512;
    return s;
}

LoopCaptureSettings DefaultSpeedCaptureSettings() {
    LoopCaptureSettings s;
    s.lastingTimeMs = 500;
    s.range = 2500.0f;
    s.samplePosition = 0.95f;
    s.sampleDivider = 4;
    s.sampleCount = 512;
    return s;
}

LoopCaptureSettings DefaultPositionCaptureSettings() {
    LoopCaptureSettings s;
    s.lastingTimeMs = 1000;
    s.range = 100000.0f;
    s.samplePosition = 0.95f;
    s.sampleDivider = 16;
    s.sampleCount = 512;
    return s;
}

FreeRunSettings DefaultFreeRunSettings() {
    FreeRunSettings s;
    s.waveOffset = {0.0f, 0.0f, 0.0f};
    s.triggerValue = {0.0, 0.0, 0.0};
    s.triggerEdge = {0, 0, 0};
    s.triggerType = {1, 1, 1};
    s.sampleRateHz = {200, 1000, 4000};
    s.sampleCount = {512, 512, 512};
    s.monitorType = 0;
    return s;
}

namespace {

// The sample rate is not part of the start-up values: it keeps whatever it held.
void ApplyLoopDefaults(LoopCaptureSettings& target, const LoopCaptureSettings& defaults) {
    const int32_t rate = target.sampleRateHz;
    target = defaults;
    target.sampleRateHz = rate;
}

}  // namespace

void ApplyStartupValues(SharedState& state) {
    state.link.portOpen = 0;
    state.parameterTable.parametersLoaded = 0;
    state.link.driveConnected = 0;
    state.loopCaptureRequest = LoopCaptureRequest{};
    ApplyLoopDefaults(state.currentCaptureSettings, DefaultCurrentCaptureSettings());
    ApplyLoopDefaults(state.speedCaptureSettings, DefaultSpeedCaptureSettings());
    ApplyLoopDefaults(state.positionCaptureSettings, DefaultPositionCaptureSettings());
    state.freeRunSettings = DefaultFreeRunSettings();
}

SharedState& sharedState() {
    static SharedState instance;
    return instance;
}

}  // namespace qx
