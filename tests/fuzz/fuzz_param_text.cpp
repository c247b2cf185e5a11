// The parameter editor driven by arbitrary typing: any text in the number and value
// fields, spins of any size, fields left, for every Pn and any range and value the drive
// may report. Whatever comes, the editor stays on a Pn that exists, refuses only with
// "Invalid input value!" and then changes nothing but the field, keeps every value it
// reads inside the parameter's range, and a value it shows reads back as itself. (Which
// texts mean what is the parameter tests' table.)
//
// Input: a software version, then operations until the input runs out.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
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

struct Fixture {
    qx::UserParamTable table;
    qx::test::RecordingMessageSink messages;
    std::optional<qx::ParamEditor> editor;

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

    int width() const { return qx::ParamBitWidth(editor->pn()); }

    // Runs one operation and checks what holds after any: a refusal is one warning and
    // keeps Pn and value; an acceptance says nothing.
    template <typename Op>
    bool step(Op op) {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        const std::size_t before = messages.boxes().size();
        const bool accepted = op();
        const auto boxes = messages.boxes();
        Check(editor->pn() >= 0 && editor->pn() <= qx::kHighestParamNumber);
        if (accepted) {
            Check(boxes.size() == before);
        } else {
            Check(boxes.size() == before + 1 &&
                  boxes.back() == Box{qx::kInvalidInputText, qx::kTitleWarning});
            Check(editor->pn() == pn && editor->value() == value);
        }
        return accepted;
    }

    // A value the editor took: inside the range (a range with crossed bounds gives one
    // of them), shown as itself, and its text typed again gives it back.
    void checkValue() {
        const int pn = editor->pn();
        const int32_t value = editor->value();
        const int32_t lo = std::min(table.minimum[pn], table.maximum[pn]);
        const int32_t hi = std::max(table.minimum[pn], table.maximum[pn]);
        Check(value >= lo && value <= hi);
        const std::string shown = editor->valueText();
        Check(shown == qx::FormatParamValue(pn, value));
        if (width() > 0 && (value < 0 || value >= (int32_t{1} << width()))) {
            return;  // a bit field cannot show what lies beyond its width
        }
        Check(qx::ParseParamText(shown, width()) == value);
        if (table.minimum[pn] <= table.maximum[pn]) {
            Check(step([&] { return editor->valueTextChanged(shown); }));
            Check(editor->value() == value && editor->valueText() == shown);
        }
    }

    // A Pn the editor moved to: its number and cached value shown.
    void checkParam() {
        Check(editor->numberText() == std::to_string(editor->pn()));
        Check(editor->value() == table.value[editor->pn()]);
        Check(editor->valueText() == qx::FormatParamValue(editor->pn(), editor->value()));
    }

    void typeNumber(const std::string& text) {
        const int32_t value = editor->value();
        if (!step([&] { return editor->numberTextChanged(text); })) {
            Check(editor->numberText() == text);
        } else if (qx::ParamTextIncomplete(text, 0)) {
            Check(editor->numberText() == text && editor->value() == value);
        } else {
            checkParam();
        }
    }

    void typeValue(const std::string& text) {
        const int32_t value = editor->value();
        const bool waits = qx::ParamTextIncomplete(text, width());
        if (!step([&] { return editor->valueTextChanged(text); }) || waits) {
            Check(editor->valueText() == text && editor->value() == value);
        } else {
            checkValue();
        }
    }

    void spinNumber(int delta) {
        const int64_t stepped = int64_t{editor->pn()} - delta;
        step([&] { return editor->numberSpun(delta), true; });
        Check(editor->pn() == std::clamp<int64_t>(stepped, 0, qx::kHighestParamNumber));
        checkParam();
    }

    void spinValue(int delta) {
        const int pn = editor->pn();
        const int64_t stepped = int64_t{editor->value()} - delta;
        step([&] { return editor->valueSpun(delta), true; });
        if (stepped > table.minimum[pn] && stepped < table.maximum[pn]) {
            Check(editor->value() == stepped);
        }
        checkValue();
    }

    // A waiting number is read as 0 when left; a waiting value is read and clamped.
    void leaveNumber() {
        const bool waits = qx::ParamTextIncomplete(editor->numberText(), 0);
        const int pn = editor->pn();
        step([&] { return editor->numberFieldLeft(), true; });
        Check(editor->pn() == (waits ? 0 : pn));
        if (waits) {
            checkParam();
        }
    }

    void leaveValue() {
        const bool waits = qx::ParamTextIncomplete(editor->valueText(), width());
        const int32_t value = editor->value();
        const bool accepted = step([&] { return editor->valueFieldLeft(); });
        if (!waits) {
            Check(accepted && editor->value() == value);
        } else if (accepted) {
            checkValue();
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
            case Op::AnyRange:
                f.table.minimum[pn] = in.ConsumeIntegral<int32_t>();
                f.table.maximum[pn] = in.ConsumeIntegral<int32_t>();
                f.table.value[pn] = in.ConsumeIntegral<int32_t>();
                break;
            case Op::LeaveNumber:
                f.leaveNumber();
                break;
            case Op::LeaveValue:
                f.leaveValue();
                break;
        }
    }
    return 0;
}
