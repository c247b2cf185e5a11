#pragma once

#include <cstdint>

namespace qx::sim {

// 115200 baud with 8 data bits, odd parity and two stop bits: 12 bit times a byte.
inline constexpr uint64_t kBaudRate = 115200;
inline constexpr uint64_t kBitsPerByte = 12;

// Microseconds (rounded up) that `bytes` bytes occupy on the wire.
constexpr uint64_t WireTimeUs(uint64_t bytes) {
    return (bytes * kBitsPerByte * 1'000'000 + kBaudRate - 1) / kBaudRate;
}

constexpr double WireTimeMs(uint64_t bytes) {
    return static_cast<double>(bytes * kBitsPerByte) * 1000.0 / static_cast<double>(kBaudRate);
}

}  // namespace qx::sim
