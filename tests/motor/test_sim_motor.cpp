// The simulated motor the matching tests rely on: a turning rotor that wraps at 16 bits,
// a held one that stays, an index flag that only a matching Z type sees, a pole-pair test
// that keeps polls unacknowledged for a while, and polls it leaves to others.

#include <gtest/gtest.h>

#include "sim/SimOptions.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

using sim::SimMotorMode;

Bytes Request(uint8_t command, std::vector<uint8_t> payload) {
    Bytes f = {0xAA, command, 1, static_cast<uint8_t>((payload.size() + 6) / 2)};
    f.insert(f.end(), payload.begin(), payload.end());
    uint32_t sum = 0;
    for (const uint8_t b : f) {
        sum += b;
    }
    f.push_back(static_cast<uint8_t>(sum >> 8));
    f.push_back(static_cast<uint8_t>(sum));
    return f;
}

struct Drive {
    sim::SimDrive drive;
    std::shared_ptr<sim::SimMotor> motor;
    explicit Drive(const sim::SimMotorSpec& spec = {}) {
        motor = sim::InstallMotorFeatures(drive, spec);
    }
    sim::Frame send(uint8_t command, std::vector<uint8_t> payload, uint64_t us) {
        return drive.handleRequest(Request(command, std::move(payload)), us);
    }
    uint16_t readWord(uint16_t address, uint64_t us) {
        const auto f = send(0xC1,
                            {0x00, 0x91, static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address), 0x00, 0x01},
                            us);
        return static_cast<uint16_t>(f[6] << 8 | f[7]);
    }
    bool acked(const sim::Frame& f) { return f.size() >= 6 && f[4] == 0xAA && f[5] == 0x55; }
};

