#pragma once

#include <string>

class QTextEdit;

namespace qx::ui {

// Every help box of the parameter windows: read-only, its vertical scroll bar always
// shown, in the system's fixed-pitch font, because the bit tables of the help texts are
// drawn with characters and only keep their columns when every character has one width.
void SetUpParamHelpBox(QTextEdit& box);

// Shows a help text (lines joined by CR LF) in such a box. Prose wraps at the box's
// width; the table lines never wrap.
void ShowParamHelp(QTextEdit& box, const std::string& help);

}  // namespace qx::ui
