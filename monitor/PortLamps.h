#pragma once

#include <array>
#include <cstdint>

#include "monitor/StatusWords.h"

namespace qx {

inline constexpr int kLampCount = 20;

enum class LampGroup { Cn2Input, Cn2Output, Cn1Input };
enum class LampField { InputBits, OutputBits, PhaseBits };

// One lamp of the port monitor: where it sits and which status bit lights it.
struct LampInfo {
    LampGroup group;
    const char* label;
    int controlId;
    LampField field;
    int bit;  // 0 = least significant
};

// The twenty lamps in their index order.
extern const std::array<LampInfo, kLampCount> kLamps;

// The group boxes' captions, in LampGroup order.
extern const std::array<const char*, 3> kLampGroupCaptions;

// 1 = lit, 0 = dark, per lamp index.
using LampStates = std::array<int, kLampCount>;

// The lamp states the status words light: inputs bits 9..0 on lamps 0..9, outputs bits
// 4..1 on lamps 10..13 (bit 0 is not shown), phases bits 5..0 on lamps 14..19.
LampStates ComputeLampStates(uint32_t inputBits, uint32_t outputBits, uint32_t phaseBits);
LampStates ComputeLampStates(const StatusWords& words);

struct Rgb {
    uint8_t r;
    uint8_t g;
    uint8_t b;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kLampLit{0, 200, 0};
inline constexpr Rgb kLampDark{180, 180, 180};

}  // namespace qx
