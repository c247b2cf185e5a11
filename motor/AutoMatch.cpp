#include "motor/AutoMatch.h"

#include <algorithm>

#include "motor/EncoderFixing.h"
#include "motor/MatchSteps.h"
#include "motor/MotorBlock.h"

namespace qx {

namespace {

constexpr int32_t kMatchStartPolePairs = 4;
// The pulse number is unknown until the pole-pair test has measured it.
constexpr int32_t kMatchStartPulseNumber = 65535;

// Waits `ms` unless asked to stop; false when asked.
bool SettleUnlessStopped(Clock& clock, uint32_t ms, const std::atomic<bool>& stop) {
    const uint64_t deadline = clock.nowUs() + uint64_t{ms} * 1000;
    while (clock.nowUs() < deadline) {
        if (stop) {
            return false;
        }
        clock.sleepUntilUs(std::min(deadline, clock.nowUs() + uint64_t{kStopCheckMs} * 1000));
    }
    return !stop;
}

}  // namespace

void ResetMatchFields(MotorFields& f) {
    f.magnetDirection = 0;
    f.uvwDirection = 0;
    f.encoderType = kEncoderStandard;
    f.pulseDirection = 0;
    f.zPulseType = 0;
    f.polePairs = kMatchStartPolePairs;
    f.pulseNumber = kMatchStartPulseNumber;
    f.encoderOffset = 0;
}

AutoMatchResult AutoMatch(DriveLink& link, const AutoMatchInput& input, AutoMatchObserver& observer,
                          MessageSink& messages, const std::atomic<bool>& stop) {
    MotorFields f = input.fields;
    const CurrentLoopModel& model = input.loopModel;
    const uint16_t testCurrent = TestCurrentRaw(f.ratedCurrent);
    Session session(link);
    const bool connected = link.state().driveConnected == 1;
    uint32_t status = connected ? kStatusOk : kMatchNoDrive;
    // Set when the servo-off of the unconfirmed direction question went through, so a
    // failed match need not send another.
    bool motorReleased = false;
    bool servoOffSent = false;

    const auto ok = [&] { return status == kStatusOk; };
    const auto checkStop = [&] {
        if (ok() && stop) {
            status = kMatchStopped;
        }
    };
    const auto report = [&](int percent, const char* text) {
        checkStop();
        if (ok()) {
            f.message = text;
            observer.report(percent, f);
        }
    };

    // 1
    if (ok()) {
        status = ServoOff(session);
    }
    report(5, "Setting the current loop parameters...");
    // 2
    ResetMatchFields(f);
    // 3
    if (ok()) {
        status = WriteMotorBlock(session, f, model, messages);
    }
    report(10, "Clearing alarms in servo ...");
    // 4
    if (ok()) {
        status = ClearAlarms(session);
    }
    report(15, "Detecting encoder type...");
    // 5
    if (ok()) {
        status = DetectEncoderType(session, f);
    }
    report(20, "Detecting magnet and encoder direction...");
    // 6
    if (ok()) {
        status = MotorTest(link, session.next(), MotorTestAction::Turn, testCurrent,
                           kMotorTestModeTurn, kBudgetShortMs);
        if (ok() && !SettleUnlessStopped(link.clock(), kDirectionSettleMs, stop)) {
            status = kMatchStopped;
        }
    }
    // 7
    if (ok()) {
        const std::optional<int32_t> answer = observer.askMagnetDirection();
        if (stop) {
            status = kMatchStopped;
        } else if (answer) {
            f.magnetDirection = *answer;
            status = DetectPulseDirection(session, f, stop);
        } else {
            // The motor has been turning since step 6: it stops before the box waits for
            // the user.
            motorReleased = ServoOff(session) == kStatusOk;
            servoOffSent = true;
            messages.show(kTextInvalidDirection, kTitleWarning);
            status = kMatchNoDirection;
        }
    }
    report(25, "Detecting encoder Z pulse type...");
    // 8
    if (ok()) {
        status = DetectZPulseType(session, f, stop);
    }
    report(40, "Turn off the servo...");
    // 9
    if (ok()) {
        status = ServoOff(session);
    }
    report(45, "Setting encoder type...");
    // 10
    if (ok()) {
        status = WriteMotorBlock(session, f, model, messages);
    }
    report(50, "Detecting the polepairs' number and encoder's offset...");
    // 11
    if (ok()) {
        status = DetectPolePairsAndOffset(session, f, testCurrent, messages, stop);
    }
    report(90, "Refresh parameters in servo...");
    // 12
    if (ok()) {
        status = WriteMotorBlock(session, f, model, messages);
    }
    report(95, "Clearing all alarms in match motor process");
    // 13
    if (ok()) {
        status = ClearAlarms(session);
    }

    // 14
    AutoMatchResult result;
    if (!ok() && connected && !motorReleased && link.state().portOpen == 1) {
        // A failed match always ends with the servo off when the drive can still hear
        // us: whatever step failed, no test is left turning or holding the motor.
        ServoOff(session);
        servoOffSent = true;
    }
    result.servoOffAfterFailure = servoOffSent;
    result.status = status;
    result.percent = ok() ? kProgressDone : kProgressFailed;
    f.message = ok() ? kTextMatchSucceeded : kTextMatchFailed;
    result.fields = f;
    return result;
}

}  // namespace qx
