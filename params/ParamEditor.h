#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/UserParamTable.h"

namespace qx {

// What the parameter editor dialog does, without the dialog: it keeps the current Pn,
// the value being edited and the texts of the four fields, and reacts to typing,
// spinning and "Set". The dialog only copies texts in and out.
class ParamEditor {
  public:
    ParamEditor(UserParamTable& table, uint32_t softwareVersion, MessageSink& owner);

    // Shows Pn 0 with its cached value.
    void open();

    // The number text changed. Returns false (after "Invalid input value!") when the
    // text is not accepted; the current Pn and value then stay as they were.
    bool numberTextChanged(std::string_view text);
    // The value text changed: read for the current Pn (ParamValueFromText) and clamped
    // to its range. The cache is not changed.
    bool valueTextChanged(std::string_view text);
    // Spin notifications carry the up-down control's delta: the up arrow gives -1.
    void numberSpun(int delta);
    void valueSpun(int delta);
    // "Set": writes the current value to the drive; on success the cache takes it.
    uint32_t set(DriveLink& link);

    int pn() const { return pn_; }
    int32_t value() const { return value_; }
    const std::string& numberText() const { return numberText_; }
    const std::string& valueText() const { return valueText_; }
    const std::string& title() const { return title_; }
    const std::string& help() const { return help_; }

  private:
    void showParam();
    int clampedPn(int64_t pn) const;

    UserParamTable& table_;
    uint32_t softwareVersion_;
    MessageSink& owner_;
    int pn_ = 0;
    int32_t value_ = 0;
    std::string numberText_ = "0";
    std::string valueText_;
    std::string title_;
    std::string help_;
};

inline constexpr const char* kInvalidInputText = "Invalid input value!";

}  // namespace qx
