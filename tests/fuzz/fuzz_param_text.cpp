// The parameter editor driven by arbitrary typing: any text in the number and value
// fields, spins of any size, fields left, for every Pn and any range and value the drive
// may report. A text that cannot be complete yet (empty, a lone "-", a bit field shorter
// than its width) waits as typed until its field is left; any other text is either
// refused with "Invalid input value!" and changes nothing but the field, or read exactly
// as an independent reading of the accepted forms says, a word typed unsigned taken as
// its signed self, with the value clamped into the parameter's range. A value the editor
// shows reads back as itself.
//
// Input: a software version, then operations until the input runs out.

#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <limits>
#include <optional>
#include <string>

#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/ParamText.h"
#include "sim/ParamFeatures.h"
#include "tests/fuzz/FuzzPort.h"
#include "tests/support/RecordingMessageSink.h"

namespace {

using Box = qx::test::RecordingMessageSink::Box;
using qx::fuzz::Check;

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Characters(const std::string& text) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        chars += (i == 0 || !IsContinuation(text[i])) ? 1 : 0;
    }
    return chars;
}

// What the editor should make of `text`, written apart from ParamText: a text of at most
// eleven characters (UTF-8 code points; a stray continuation byte at the start still
// counts as one); for a bit field exactly `width` characters, "1" a set bit; otherwise
// an optional "-" and digits, within 32 bits.
std::optional<int32_t> Expected(const std::string& text, int width) {
    const std::size_t chars = Characters(text);
    if (chars > qx::kMaxParamTextChars) {
        return std::nullopt;
    }
    if (width > 0) {
        if (chars != static_cast<std::size_t>(width)) {
            return std::nullopt;
        }
        int32_t value = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i > 0 && IsContinuation(text[i])) {
                continue;
            }
            const bool one =
                text[i] == '1' && (i + 1 == text.size() || !IsContinuation(text[i + 1]));
            value = value * 2 + (one ? 1 : 0);
        }
        return value;
    }
    const std::size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digits) {
        return 0;
    }
    int64_t magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + digits, end, magnitude);
    if (ec != std::errc() || ptr != end || text[digits] == '-' || text[digits] == '+') {
        return std::nullopt;
    }
    const int64_t value = digits ? -magnitude : magnitude;
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// A text that waits for more: "" and "-" in a decimal field, fewer characters than a bit
// field's width.
bool Waits(const std::string& text, int width) {
    return width > 0 ? Characters(text) < static_cast<std::size_t>(width)
                     : text.empty() || text == "-";
}

// A decimal 32768 to 65535 above the maximum stands for its 16-bit word when that word,
// read signed, is within the range.
int32_t AsWord(int32_t value, int width, int32_t minimum, int32_t maximum) {
    const int32_t word = static_cast<int16_t>(static_cast<uint16_t>(value));
    const bool typedUnsigned = width == 0 && value > maximum && value >= 32768 && value <= 65535;
    return typedUnsigned && word >= minimum && word <= maximum ? word : value;
}

// Where the editor puts `value` for a range: the range clamps it; a range whose bounds
// are crossed gives one of them.
int32_t Clamped(int64_t value, int32_t minimum, int32_t maximum) {
    if (value >= maximum) {
        return maximum;
    }
    if (value <= minimum) {
        return minimum;
    }
    return static_cast<int32_t>(value);
}

// Whether the text shown for `value` can carry it: every decimal value, and bit-field
// values within the width.
bool Showable(int pn, int32_t value) {
    const int width = qx::ParamBitWidth(pn);
    return width == 0 || (value >= 0 && value < (int32_t{1} << width));
}

struct Fixture {
    qx::UserParamTable table;
    qx::test::RecordingMessageSink messages;
    std::optional<qx::ParamEditor> editor;
    bool numberWaits = false;
    bool valueWaits = false;

    explicit Fixture(uint32_t softwareVersion) {
        table.highestParamNumber = qx::kHighestParamNumber;
        for (int pn = 0; pn <= qx::kHighestParamNumber; ++pn) {
            const qx::sim::SimParam p = qx::sim::SimParamOf(pn, 913);
            table.minimum[pn] = p.minimum;
            table.maximum[pn] = p.maximum;
            table.value[pn] = p.defaultValue;
        }
        editor.emplace(table, softwareVersion, messages);
        editor->open();
    }

    std::size_t boxes() const { return messages.boxes().size(); }

    // The value field shows the value; the number field too when it was just set (a
    // refused number text stays in its field until the Pn changes).
    void checkShown(bool numberSet) const {
        const int pn = editor->pn();
        Check(pn >= 0 && pn <= qx::kHighestParamNumber);
        Check(!numberSet || editor->numberText() == std::to_string(pn));
        Check(editor->valueText() == qx::FormatParamValue(pn, editor->value()));
    }

    void checkRefused(std::size_t boxesBefore) const {
        const auto all = messages.boxes();
        Check(all.size() == boxesBefore + 1);
        Check(all.back() == Box{qx::kInvalidInputText, qx::kTitleWarning});
    }

