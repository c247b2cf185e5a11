// The simulated drive's status: a motor that moves in normal operation and stops on an
// alarm or without ServoEn (the reply's layout is the poll transcript's).

#include <gtest/gtest.h>

#include "monitor/ServoStateValues.h"
#include "monitor/StatusWords.h"
#include "sim/DriveStatusModel.h"

namespace qx::sim {
namespace {

constexpr uint64_t kStartUs = 5'000'000;

uint64_t At(double seconds) {
    return kStartUs + static_cast<uint64_t>(seconds * 1e6);
}

TEST(DriveStatusModel, RunsARepeatingProfileForwardThenBack) {
    DriveStatusModel model({}, kStartUs);
    // Accelerating, cruising, decelerating, at rest; then the same in reverse.
    ServoStateValues v[6];
    const double at[] = {0.15, 1.0, 1.65, 1.9, 3.0, 3.95};
    for (int i = 0; i < 6; ++i) {
        v[i] = ComputeServoStateValues(model.statusAt(At(at[i])));
    }
    const auto& [accel, cruise, decel, rest, back, home] = v;
    EXPECT_EQ(cruise.speedInstruction, 1500);
    EXPECT_NEAR(cruise.speed, 1500, 3);
    EXPECT_GT(cruise.positionError, 0) << "the feedback lags the instruction";
    EXPECT_GT(cruise.position, accel.position);
    EXPECT_TRUE(accel.torqueInstruction > cruise.torqueInstruction &&
                cruise.torqueInstruction > 0.0f && decel.torqueInstruction < 0.0f)
        << "torque follows acceleration, plus friction";
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

}  // namespace
}  // namespace qx::sim
