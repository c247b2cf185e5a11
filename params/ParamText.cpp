#include "params/ParamText.h"

#include <limits>
#include <vector>

#include "params/ParamCatalog.h"

namespace qx {

namespace {

// The edit controls hand over UTF-8; a character is one code point, whatever its bytes.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> chars;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        if (i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            chars.push_back(text.substr(start, i - start));
            start = i;
        }
    }
    return chars;
}

std::optional<int32_t> ParseBits(const std::vector<std::string_view>& chars, int width) {
    if (chars.size() != static_cast<std::size_t>(width)) {
        return std::nullopt;
    }
    int32_t value = 0;
    for (const std::string_view c : chars) {
        value = value * 2 + (c == "1" ? 1 : 0);
    }
    return value;
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - '0');
    }
    // At most 11 characters keep the magnitude far below the 64-bit limit.
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

std::string FormatParamValue(int pn, int32_t value) {
    const int width = ParamBitWidth(pn);
    if (width == 0) {
        return std::to_string(value);
    }
    std::string bits;
    int64_t remaining = value;
    for (int i = width - 1; i >= 0; --i) {
        const int64_t weight = int64_t{1} << i;
        if (remaining < weight) {
            bits += '0';
        } else {
            bits += '1';
            remaining -= weight;
        }
    }
    return bits;
}

std::optional<int32_t> ParamValueFromText(std::string_view text, int pn, int32_t minimum,
                                          int32_t maximum) {
    const int width = ParamBitWidth(pn);
    const std::optional<int32_t> value = ParseParamText(text, width);
    constexpr int32_t kWordSpan = 0x10000;
    if (!value || width > 0 || *value <= maximum || *value < kWordSpan / 2 || *value >= kWordSpan) {
        return value;
    }
    const int32_t word = *value - kWordSpan;
    return word >= minimum && word <= maximum ? word : *value;
}

std::optional<int32_t> ParseParamText(std::string_view text, int bitWidth) {
    const std::vector<std::string_view> chars = Characters(text);
    if (chars.size() > kMaxParamTextChars) {
        return std::nullopt;
    }
    if (bitWidth > 0) {
        return ParseBits(chars, bitWidth);
    }
    return ParseDecimal(text);
}

}  // namespace qx