    void typeNumber(const std::string& text) {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        const std::size_t before = boxes();
        const std::optional<int32_t> expected = Expected(text, 0);
        const bool accepted = editor->numberTextChanged(text);
        Check(accepted == expected.has_value());
        numberWaits = Waits(text, 0);
        if (numberWaits) {
            Check(boxes() == before && editor->pn() == pn && editor->value() == value &&
                  editor->numberText() == text);
            return;
        }
        if (!accepted) {
            checkRefused(before);
            Check(editor->pn() == pn && editor->value() == value && editor->numberText() == text);
            return;
        }
        Check(boxes() == before);
        Check(editor->pn() == std::clamp(*expected, 0, qx::kHighestParamNumber));
        Check(editor->value() == table.value[editor->pn()]);
        valueWaits = false;
        checkShown(true);
    }

    void leaveNumber() {
        const std::size_t before = boxes();
        const int pn = editor->pn();
        editor->numberFieldLeft();
        Check(boxes() == before);
        if (!numberWaits) {
            Check(editor->pn() == pn);
            return;
        }
        numberWaits = valueWaits = false;
        Check(editor->pn() == 0 && editor->value() == table.value[0]);
        checkShown(true);
    }

    void typeValue(const std::string& text) {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        const std::size_t before = boxes();
        const std::optional<int32_t> expected = Expected(text, qx::ParamBitWidth(pn));
        const bool accepted = editor->valueTextChanged(text);
        valueWaits = Waits(text, qx::ParamBitWidth(pn));
        Check(accepted == (valueWaits || expected.has_value()));
        Check(editor->pn() == pn);
        if (valueWaits) {
            Check(boxes() == before && editor->value() == value && editor->valueText() == text);
            return;
        }
        if (!accepted) {
            checkRefused(before);
            Check(editor->value() == value && editor->valueText() == text);
            return;
        }
        Check(boxes() == before);
        Check(editor->value() == Clamped(AsWord(*expected, qx::ParamBitWidth(pn), table.minimum[pn],
                                                table.maximum[pn]),
                                         table.minimum[pn], table.maximum[pn]));
        checkShown(false);
        checkReadsBack();
    }

    void leaveValue() {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        const std::size_t before = boxes();
        const std::string text = editor->valueText();
        const bool accepted = editor->valueFieldLeft();
        if (!valueWaits) {
            Check(accepted && boxes() == before && editor->value() == value);
            return;
        }
        const std::optional<int32_t> expected = Expected(text, qx::ParamBitWidth(pn));
        Check(accepted == expected.has_value());
        if (!accepted) {
            checkRefused(before);
            Check(editor->value() == value && editor->valueText() == text);
            return;
        }
        valueWaits = false;
        Check(boxes() == before);
        Check(editor->value() == Clamped(*expected, table.minimum[pn], table.maximum[pn]));
        checkShown(false);
    }

    void spinValue(int delta) {
        const int pn = editor->pn();
        const int64_t stepped = int64_t{editor->value()} - delta;
        editor->valueSpun(delta);
        valueWaits = false;
        Check(editor->value() == Clamped(stepped, table.minimum[pn], table.maximum[pn]));
        checkShown(false);
        checkReadsBack();
    }

    void spinNumber(int delta) {
        const int64_t stepped = int64_t{editor->pn()} - delta;
        editor->numberSpun(delta);
        numberWaits = valueWaits = false;
        Check(editor->pn() == std::clamp<int64_t>(stepped, 0, qx::kHighestParamNumber));
        Check(editor->value() == table.value[editor->pn()]);
        checkShown(true);
    }

    // The text shown for the value, typed again, is accepted and gives the value back.
    void checkReadsBack() {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        if (!Showable(pn, value)) {
            return;
        }
        const std::string shown = editor->valueText();
        Check(qx::ParseParamText(shown, qx::ParamBitWidth(pn)) == value);
        if (value >= table.minimum[pn] && value <= table.maximum[pn]) {
            const std::size_t before = boxes();
            Check(editor->valueTextChanged(shown));
            Check(boxes() == before && editor->value() == value && editor->valueText() == shown);
        }
    }
};

enum class Op : uint8_t {
    Number,
    Value,
    SpinNumber,
    SpinValue,
    DriveRange,
    AnyRange,
    LeaveNumber,
    LeaveValue,
    kMaxValue = LeaveValue
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const uint32_t version = in.ConsumeBool() ? 913u : in.ConsumeIntegral<uint16_t>();
    Fixture f(version);
    while (in.remaining_bytes() > 0) {
        const int pn = f.editor->pn();
        switch (in.ConsumeEnum<Op>()) {
            case Op::Number:
                f.typeNumber(in.ConsumeRandomLengthString(16));
                break;
            case Op::Value:
                f.typeValue(in.ConsumeRandomLengthString(16));
                break;
            case Op::SpinNumber:
                f.spinNumber(in.ConsumeIntegral<int>());
                break;
            case Op::SpinValue:
                f.spinValue(in.ConsumeIntegral<int>());
                break;
            case Op::DriveRange:
                // As the loader stores them: sign-extended drive words.
                f.table.minimum[pn] = in.ConsumeIntegral<int16_t>();
                f.table.maximum[pn] = in.ConsumeIntegral<int16_t>();
                f.table.value[pn] = in.ConsumeIntegral<int16_t>();
                break;
            case Op::LeaveNumber:
                f.leaveNumber();
                break;
            case Op::LeaveValue:
                f.leaveValue();
                break;
            case Op::AnyRange:
                f.table.minimum[pn] = in.ConsumeIntegral<int32_t>();
                f.table.maximum[pn] = in.ConsumeIntegral<int32_t>();
                f.table.value[pn] = in.ConsumeIntegral<int32_t>();
                break;
        }
    }
    return 0;
}
