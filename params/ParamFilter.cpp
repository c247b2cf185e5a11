#include "params/ParamFilter.h"

#include <algorithm>

namespace qx {

namespace {

// Longer digit runs cannot name a Pn and would only overflow.
constexpr std::size_t kMaxPnDigits = 4;

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<int> PnOf(std::string_view term) {
    if (term.starts_with("pn")) {
        term.remove_prefix(2);
    }
    if (term.empty() || term.size() > kMaxPnDigits ||
        !std::all_of(term.begin(), term.end(), IsDigit)) {
        return std::nullopt;
    }
    int pn = 0;
    for (const char c : term) {
        pn = pn * 10 + (c - '0');
    }
    return pn;
}

bool StartsAWord(std::string_view text, std::string_view word) {
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
        if (at == 0 || !IsWordChar(text[at - 1])) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string SearchTextOf(std::string_view title, std::string_view help) {
    std::string text(title);
    text.append("\n").append(help);
    std::transform(text.begin(), text.end(), text.begin(), Lower);
    return text;
}

ParamFilter::ParamFilter(std::string_view text) {
    std::string term;
    const auto flush = [this, &term]() {
        if (term.empty()) {
            return;
        }
        Term t;
        t.pn = PnOf(term);
        t.wordStart = std::all_of(term.begin(), term.end(), IsWordChar);
        t.text = std::move(term);
        terms_.push_back(std::move(t));
        term.clear();
    };
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ',') {
            flush();
        } else {
            term += Lower(c);
        }
    }
    flush();
}

bool ParamFilter::matches(int pn, std::string_view searchText) const {
    return std::all_of(terms_.begin(), terms_.end(), [&](const Term& t) {
        if (t.pn) {
            return *t.pn == pn;
        }
        return t.wordStart ? StartsAWord(searchText, t.text)
                           : searchText.find(t.text) != std::string_view::npos;
    });
}

}  // namespace qx
