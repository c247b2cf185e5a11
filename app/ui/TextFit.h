#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace qx::ui {

// A text that does not fit the control that shows it.
struct ClippedText {
    QString control;  // the control's object name, or its class when it has none
    QString text;
    int needed = 0;     // pixels across the text needs
    int available = 0;  // pixels across the control gives it
};

// Every visible label, push and radio button, group box title and single-line
// edit of `window` whose text (one line each, or the wrapped lines of a word-wrapped
// label) is wider or taller than the room the control's style leaves it, measured with
// the control's own font. Pictures drawn by painters (plots, lamps) are not looked at.
std::vector<ClippedText> FindClippedTexts(const QWidget* window);

}  // namespace qx::ui
