#include "params/ParamSheet.h"

#include "params/ParamText.h"

namespace qx {

ParamSheet::ParamSheet(uint32_t softwareVersion) {
    for (int pn = 0; pn < kParamCount; ++pn) {
        BuildParamText(pn, softwareVersion, titles_[pn], helps_[pn]);
        searchTexts_[pn] = SearchTextOf(titles_[pn], helps_[pn]);
    }
    update();
}

void ParamSheet::setValues(const ParamValues& values) {
    values_ = values;
    update();
}

void ParamSheet::setRanges(const ParamValues& minimum, const ParamValues& maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void ParamSheet::compareWith(const ParamValues& other, std::string name) {
    compared_ = other;
    comparedName_ = std::move(name);
    update();
}

void ParamSheet::setFilter(std::string_view text) {
    filter_ = ParamFilter(text);
    update();
}

void ParamSheet::setDifferingOnly(bool on) {
    differingOnly_ = on;
    update();
}

std::optional<int32_t> ParamSheet::comparedValue(int pn) const {
    if (!compared_) {
        return std::nullopt;
    }
    return (*compared_)[pn];
}

bool ParamSheet::differs(int pn) const {
    return compared_ && ParamWordsDiffer(values_[pn], (*compared_)[pn]);
}

std::size_t ParamSheet::differingCount() const {
    return compared_ ? DifferingParams(values_, *compared_).size() : 0;
}

std::string ParamSheet::header(ParamColumn column) const {
    switch (column) {
        case ParamColumn::Pn:
            return "Pn";
        case ParamColumn::Title:
            return "Title";
        case ParamColumn::Value:
            return "Value";
        case ParamColumn::Minimum:
            return "Minimum";
        case ParamColumn::Maximum:
            return "Maximum";
        case ParamColumn::Compared:
            return comparedName_;
    }
    return {};
}

std::string ParamSheet::cell(int pn, ParamColumn column) const {
    switch (column) {
        case ParamColumn::Pn:
            return std::to_string(pn);
        case ParamColumn::Title:
            return titles_[pn];
        case ParamColumn::Value:
            return FormatParamValue(pn, values_[pn]);
        case ParamColumn::Minimum:
            return minimum_ ? FormatParamValue(pn, (*minimum_)[pn]) : std::string();
        case ParamColumn::Maximum:
            return maximum_ ? FormatParamValue(pn, (*maximum_)[pn]) : std::string();
        case ParamColumn::Compared:
            return compared_ ? FormatParamValue(pn, (*compared_)[pn]) : std::string();
    }
    return {};
}

void ParamSheet::update() {
    columns_ = {ParamColumn::Pn, ParamColumn::Title, ParamColumn::Value};
    if (minimum_) {
        columns_.push_back(ParamColumn::Minimum);
        columns_.push_back(ParamColumn::Maximum);
    }
    if (compared_) {
        columns_.push_back(ParamColumn::Compared);
    }
    rows_.clear();
    for (int pn = 0; pn < kParamCount; ++pn) {
        if ((!differingOnly_ || differs(pn)) && filter_.matches(pn, searchTexts_[pn])) {
            rows_.push_back(pn);
        }
    }
}

}  // namespace qx
