#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qx::sim {

// The big-endian 16- and 32-bit words of a request's payload, from byte `at`.
inline uint16_t Word(std::span<const uint8_t> p, std::size_t at) {
    return static_cast<uint16_t>(p[at] << 8 | p[at + 1]);
}

inline uint32_t DWord(std::span<const uint8_t> p, std::size_t at) {
    return uint32_t{Word(p, at)} << 16 | Word(p, at + 2);
}

}  // namespace qx::sim
