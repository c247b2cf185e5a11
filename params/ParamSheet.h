#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/ParamFilter.h"
#include "params/ParamValues.h"

namespace qx {

enum class ParamColumn { Pn, Title, Value, Minimum, Maximum, Compared };

// What the parameter windows show, without the windows: one row per Pn with its title,
// help text and value in the editor's text forms, the drive's range when the values are
// the drive's, and the values of a compared file. The filter and "differing rows only"
// choose the rows shown.
class ParamSheet {
  public:
    // Titles and help texts as the editor builds them for a drive of `softwareVersion`.
    explicit ParamSheet(uint32_t softwareVersion);

    void setValues(const ParamValues& values);
    // The drive's ranges: the Minimum and Maximum columns appear.
    void setRanges(const ParamValues& minimum, const ParamValues& maximum);
    // Another set of values to compare with, shown in a column headed `name`.
    void compareWith(const ParamValues& other, std::string name);
    void setFilter(std::string_view text);
    void setDifferingOnly(bool on);

    const std::vector<ParamColumn>& columns() const { return columns_; }
    // The Pn shown, ascending.
    const std::vector<int>& rows() const { return rows_; }
    std::string header(ParamColumn column) const;
    std::string cell(int pn, ParamColumn column) const;

    const std::string& title(int pn) const { return titles_[pn]; }
    const std::string& help(int pn) const { return helps_[pn]; }
    int32_t value(int pn) const { return values_[pn]; }
    bool comparing() const { return compared_.has_value(); }
    std::optional<int32_t> comparedValue(int pn) const;
    const std::optional<ParamValues>& comparedValues() const { return compared_; }
    bool differs(int pn) const;
    std::size_t differingCount() const;
    bool differingOnly() const { return differingOnly_; }

  private:
    void update();

    std::array<std::string, kParamCount> titles_;
    std::array<std::string, kParamCount> helps_;
    std::array<std::string, kParamCount> searchTexts_;
    ParamValues values_{};
    std::optional<ParamValues> minimum_;
    std::optional<ParamValues> maximum_;
    std::optional<ParamValues> compared_;
    std::string comparedName_;
    ParamFilter filter_{""};
    bool differingOnly_ = false;
    std::vector<ParamColumn> columns_;
    std::vector<int> rows_;
};

}  // namespace qx
