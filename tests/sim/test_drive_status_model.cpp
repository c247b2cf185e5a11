// The simulated drive's status: a motor that moves in normal operation, stops on an
// alarm or without ServoEn, the settable words, the reply layout, and the way the
// status gives way to a job that is still pending.

#include <gtest/gtest.h>

#include <set>

#include "monitor/ServoStateValues.h"
#include "monitor/StatusWords.h"
#include "sim/DriveStatusModel.h"
#include "sim/MonitorFeatures.h"
#include "sim/SimOptions.h"

namespace qx::sim {
namespace {

constexpr uint64_t kStartUs = 5'000'000;

uint64_t At(double seconds) {
    return kStartUs + static_cast<uint64_t>(seconds * 1e6);
}

TEST(DriveStatusModel, RunsARepeatingProfileForwardThenBack) {
    DriveStatusModel model({}, kStartUs);
    // Accelerating, cruising, decelerating, at rest; then the same in reverse.
    const ServoStateValues accel = ComputeServoStateValues(model.statusAt(At(0.15)));
    const ServoStateValues cruise = ComputeServoStateValues(model.statusAt(At(1.0)));
    const ServoStateValues decel = ComputeServoStateValues(model.statusAt(At(1.65)));
    const ServoStateValues rest = ComputeServoStateValues(model.statusAt(At(1.9)));
    const ServoStateValues back = ComputeServoStateValues(model.statusAt(At(3.0)));
    const ServoStateValues home = ComputeServoStateValues(model.statusAt(At(3.95)));

    EXPECT_EQ(cruise.speedInstruction, 1500);
    EXPECT_NEAR(cruise.speed, 1500, 3);
    EXPECT_GT(cruise.positionError, 0) << "the feedback lags the instruction";
    EXPECT_GT(cruise.position, accel.position);

    EXPECT_GT(accel.torqueInstruction, cruise.torqueInstruction) << "torque follows acceleration";
    EXPECT_LT(decel.torqueInstruction, 0.0f);
    EXPECT_GT(cruise.torqueInstruction, 0.0f) << "friction";

    EXPECT_EQ(rest.speedInstruction, 0);
    EXPECT_EQ(rest.positionInstruction, 375000) << "37.5 revolutions of 10000 pulses";
    EXPECT_EQ(back.speedInstruction, -1500);
    EXPECT_LT(back.positionError, 0);
    EXPECT_EQ(home.positionInstruction, 0) << "back where it started";
}

TEST(DriveStatusModel, AnAlarmOrAMissingServoEnableStopsTheMotorWhereItIs) {
    DriveStatusModel model({}, kStartUs);
    model.statusAt(At(1.0));
    model.setAlarm(9);
    const StatusWords stopped = model.statusAt(At(1.1));
    EXPECT_EQ(stopped.alarmWord, 0x0109u);
    EXPECT_EQ(stopped.speedRaw, 0u);
    EXPECT_EQ(stopped.torqueCommandRaw, 0u);
    EXPECT_EQ(stopped.positionCommand, stopped.positionFeedback);
    EXPECT_EQ(stopped.outputBits & 0x1Eu, 0x0Cu) << "ALM and COIN lit, SRDY and BRK dark";
    const StatusWords later = model.statusAt(At(7.0));
    EXPECT_EQ(later.positionFeedback, stopped.positionFeedback);

    model.setAlarm(0);
    model.setInputBits(0x0000);
    const StatusWords disabled = model.statusAt(At(8.0));
    EXPECT_EQ(disabled.alarmWord, 0u);
    EXPECT_EQ(disabled.positionFeedback, stopped.positionFeedback);
    EXPECT_EQ(disabled.outputBits & 0x1Eu, 0x14u) << "SRDY and COIN, brake held";

    model.setInputBits(0x0200);
    const StatusWords resumed = model.statusAt(At(8.5));
    EXPECT_NE(resumed.positionFeedback, stopped.positionFeedback) << "runs on from there";
}

TEST(DriveStatusModel, SettableWordsOverrideTheDerivedOnes) {
    DriveStatusSettings settings;
    settings.dcBusVolts = 540;
    settings.inputBits = 0x0201;
    settings.outputBits = 0x0002;
    settings.phaseBits = 0x003F;
    settings.still = true;
    DriveStatusModel model(settings, kStartUs);
    const StatusWords w = model.statusAt(At(1.0));
    EXPECT_EQ(w.dcBusVolts, 540u);
    EXPECT_EQ(w.inputBits, 0x0201u);
    EXPECT_EQ(w.outputBits, 0x0002u);
    EXPECT_EQ(w.phaseBits, 0x003Fu);
    EXPECT_EQ(w.speedCommandRaw, 0u) << "still";
}

TEST(DriveStatusModel, HallSignalsAreAlwaysAValidPattern) {
    DriveStatusModel model({}, kStartUs);
    std::set<uint32_t> halls;
    for (int ms = 0; ms < 4000; ms += 7) {
        const uint32_t hall = (model.statusAt(At(ms / 1000.0)).phaseBits >> 3) & 0x7;
        EXPECT_NE(hall, 0u);
        EXPECT_NE(hall, 7u);
        halls.insert(hall);
    }
    EXPECT_EQ(halls.size(), 6u) << "the rotor turns through every sector";
}

TEST(DriveStatusModel, ReplyWordsDecodeBackToTheStatus) {
    DriveStatusModel model({}, kStartUs);
    const StatusWords w = model.statusAt(At(3.2));
    const Frame reply = BuildReply(0xC2, 1, Answer::Ok(DriveStatusModel::ReplyWords(w)));
    ASSERT_EQ(reply.size(), kStatusReplyBytes);
    EXPECT_EQ(DecodeStatusReply(reply), w);
}

TEST(MonitorFeatures, TheStatusGivesWayToAPendingJob) {
    SimDrive drive;
    bool busy = true;
    drive.setPollHandler(
        [&busy](SimDrive&, uint64_t) { return busy ? Answer::NotAcknowledged() : Answer::Ok(); });
    InstallMonitorFeatures(drive, {}, kStartUs);
    const uint8_t poll[] = {0xAA, 0xC2, 0x01, 0x03, 0x01, 0x70};
    Frame reply = drive.handleRequest(poll, At(1.0));
    EXPECT_EQ(reply.size(), 8u);
    EXPECT_EQ(reply[4], 0x00) << "still running: no acknowledgement";

    busy = false;
    reply = drive.handleRequest(poll, At(1.1));
    ASSERT_EQ(reply.size(), kStatusReplyBytes);
    EXPECT_EQ(reply[4], 0xAA);
    EXPECT_EQ(DecodeStatusReply(reply).inputBits, 0x0200u);
}

TEST(MonitorFeatures, EveryDriveMadeFromOptionsReportsItsStatus) {
    SimOptions options;
    options.status.alarmNumber = 3;
    auto drive = MakeSimDrive(options, kStartUs);
    const uint8_t poll[] = {0xAA, 0xC2, 0x01, 0x03, 0x01, 0x70};
    const Frame reply = drive->handleRequest(poll, At(0.5));
    ASSERT_EQ(reply.size(), kStatusReplyBytes);
    EXPECT_EQ(DecodeStatusReply(reply).alarmWord, 0x0103u);
}

}  // namespace
}  // namespace qx::sim
