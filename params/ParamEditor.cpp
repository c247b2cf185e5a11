#include "params/ParamEditor.h"

#include <algorithm>

#include "params/ParamCatalog.h"
#include "params/ParamText.h"
#include "params/WriteUserParam.h"

namespace qx {

namespace {

// Characters as the parser counts them: code points, a stray continuation byte at the
// start counting as one.
std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        count += (i == 0 || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ? 1 : 0;
    }
    return count;
}

}  // namespace

bool ParamTextIncomplete(std::string_view text, int bitWidth) {
    if (bitWidth > 0) {
        return CharacterCount(text) < static_cast<std::size_t>(bitWidth);
    }
    return text.empty() || text == "-";
}

ParamEditor::ParamEditor(UserParamTable& table, uint32_t softwareVersion, MessageSink& owner,
                         ParamChangeLog* log)
    : table_(table), softwareVersion_(softwareVersion), owner_(owner), log_(log) {}

void ParamEditor::open() {
    pn_ = 0;
    showParam();
}

int ParamEditor::clampedPn(int64_t pn) const {
    return static_cast<int>(std::clamp<int64_t>(pn, 0, table_.highestParamNumber));
}

void ParamEditor::showParam() {
    value_ = table_.value[pn_];
    numberText_ = std::to_string(pn_);
    valueText_ = FormatParamValue(pn_, value_);
    numberWaiting_ = false;
    valueWaiting_ = false;
    BuildParamText(pn_, softwareVersion_, title_, help_);
}

bool ParamEditor::numberTextChanged(std::string_view text) {
    numberText_ = text;
    numberWaiting_ = ParamTextIncomplete(text, 0);
    if (numberWaiting_) {
        return true;
    }
    const auto parsed = ParseParamText(text, 0);
    if (!parsed) {
        owner_.show(kInvalidInputText, kTitleWarning);
        return false;
    }
    pn_ = clampedPn(*parsed);
    showParam();
    return true;
}

void ParamEditor::numberFieldLeft() {
    if (numberWaiting_) {
        pn_ = clampedPn(ParseParamText(numberText_, 0).value_or(0));
        showParam();
    }
}

bool ParamEditor::valueTextChanged(std::string_view text) {
    valueText_ = text;
    valueWaiting_ = ParamTextIncomplete(text, ParamBitWidth(pn_));
    return valueWaiting_ || readValueText();
}

bool ParamEditor::valueFieldLeft() {
    return !valueWaiting_ || readValueText();
}

bool ParamEditor::readValueText() {
    const auto parsed =
        ParamValueFromText(valueText_, pn_, table_.minimum[pn_], table_.maximum[pn_]);
    if (!parsed) {
        owner_.show(kInvalidInputText, kTitleWarning);
        return false;
    }
    value_ = ClampToParamRange(table_, pn_, *parsed);
    valueText_ = FormatParamValue(pn_, value_);
    valueWaiting_ = false;
    return true;
}

void ParamEditor::numberSpun(int delta) {
    pn_ = clampedPn(int64_t{pn_} - delta);
    showParam();
}

void ParamEditor::valueSpun(int delta) {
    // 64 bits, so stepping past a bound of the 32-bit range cannot wrap round.
    value_ = ClampToParamRange(table_, pn_, int64_t{value_} - delta);
    valueText_ = FormatParamValue(pn_, value_);
    valueWaiting_ = false;
}

uint32_t ParamEditor::set(DriveLink& link) {
    if (!valueFieldLeft()) {
        return kSetRefused;
    }
    return SetUserParam(link, table_, log_, pn_, value_, owner_);
}

}  // namespace qx
