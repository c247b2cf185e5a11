#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The filter of the parameter windows. The text is split into terms at blanks and
// commas; a row is shown when it matches every term:
// - digits, with or without a leading "Pn" ("22", "pn22"): the row of that Pn;
// - letters, digits and "_" only: the start of a word of the title or help text
//   ("torq" finds "Torque"), whatever the case;
// - anything else ("r/min"): a piece of the title or help text, whatever the case.
// An empty filter matches every row.
class ParamFilter {
  public:
    explicit ParamFilter(std::string_view text);

    bool empty() const { return terms_.empty(); }
    // `searchText` is the row's title and help in lower case (SearchTextOf).
    bool matches(int pn, std::string_view searchText) const;

  private:
    struct Term {
        std::optional<int> pn;
        std::string text;  // lower case
        bool wordStart = true;
    };
    std::vector<Term> terms_;
};

// What a filter searches for a row: its title and help in lower case, one line apart.
std::string SearchTextOf(std::string_view title, std::string_view help);

}  // namespace qx
