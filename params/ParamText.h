#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The editor's fields hold at most this many characters; a longer text is refused
// rather than cut, so what is written is always what was typed.
inline constexpr std::size_t kMaxParamTextChars = 11;

// The text the editor shows for `value` of Pn `pn`: decimal, or for a bit-field
// parameter a string of exactly its bit width, most significant bit first (a negative
// value shows as all "0", one of 2^width or more as all "1").
std::string FormatParamValue(int pn, int32_t value);

// Reads a parameter number (bitWidth 0), a decimal value (bitWidth 0) or a bit-field
// value (its width). Returns nothing when the text is not accepted:
// - more than 11 characters;
// - a bit field whose text is not exactly `bitWidth` characters ("1" sets a bit, any
//   other character leaves it clear);
// - a decimal text other than an optional "-" followed by digits 0 to 9, or one whose
//   number does not fit 32 bits. The empty text and a lone "-" read as 0.
std::optional<int32_t> ParseParamText(std::string_view text, int bitWidth);

// The value typed for Pn `pn` whose range is `minimum` to `maximum`, before any clamping:
// ParseParamText, except that a decimal 32768 to 65535 beyond the maximum is taken as the
// same 16-bit word when that word, read signed, lies within the range. A drive word is
// 16 bits, so "40613" (Pn 2's unlock code as its help text gives it) is the word
// the table shows as -24923, not a number to clamp to 32767.
std::optional<int32_t> ParamValueFromText(std::string_view text, int pn, int32_t minimum,
                                          int32_t maximum);

}  // namespace qx
