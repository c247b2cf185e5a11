#pragma once

// The drive in normal operation: a repeating speed profile (up to +1000 rpm, across to
// -1000 rpm and back to rest every two seconds) followed by the motor with a short lag,
// the current that accelerates it and the position it travels. Every quantity is a
// function of the base-rate tick alone, so a capture can sample any stretch of time.

#include <array>
#include <cstdint>
#include <vector>

namespace qx::sim {

inline constexpr uint32_t kProfileTicks = 8000;  // two seconds at the base rate
inline constexpr uint32_t kTicksPerSecond = 4000;

// Command (channel 1) and feedback (channel 2) of one quantity, in drive units:
// current A x 128, speed rpm x 4, position pulses.
struct ChannelPair {
    int32_t command = 0;
    int32_t feedback = 0;
};

class NormalOperation {
  public:
    NormalOperation();

    // monitorType 0 current, 1 speed, 2 position.
    ChannelPair sample(int monitorType, uint64_t tick) const;

  private:
    std::vector<int32_t> speedCmd_;  // rpm x 4 per tick of one profile
    std::vector<int32_t> speedFb_;
    std::vector<int32_t> currentCmd_;  // A x 128
    std::vector<int32_t> currentFb_;
    std::vector<int64_t> positionCmd_;  // pulses from the profile's start
    std::vector<int64_t> positionFb_;
};

}  // namespace qx::sim
