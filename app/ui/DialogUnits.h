#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace qx::ui {

// Dialog templates are laid out in dialog units, which belong to a font: a horizontal unit
// is a quarter of the font's average character width, a vertical unit an eighth of its
// height (the base units, both whole pixels, as the dialog framework measures them). A
// control sized in them for the templates' texts holds those texts in any font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    // The units of the application's font, which the dialogs use.
    static DialogUnits OfApplication();

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    int x(int dlu) const;
    int y(int dlu) const;
    QSize size(int width, int height) const;
    // Position and size, each converted on its own.
    QRect rect(int x, int y, int width, int height) const;

  private:
    int baseX_;
    int baseY_;
};

// The forms under resources/ (and the few windows laid out in code) hold their templates
// converted with the 8-point dialog font at 96 dpi: base units 6 x 13, so a horizontal
// unit is 1.5 px and a vertical unit 1.625 px, rounded half away from zero.
inline constexpr int kFormBaseX = 6;
inline constexpr int kFormBaseY = 13;

// Lays a dialog drawn in the forms' units out again in the units of its own font: every
// child control's edges and the dialog's fixed size. Runs once per dialog.
void ApplyFontUnits(QWidget* dialog);

// The template geometry in the units of the application's font.
inline int DluX(int dlu) {
    return DialogUnits::OfApplication().x(dlu);
}
inline int DluY(int dlu) {
    return DialogUnits::OfApplication().y(dlu);
}
inline QSize DluSize(int width, int height) {
    return DialogUnits::OfApplication().size(width, height);
}
inline QRect DluRect(int x, int y, int width, int height) {
    return DialogUnits::OfApplication().rect(x, y, width, height);
}

}  // namespace qx::ui
