#pragma once

// Numbers given on the command line, checked as the windows check their fields. Every
// command reads its numeric options and arguments through these, so a script gets a
// refusal that names the option and its range (exit status 2, before anything reaches
// the drive), never a value silently clamped, wrapped or read as NaN.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx::cli {

// What an option accepts: a finite number from `minimum` to `maximum`, a whole number
// when `whole`; `unit` ("A", "ms" ...) is named in the refusal.
struct ValueRange {
    double minimum = 0;
    double maximum = 0;
    bool whole = false;
    std::string unit;
};

// A decimal number as a person writes it: an optional sign, digits with an optional
// point and fraction, an optional exponent. Nothing else: the empty text, blanks, "nan",
// "inf", hexadecimal and trailing characters are no number, nor is one beyond a double.
std::optional<double> ParseNumber(std::string_view text);

// The refusal of `text` for `option` ("--range: 'nan' is not a number from 0 to 100 A"),
// or nothing when it is a number within `range`.
std::optional<std::string> RangeRefusal(const std::string& option, const std::string& text,
                                        const ValueRange& range);

// The number `text` given for `option`, within `range`; otherwise throws the refusal as
// CLI::ValidationError, which ends the tool with status 2.
double CheckedNumber(const std::string& option, const std::string& text, const ValueRange& range);

// A CLI11 check for an option whose range depends on nothing else. A whole number is
// handed on in plain digits ("1e3" becomes "1000"), so any integer option takes it.
CLI::Validator InRange(const ValueRange& range);

}  // namespace qx::cli
