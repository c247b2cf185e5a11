#include "params/ParamEditor.h"

#include <algorithm>

#include "params/ParamCatalog.h"
#include "params/ParamText.h"
#include "params/WriteUserParam.h"

namespace qx {

ParamEditor::ParamEditor(UserParamTable& table, uint32_t softwareVersion, MessageSink& owner)
    : table_(table), softwareVersion_(softwareVersion), owner_(owner) {}

void ParamEditor::open() {
    pn_ = 0;
    numberText_ = "0";
    value_ = table_.value[0];
    valueText_ = FormatParamValue(pn_, value_);
    BuildParamText(pn_, softwareVersion_, title_, help_);
}

int ParamEditor::clampedPn(int64_t pn) const {
    return static_cast<int>(std::clamp<int64_t>(pn, 0, table_.highestParamNumber));
}

void ParamEditor::showParam() {
    value_ = table_.value[pn_];
    numberText_ = std::to_string(pn_);
    valueText_ = FormatParamValue(pn_, value_);
    BuildParamText(pn_, softwareVersion_, title_, help_);
}

bool ParamEditor::numberTextChanged(std::string_view text) {
    numberText_ = text;
    const auto parsed = ParseParamText(text, 0);
    if (!parsed) {
        owner_.show(kInvalidInputText, kTitleWarning);
        return false;
    }
    pn_ = clampedPn(*parsed);
    showParam();
    return true;
}

bool ParamEditor::valueTextChanged(std::string_view text) {
    valueText_ = text;
    const auto parsed = ParamValueFromText(text, pn_, table_.minimum[pn_], table_.maximum[pn_]);
    if (!parsed) {
        owner_.show(kInvalidInputText, kTitleWarning);
        return false;
    }
    value_ = *parsed;
    if (value_ >= table_.maximum[pn_]) {
        value_ = table_.maximum[pn_];
    } else if (value_ <= table_.minimum[pn_]) {
        value_ = table_.minimum[pn_];
    }
    valueText_ = FormatParamValue(pn_, value_);
    return true;
}

void ParamEditor::numberSpun(int delta) {
    pn_ = clampedPn(int64_t{pn_} - delta);
    showParam();
}

void ParamEditor::valueSpun(int delta) {
    // 64 bits, so stepping past a bound of the 32-bit range cannot wrap round.
    const int64_t stepped = int64_t{value_} - delta;
    if (stepped >= table_.maximum[pn_]) {
        value_ = table_.maximum[pn_];
    } else if (stepped <= table_.minimum[pn_]) {
        value_ = table_.minimum[pn_];
    } else {
        value_ = static_cast<int32_t>(stepped);
    }
    valueText_ = FormatParamValue(pn_, value_);
}

uint32_t ParamEditor::set(DriveLink& link) {
    const uint32_t status = WriteUserParam(link, pn_, value_, owner_);
    if (status == kStatusOk) {
        table_.value[pn_] = value_;
    }
    return status;
}

}  // namespace qx