TEST(SimMotor, TurningAdvancesTheRotorSteadilyAndWrapsAt16Bits) {
    sim::SimMotorSpec spec;  // 60 rpm, 10000 counts: 10 counts a millisecond
    Drive d(spec);
    ASSERT_TRUE(d.acked(d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00}, 0)));
    EXPECT_EQ(d.motor->state().mode, SimMotorMode::Turning);
    EXPECT_EQ(d.readWord(0x0011, 1'000), 10);
    EXPECT_EQ(d.readWord(0x0011, 2'000), 20);
    EXPECT_EQ(d.readWord(0x0011, 6'553'000), 65530);
    EXPECT_EQ(d.readWord(0x0011, 6'554'000), 4);  // 65540 wrapped

    // Counting down when the pulse direction is the other way round.
    spec.pulseDirection = 1;
    d.motor->setSpec(spec);
    ASSERT_TRUE(d.acked(d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00}, 7'000'000)));
    const uint16_t a = d.readWord(0x0011, 7'001'000);
    const uint16_t b = d.readWord(0x0011, 7'002'000);
    EXPECT_EQ(static_cast<uint16_t>(a - b), 10);
}

TEST(SimMotor, HoldAndServoOffKeepTheRotorStill) {
    Drive d;
    d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00}, 0);
    d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x01, 0x80, 0x00, 0x01}, 1'000);
    EXPECT_EQ(d.motor->state().mode, SimMotorMode::Holding);
    EXPECT_EQ(d.motor->state().current, 384);
    EXPECT_EQ(d.readWord(0x0011, 500'000), 10);
    d.send(0xC1, {0x00, 0x18, 0x00, 0x05}, 600'000);
    EXPECT_EQ(d.motor->state().mode, SimMotorMode::Off);
    EXPECT_EQ(d.motor->state().servoOffs, 1);
    EXPECT_EQ(d.readWord(0x0011, 900'000), 10);
    // Unknown actions and wrong lengths are refused.
    EXPECT_FALSE(d.acked(d.send(0xC1, {0x00, 0x18, 0x00, 0x04}, 1'000'000)));
    EXPECT_FALSE(d.acked(d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x00, 0x40}, 1'000'000)));
}

TEST(SimMotor, TheIndexFlagSeesOnlyTheMotorsZType) {
    sim::SimMotorSpec spec;
    spec.zPulseType = 2;
    Drive d(spec);
    EXPECT_EQ(d.readWord(0x0012, 0), 1);                                // seen since power-up
    d.send(0xC1, {0x00, 0x15, 0x02, 0x17, 0x00, 0x01, 0x00, 0x01}, 0);  // Z type 1
    d.send(0xC1, {0x00, 0x14, 0x00, 0x12, 0x00, 0x01, 0x00, 0x01}, 0);  // arm
    EXPECT_EQ(d.readWord(0x0012, 0), 0);
    d.send(0xC1, {0x00, 0x18, 0x00, 0x02, 0x00, 0x40, 0x00, 0x00}, 0);
    EXPECT_EQ(d.readWord(0x0012, 3'000'000), 0);  // three revolutions, wrong type
    d.send(0xC1, {0x00, 0x15, 0x02, 0x17, 0x00, 0x01, 0x00, 0x02}, 3'000'000);
    EXPECT_EQ(d.readWord(0x0012, 3'500'000), 0);  // not yet round
    EXPECT_EQ(d.readWord(0x0012, 4'100'000), 1);
    EXPECT_FALSE(d.motor->state().indexArmed);
}

TEST(SimMotor, PolePairTestKeepsPollsUnacknowledgedThenLeavesItsResults) {
    sim::SimMotorSpec spec;
    spec.polePairs = 6;
    spec.pulseNumber = 4096;
    spec.encoderOffset = 777;
    spec.polePairTestMs = 1000;
    Drive d(spec);
    int otherPolls = 0;
    // Another feature's poll handling, installed later: it must still see our test.
    const auto mine = d.drive.pollHandler();
    d.drive.setPollHandler([&, mine](sim::SimDrive& drive, uint64_t us) {
        ++otherPolls;
        return mine(drive, us);
    });
    ASSERT_TRUE(d.acked(d.send(0xC1, {0x00, 0x18, 0x00, 0x03, 0x00, 0x40}, 0)));
    EXPECT_FALSE(d.acked(d.send(0xC2, {}, 500'000)));
    EXPECT_TRUE(d.acked(d.send(0xC2, {}, 1'000'000)));
    EXPECT_EQ(d.readWord(0x0400, 1'000'001) & 0xFFFC, 4096);
    const uint16_t fourPp = d.readWord(0x0401, 1'000'001);
    EXPECT_GE(fourPp, 23);
    EXPECT_LE(fourPp, 25);
    EXPECT_EQ(d.readWord(0x0402, 1'000'001), 777);
    EXPECT_EQ(d.readWord(0x0403, 1'000'001), 3);
    // With no test running, polls are somebody else's: acknowledged by the drive.
    EXPECT_TRUE(d.acked(d.send(0xC2, {}, 2'000'000)));
    EXPECT_EQ(otherPolls, 3);
}

TEST(SimMotor, PollsGoToTheHandlerInstalledBeforeWhenNoTestRuns) {
    sim::SimDrive drive;
    int earlier = 0;
    drive.setPollHandler([&](sim::SimDrive&, uint64_t) {
        ++earlier;
        return sim::Answer::Ok({0x1234});
    });
    auto motor = sim::InstallMotorFeatures(drive);
    const sim::Frame f = drive.handleRequest(Request(0xC2, {}), 0);
    EXPECT_EQ(earlier, 1);
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[6], 0x12);
}

TEST(SimMotor, EncoderSignalAndAlarmWords) {
    sim::SimMotorSpec spec;
    Drive d(spec);
    EXPECT_NE(d.readWord(0x0009, 0) & 0x0E00, 0);
    spec.encoderType = 1;
    d.motor->setSpec(spec);
    EXPECT_EQ(d.readWord(0x0009, 0) & 0x0E00, 0);
    d.drive.write(0x000D, 0x0008);
    d.send(0xC1, {0x00, 0x15, 0x00, 0x0C, 0x00, 0x03, 0x40, 0, 0, 0, 0, 0}, 0);
    EXPECT_EQ(d.motor->state().alarmClears, 1);
    EXPECT_EQ(d.readWord(0x000D, 0), 0);
    // Other words are written as the drive always did.
    d.send(0xC1, {0x00, 0x15, 0x02, 0x50, 0x00, 0x01, 0x12, 0x34}, 0);
    EXPECT_EQ(d.readWord(0x0250, 0), 0x1234);
}

TEST(SimMotor, SpecFromText) {
    sim::SimMotorSpec spec;
    EXPECT_EQ(sim::ParseMotorSpec("pole-pairs=5,pulse-number=2500,z-type=1,offset=0x9C40,"
                                  "hall=3/4/3/4,rpm=120",
                                  spec),
              std::nullopt);
    EXPECT_EQ(spec.polePairs, 5);
    EXPECT_EQ(spec.pulseNumber, 2500);
    EXPECT_EQ(spec.zPulseType, 1);
    EXPECT_EQ(spec.encoderOffset, 40000);
    EXPECT_EQ(spec.hallWords, (std::array<uint16_t, 4>{3, 4, 3, 4}));
    EXPECT_DOUBLE_EQ(spec.turnRpm, 120.0);
    EXPECT_NE(sim::ParseMotorSpec("poles=5", spec), std::nullopt);
    EXPECT_NE(sim::ParseMotorSpec("pole-pairs=five", spec), std::nullopt);
    EXPECT_NE(sim::ParseMotorSpec("hall=3/3", spec), std::nullopt);
}

TEST(SimMotor, FoundFromItsDrive) {
    auto drive = std::make_shared<sim::SimDrive>();
    EXPECT_EQ(sim::MotorOf(*drive), nullptr);
    auto motor = sim::InstallMotorFeatures(*drive);
    EXPECT_EQ(sim::MotorOf(*drive), motor);
    auto made = sim::MakeSimDrive({}, 0);
    EXPECT_NE(sim::MotorOf(*made), nullptr);
}

}  // namespace
}  // namespace qx::test
