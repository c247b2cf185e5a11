#include "cli/OptionValue.h"

#include <charconv>
#include <cmath>

#include "cli/ResultOutput.h"

namespace qx::cli {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        body.remove_prefix(1);
    }
    // from_chars alone would take "inf", "nan" and hexadecimal digits after "0x".
    if (body.empty() || !(IsDigit(body.front()) || body.front() == '.')) {
        return std::nullopt;
    }
    for (const char c : body) {
        if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (error != std::errc() || end != body.data() + body.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return text.front() == '-' ? -value : value;
}

namespace {

// Why `text` is not within `range`, or nothing when it is.
std::optional<std::string> Refusal(const std::string& text, const ValueRange& range) {
    const std::optional<double> value = ParseNumber(text);
    if (value && *value >= range.minimum && *value <= range.maximum &&
        (!range.whole || *value == std::trunc(*value))) {
        return std::nullopt;
    }
    return "'" + text + "' is not " + (range.whole ? "a whole number" : "a number") + " from " +
           ExactNumber(range.minimum) + " to " + ExactNumber(range.maximum) +
           (range.unit.empty() ? "" : " " + range.unit);
}

}  // namespace

std::optional<std::string> RangeRefusal(const std::string& option, const std::string& text,
                                        const ValueRange& range) {
    const auto refusal = Refusal(text, range);
    return refusal ? std::optional<std::string>(option + ": " + *refusal) : std::nullopt;
}

double CheckedNumber(const std::string& option, const std::string& text, const ValueRange& range) {
    if (const auto refusal = RangeRefusal(option, text, range)) {
        throw CLI::ValidationError(*refusal);
    }
    return *ParseNumber(text);
}

CLI::Validator InRange(const ValueRange& range) {
    return CLI::Validator(
        [range](std::string& text) -> std::string {
            // CLI11 puts the option's name in front of what a check returns.
            if (const auto refusal = Refusal(text, range)) {
                return *refusal;
            }
            if (range.whole) {
                text = std::to_string(static_cast<int64_t>(*ParseNumber(text)));
            }
            return {};
        },
        range.whole ? "WHOLE NUMBER" : "NUMBER");
}

}  // namespace qx::cli
