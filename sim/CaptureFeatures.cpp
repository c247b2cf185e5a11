#include "sim/CaptureFeatures.h"

#include <memory>

namespace qx::sim {

namespace {

constexpr uint16_t kCurrentGainWord = 0x0212;
constexpr uint16_t kSpeedGainWord = 0x025D;
constexpr uint16_t kPositionGainWord = 0x026B;
constexpr uint16_t kServoOff = 0x0050;
constexpr std::size_t kSetupBytes = 22;
constexpr std::size_t kStepTestBytes = 12;
constexpr uint32_t kMaxPoints = 1024;
constexpr uint32_t kMaxPositionPoints = 512;
// The motor data words' scales: Ls and Rs x 1024, Ke x 32.
constexpr double kLsRsRawPerUnit = 1024.0;
constexpr double kKeRawPerUnit = 32.0;

uint16_t Word(std::span<const uint8_t> p, std::size_t at) {
    return static_cast<uint16_t>(p[at] << 8 | p[at + 1]);
}

uint32_t DWord(std::span<const uint8_t> p, std::size_t at) {
    return uint32_t{Word(p, at)} << 16 | Word(p, at + 2);
}

struct CaptureUnit {
    bool setUp = false;
    int setupKind = 0;
    uint32_t levelTicks = 0;
    int32_t amplitudeRaw = 0;
    bool recording = false;
    uint64_t recordedAtUs = 0;
    bool servoOn = false;
    uint32_t tests = 0;
    uint64_t job = 0;
};

void WriteRecord(SimDrive& d, int kind, const StepTestRecord& r) {
    const std::size_t perPoint = kind == 2 ? 4 : 2;
    for (std::size_t i = 0; i < r.command.size(); ++i) {
        const uint32_t at = kRingFirstWord + static_cast<uint32_t>(i * perPoint);
        WriteRingPoint(d, at, static_cast<int>(perPoint), r.command[i], r.feedback[i]);
    }
}

}  // namespace

LoopGainWords ReadGainWords(const SimDrive& d) {
    LoopGainWords g;
    g.lsRaw = d.read(kCurrentGainWord);
    g.rsRaw = d.read(kCurrentGainWord + 1);
    g.keRaw = d.read(kCurrentGainWord + 2);
    g.ki = d.read(kCurrentGainWord + 3);
    g.speedKp = d.read(kSpeedGainWord);
    g.speedTrc = d.read(kSpeedGainWord + 1);
    g.speedLpfHz = d.read(kSpeedGainWord + 2);
    g.outputLpfHz = d.read(kSpeedGainWord + 3);
    g.positionKp = d.read(kPositionGainWord);
    g.positionKd = d.read(kPositionGainWord + 1);
    g.positionCutoffHz = d.read(kPositionGainWord + 2);
    return g;
}

void WriteRingPoint(SimDrive& drive, uint32_t at, int wordsPerPoint, int32_t command,
                    int32_t feedback) {
    const auto c = static_cast<uint32_t>(command);
    const auto f = static_cast<uint32_t>(feedback);
    if (wordsPerPoint == 2) {
        drive.write(at, static_cast<uint16_t>(c & 0xFFFF));
        drive.write(at + 1, static_cast<uint16_t>(f & 0xFFFF));
    } else {
        drive.write(at, static_cast<uint16_t>(c >> 16));
        drive.write(at + 1, static_cast<uint16_t>(c & 0xFFFF));
        drive.write(at + 2, static_cast<uint16_t>(f >> 16));
        drive.write(at + 3, static_cast<uint16_t>(f & 0xFFFF));
    }
}

LoopGainWords CommissionedGains(const MotorConstants& motor) {
    LoopGainWords g;
    g.lsRaw = static_cast<uint16_t>(motor.inductanceMh * kLsRsRawPerUnit);
    g.rsRaw = static_cast<uint16_t>(motor.resistanceOhm * kLsRsRawPerUnit);
    g.keRaw = static_cast<uint16_t>(motor.keVPerKrpm * kKeRawPerUnit);
    return g;
}

void InstallCaptureFeatures(SimDrive& drive, const MotorConstants& motor) {
    const LoopGainWords good = CommissionedGains(motor);
    const uint16_t words[] = {good.lsRaw,      good.rsRaw,           good.keRaw,
                              good.ki,         good.speedKp,         good.speedTrc,
                              good.speedLpfHz, good.outputLpfHz,     good.positionKp,
                              good.positionKd, good.positionCutoffHz};
    for (int k = 0; k < 4; ++k) {
        drive.write(kCurrentGainWord + k, words[k]);
        drive.write(kSpeedGainWord + k, words[4 + k]);
    }
    for (int k = 0; k < 3; ++k) {
        drive.write(kPositionGainWord + k, words[8 + k]);
    }

    auto unit = std::make_shared<CaptureUnit>();

    drive.setSubCommandHandler(kSubCaptureSetup,
                               [unit](SimDrive&, std::span<const uint8_t> p, uint64_t) {
                                   if (p.size() != kSetupBytes || p[3] > 2) {
                                       return Answer::NotAcknowledged();
                                   }
                                   unit->setUp = true;
                                   unit->setupKind = p[3];
                                   unit->levelTicks = Word(p, 4);
                                   unit->amplitudeRaw = static_cast<int32_t>(DWord(p, 6));
                                   return Answer::Ok();
                               });

    drive.setSubCommandHandler(kSubServoControl,
                               [unit](SimDrive&, std::span<const uint8_t> p, uint64_t) {
                                   if (p.size() != 4) {
                                       return Answer::NotAcknowledged();
                                   }
                                   unit->servoOn = Word(p, 2) != kServoOff;
                                   if (!unit->servoOn) {
                                       unit->recording = false;
                                   }
                                   return Answer::Ok();
                               });

    drive.setSubCommandHandler(
        kSubStartStepTest, [unit, motor](SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
            if (p.size() != kStepTestBytes || !unit->setUp) {
                return Answer::NotAcknowledged();
            }
            StepTestSpec spec;
            spec.loopKind = p[3];
            const uint32_t phase = p[5];
            spec.sampleCount = Word(p, 8);
            spec.divider = Word(p, 10);
            const uint32_t maxPoints = spec.loopKind == 2 ? kMaxPositionPoints : kMaxPoints;
            if (spec.loopKind != unit->setupKind || phase > 1 || spec.sampleCount == 0 ||
                spec.sampleCount > maxPoints || spec.divider == 0) {
                return Answer::NotAcknowledged();
            }
            spec.amplitudeRaw = unit->amplitudeRaw;
            spec.levelTicks = unit->levelTicks;
            spec.sampleStartTicks = phase * unit->levelTicks + Word(p, 6);
            spec.noiseSeed = ++unit->tests;
            WriteRecord(d, spec.loopKind, RunStepTest(spec, ReadGainWords(d), motor));
            unit->servoOn = true;
            unit->recording = true;
            unit->job = d.startJob();
            unit->recordedAtUs = nowUs + RecordingTimeUs(spec);
            return Answer::Ok();
        });

    SimDrive::PollHandler before = drive.pollHandler();
    drive.setPollHandler([unit, before](SimDrive& d, uint64_t nowUs) {
        unit->recording = unit->recording && d.isLastJob(unit->job);
        if (unit->recording) {
            if (nowUs < unit->recordedAtUs) {
                return Answer::NotAcknowledged();
            }
            unit->recording = false;
            return Answer::Ok();
        }
        return before ? before(d, nowUs) : Answer::Ok();
    });
}

}  // namespace qx::sim
