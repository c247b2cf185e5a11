#pragma once

// The motor behind the simulated drive: the motor tests of the motor setup (turn, hold,
// the pole-pair and offset test, servo off), the rotor position and index flag words,
// the encoder signal word and the alarm words. The motor is settable, so a test can
// match motors of different kinds.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "sim/SimDrive.h"

namespace qx::sim {

// What the simulated motor really is: what a match should find.
struct SimMotorSpec {
    int polePairs = 4;
    int pulseNumber = 10000;  // counts per revolution of word 0x0011; a multiple of 4
    int encoderType = 0;      // 0 standard, 1 less-wire
    int magnetDirection = 0;  // the way the shaft turns in the direction test: 0 CCW, 1 CW
    int pulseDirection = 0;
    int uvwDirection = 0;  // hall words 3, 3, 3, 3 for 0 and 4, 4, 4, 4 for 1
    int zPulseType = 0;    // the Z pulse type (word 0x0217, bits 1..0) that sees the index
    uint16_t encoderOffset = 1234;
    // The four hall words of the pole-pair test, when they are not those of uvwDirection.
    std::optional<std::array<uint16_t, 4>> hallWords;
    double turnRpm = 60.0;           // speed of the direction test
    uint32_t polePairTestMs = 3000;  // how long polls go unacknowledged during the test
    bool indexSeenAtStart = true;    // word 0x0012 reads 1 until it is first armed
    uint32_t noiseSeed = 1;
};

enum class SimMotorMode { Off, Turning, Holding, PolePairTest };

// What the motor has been asked to do, for tests.
struct SimMotorState {
    SimMotorMode mode = SimMotorMode::Off;
    uint16_t current = 0;  // amperes x 128 of the running test
    int servoOffs = 0;
    int alarmClears = 0;
    int polePairTests = 0;  // completed ones
    bool indexArmed = false;
};

class SimMotor {
  public:
    explicit SimMotor(SimDrive& drive);

    // Replaces the motor; the rotor stops where it is.
    void setSpec(const SimMotorSpec& spec);
    SimMotorSpec spec() const;
    SimMotorState state() const;

    // Word addresses of the motor's own words.
    static constexpr uint16_t kEncoderSignalWord = 0x0009;
    static constexpr uint16_t kAlarmWordFirst = 0x000C;
    static constexpr uint16_t kAlarmWords = 3;
    static constexpr uint16_t kRotorPositionWord = 0x0011;
    static constexpr uint16_t kIndexFlagWord = 0x0012;
    static constexpr uint16_t kEncoderFlagsWord = 0x0217;
    static constexpr uint16_t kResultsWord = 0x0400;

    // Called by the drive's handlers, with the drive locked.
    void advanceTo(uint64_t nowUs);
    Answer motorTest(std::span<const uint8_t> payload, uint64_t nowUs);
    // Nothing when no pole-pair test is running: the poll is somebody else's.
    std::optional<Answer> poll(uint64_t nowUs);
    void afterWrite(uint16_t address, std::size_t count);

  private:
    void writeSignalWord();
    void finishPolePairTest();
    int64_t countsNow() const;

    SimDrive& drive_;
    SimMotorSpec spec_;
    SimMotorState state_;
    double counts_ = 0.0;  // rotor angle in encoder counts, unbounded
    uint64_t lastUs_ = 0;
    bool clockStarted_ = false;
    uint64_t testStartUs_ = 0;
    uint64_t testJob_ = 0;
    std::mt19937 noise_;
};

// Adds the motor to `drive`: the MotorTest sub-command, and wrappers around the word
// read, the two word writes and the poll that serve the motor's words and pass
// everything else on to the handlers already in place.
std::shared_ptr<SimMotor> InstallMotorFeatures(SimDrive& drive, const SimMotorSpec& spec = {});

// The motor installed on `drive`, if any (for programs that only hold the drive).
std::shared_ptr<SimMotor> MotorOf(const SimDrive& drive);

// Parses "key=value,..." with the keys pole-pairs, pulse-number, encoder-type,
// magnet-direction, pulse-direction, uvw-direction, z-type, offset, hall (four words
// separated by '/'), rpm and test-ms into `spec`. Returns an explanation on error.
std::optional<std::string> ParseMotorSpec(const std::string& text, SimMotorSpec& spec);

}  // namespace qx::sim
