#include "capture/CaptureJob.h"

#include "link/DriveCommands.h"

namespace qx {

CaptureKind KindOf(int32_t raw) {
    switch (raw) {
        case 1:
            return CaptureKind::Speed;
        case 2:
            return CaptureKind::Position;
        default:
            return CaptureKind::Current;
    }
}

int WordsPerPoint(CaptureKind kind) {
    return kind == CaptureKind::Position ? 4 : 2;
}

const LoopCaptureSettings& SettingsForLoop(const SharedState& state, CaptureKind kind) {
    return *ForKind(kind, &state.currentCaptureSettings, &state.speedCaptureSettings,
                    &state.positionCaptureSettings);
}

LoopCaptureSettings& SettingsForLoop(SharedState& state, CaptureKind kind) {
    return const_cast<LoopCaptureSettings&>(
        SettingsForLoop(static_cast<const SharedState&>(state), kind));
}

namespace {

uint16_t Low16(int32_t v) {
    return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF);
}

}  // namespace

CaptureJob SnapshotCaptureJob(const SharedState& state) {
    CaptureJob job;
    job.tuning = state.loopCaptureRun.tuningActive.load() == 1;
    job.baseSampleRateHz = state.identity.baseSampleRateHz.load();
    if (!job.tuning) {
        const FreeRunRequest& f = state.freeRunRequest;
        job.kind = KindOf(f.monitorType);
        job.sampleCount = f.sampleCount;
        job.sampleDivider = f.sampleDivider;
        job.triggerMode = f.triggerMode;
        job.triggerLevelRaw = f.triggerLevelRaw;
        job.preTriggerFraction = f.preTriggerFraction;
        return job;
    }
    job.kind = KindOf(state.loopCaptureRequest.loopKind);
    job.sampleCount = state.loopCaptureRun.sampleCount;
    job.sampleDivider = state.loopCaptureRun.sampleDivider;
    job.triggerPhase = state.loopCaptureRun.triggerPhase;
    job.triggerStartTicks = state.loopCaptureRun.triggerStartTicks;
    job.lastingTimeMs = SettingsForLoop(state, job.kind).lastingTimeMs;
    switch (job.kind) {
        case CaptureKind::Current: {
            const CurrentLoopModel& m = state.currentLoopModel;
            job.gainAddress = drive_address::kCurrentLoopGains;
            job.gains = {Low16(m.lsRaw), Low16(m.rsRaw), Low16(m.keRaw), Low16(m.word0215)};
            job.gainCount = 4;
            break;
        }
        case CaptureKind::Speed: {
            const SpeedLoopGains& g = state.speedLoopGains;
            job.gainAddress = drive_address::kSpeedLoopGains;
            job.gains = {Low16(g.kp), Low16(g.trc), Low16(g.speedLpfHz), Low16(g.outputLpfHz)};
            job.gainCount = 4;
            break;
        }
        case CaptureKind::Position: {
            const PositionLoopGains& g = state.positionLoopGains;
            job.gainAddress = drive_address::kPositionLoopGains;
            job.gains = {Low16(g.kp), Low16(g.kd), Low16(g.cutoffHz), 0};
            job.gainCount = 3;
            break;
        }
    }
    return job;
}

}  // namespace qx
