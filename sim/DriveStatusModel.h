#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "monitor/StatusWords.h"
#include "sim/DriveStatusSettings.h"

namespace qx::sim {

// The simulated drive's live state as its status reply reports it: a motor running a
// repeating speed profile (accelerate, cruise, decelerate, dwell, then the same in
// reverse), the position integrated from it, the feedback lagging the instruction a
// little and the torque following the acceleration. An alarm, a disabled servo or
// `still` stops the motor where it is. Safe to use from several threads.
class DriveStatusModel {
  public:
    static constexpr double kTopSpeedRpm = 1500.0;
    static constexpr double kPulsesPerRev = 10000.0;
    static constexpr int kPolePairs = 4;
    static constexpr uint16_t kAlarmPresent = 0x0100;
    static constexpr uint16_t kServoEnableBit = 1u << 9;
    static constexpr int32_t kInPositionPulses = 10;

    explicit DriveStatusModel(const DriveStatusSettings& settings = {}, uint64_t startUs = 0);

    void setAlarm(uint16_t number);
    void setDcBusVolts(uint16_t volts);
    void setInputBits(uint16_t bits);
    void setOutputBits(std::optional<uint16_t> bits);
    void setPhaseBits(std::optional<uint16_t> bits);
    void setStill(bool still);
    DriveStatusSettings settings() const;

    // The status at `nowUs`; the motor runs on from where it stood at the last call.
    StatusWords statusAt(uint64_t nowUs);

    // The poll reply's data: an unused word (reply bytes 6 and 7), then the fields in
    // reply order, 32-bit positions high word first.
    static std::vector<uint16_t> ReplyWords(const StatusWords& words);

  private:
    mutable std::mutex mutex_;
    DriveStatusSettings settings_;
    uint64_t lastUs_;
    uint64_t motionUs_ = 0;  // time the motor has spent running
};

}  // namespace qx::sim
