#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/ParamChangeLog.h"
#include "params/UserParamTable.h"

namespace qx {

// What the parameter editor dialog does, without the dialog: it keeps the current Pn,
// the value being edited and the texts of the four fields, and reacts to typing,
// spinning and "Set". The dialog only copies texts in and out.
//
// A text that cannot be complete yet waits as typed, without a message: an empty field
// or a lone "-" until a digit follows, a bit-field value shorter than its width until
// the rest is typed. Leaving the field (or "Set" for the value) reads it for good.
class ParamEditor {
  public:
    // `log`, when given, keeps every write "Set" makes.
    ParamEditor(UserParamTable& table, uint32_t softwareVersion, MessageSink& owner,
                ParamChangeLog* log = nullptr);

    // Shows Pn 0 with its cached value.
    void open();

    // The number text changed. Returns false (after "Invalid input value!") when the
    // text is not accepted; the current Pn and value then stay as they were.
    bool numberTextChanged(std::string_view text);
    // The value text changed: read for the current Pn (ParamValueFromText) and clamped
    // to its range. The cache is not changed.
    bool valueTextChanged(std::string_view text);
    // The user left a field: a waiting text is read now as the editor reads any text
    // (empty and "-" are 0). False after "Invalid input value!".
    void numberFieldLeft();
    bool valueFieldLeft();
    // Spin notifications carry the up-down control's delta: the up arrow gives -1.
    void numberSpun(int delta);
    void valueSpun(int delta);
    // "Set": writes the current value to the drive; on success the cache takes it. A
    // waiting value text is read first; if it is refused nothing is sent and the result
    // is kSetRefused.
    uint32_t set(DriveLink& link);

    int pn() const { return pn_; }
    int32_t value() const { return value_; }
    const std::string& numberText() const { return numberText_; }
    const std::string& valueText() const { return valueText_; }
    const std::string& title() const { return title_; }
    const std::string& help() const { return help_; }

    // What set() returns when the value typed was refused and nothing was sent.
    static constexpr uint32_t kSetRefused = 0xFFFF'FFFFu;

  private:
    void showParam();
    int clampedPn(int64_t pn) const;
    bool readValueText();

    UserParamTable& table_;
    uint32_t softwareVersion_;
    MessageSink& owner_;
    ParamChangeLog* log_;
    int pn_ = 0;
    int32_t value_ = 0;
    std::string numberText_ = "0";
    std::string valueText_;
    std::string title_;
    std::string help_;
    bool numberWaiting_ = false;
    bool valueWaiting_ = false;
};

inline constexpr const char* kInvalidInputText = "Invalid input value!";

// Whether `text` cannot be complete yet for a field of `bitWidth` (0: decimal): the
// empty text and a lone "-", or a bit-field value shorter than its width.
bool ParamTextIncomplete(std::string_view text, int bitWidth);

}  // namespace qx
