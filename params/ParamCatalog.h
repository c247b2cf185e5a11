#pragma once

// What the program knows about the drive's user parameters Pn 0 to 183 without asking
// the drive: where each one lives in drive memory, which ones are bit fields, and the
// title and help text the parameter editor shows. The drive supplies only the numbers.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include "link/ConnectDrive.h"  // IsSupportedSoftwareVersion: the version gate
#include "params/UserParamTable.h"

namespace qx {

inline constexpr int kHighestParamNumber = 183;
inline constexpr int kParamCount = kHighestParamNumber + 1;

// Word address of the drive's range table: minimum and maximum of Pn k side by side.
inline constexpr uint32_t kRangeTableBase = 0x3F301A;

// Pn 2 must hold this before the drive accepts any parameter change.
inline constexpr uint16_t kUnlockCode = 40613;

// The drive words 0x0200 to 0x03FF: the parameter image kept in parameter files.
inline constexpr uint16_t kParamImageFirstWord = 0x0200;
inline constexpr int kParamImageWordCount = 512;

// Pn 0 to 63 have texts of their own; the rest are generated from three families.
inline constexpr int kHighestFixedTextParam = 63;

// From this Pn on, titles and help texts depend on the drive's software version.
inline constexpr int kFirstVersionGatedParam = 58;

constexpr bool IsValidParamNumber(int pn) {
    return pn >= 0 && pn <= kHighestParamNumber;
}

// Pn 0 sits apart from the rest: 0x0200, then Pn 1 at 0x0240 up to Pn 183 at 0x02F6.
uint16_t ParamWordAddress(int pn);
uint32_t ParamMinimumAddress(int pn);
uint32_t ParamMaximumAddress(int pn);

// Number of bits shown for a bit-field parameter (Pn 8 to 14); 0 for a decimal one.
int ParamBitWidth(int pn);

// Signal names of a bit-field parameter, highest bit first; empty for a decimal one.
std::span<const std::string_view> ParamBitNames(int pn);

// Texts of Pn 0 to 63 regardless of the drive version; empty for any other Pn.
std::string_view FixedParamTitle(int pn);
std::string_view FixedParamHelp(int pn);

// Fills the editor's title and help for Pn `pn`. The help is cleared first, so nothing
// of the previous Pn's text survives. Where there is nothing to show (Pn 58 and above
// with an unsupported software version, or a Pn outside 0 to 183) the help stays empty
// and the title keeps whatever it held.
void BuildParamText(int pn, uint32_t softwareVersion, std::string& title, std::string& help);

}  // namespace qx
