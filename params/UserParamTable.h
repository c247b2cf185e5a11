#pragma once

#include <array>
#include <cstdint>

namespace qx {

// The arrays are larger than the catalogue because the loader's last batch of eight
// values runs past Pn 183.
inline constexpr int kUserParamTableSize = 512;

// The program-wide cache of every parameter's value and range, as the drive gave them.
// The loading worker fills it while its dialog is up; afterwards only the user-interface
// thread touches it.
struct UserParamTable {
    int32_t highestParamNumber = 0;
    uint32_t rangeTableBase = 0;
    std::array<int32_t, kUserParamTableSize> value{};    // sign-extended drive words
    std::array<int32_t, kUserParamTableSize> minimum{};  // sign-extended drive words
    std::array<int32_t, kUserParamTableSize> maximum{};  // sign-extended drive words
};

}  // namespace qx
