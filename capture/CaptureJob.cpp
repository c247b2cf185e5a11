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

uint16_t GainAddress(CaptureKind kind) {
    return ForKind(kind, drive_address::kCurrentLoopGains, drive_address::kSpeedLoopGains,
                   drive_address::kPositionLoopGains);
}

int GainCount(CaptureKind kind) {
    return kind == CaptureKind::Position ? 3 : 4;
}

LoopGains SharedGains(const SharedState& s, CaptureKind kind) {
    switch (kind) {
        case CaptureKind::Speed: {
            const SpeedLoopGains& g = s.speedLoopGains;
            return {{g.kp, g.trc, g.speedLpfHz, g.outputLpfHz}, 4};
        }
        case CaptureKind::Position: {
            const PositionLoopGains& g = s.positionLoopGains;
            return {{g.kp, g.kd, g.cutoffHz, 0}, 3};
        }
        case CaptureKind::Current:
            break;
    }
    const CurrentLoopModel& m = s.currentLoopModel;
    return {{m.lsRaw, m.rsRaw, m.keRaw, m.word0215}, 4};
}

void StoreGains(SharedState& s, CaptureKind kind, const LoopGains& g) {
    const auto& w = g.words;
    switch (kind) {
        case CaptureKind::Speed:
            s.speedLoopGains.kp = w[0];
            s.speedLoopGains.trc = w[1];
            s.speedLoopGains.speedLpfHz = w[2];
            s.speedLoopGains.outputLpfHz = w[3];
            return;
        case CaptureKind::Position:
            s.positionLoopGains.kp = w[0];
            s.positionLoopGains.kd = w[1];
            s.positionLoopGains.cutoffHz = w[2];
            return;
        case CaptureKind::Current:
            break;
    }
    s.currentLoopModel.lsRaw = w[0];
    s.currentLoopModel.rsRaw = w[1];
    s.currentLoopModel.keRaw = w[2];
    s.currentLoopModel.word0215 = w[3];
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
    const LoopGains gains = SharedGains(state, job.kind);
    job.gainAddress = GainAddress(job.kind);
    for (std::size_t k = 0; k < job.gains.size(); ++k) {
        job.gains[k] = Low16(gains.words[k]);
    }
    job.gainCount = static_cast<uint8_t>(gains.count);
    return job;
}

}  // namespace qx
