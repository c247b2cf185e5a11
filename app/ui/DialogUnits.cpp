#include "app/ui/DialogUnits.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>
#include <cmath>

namespace qx::ui {

namespace {

// Horizontal units are quarters and vertical units eighths of the base units.
constexpr int kQuartersPerBaseX = 4;
constexpr int kEighthsPerBaseY = 8;
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLetters = 52;
constexpr const char* kAppliedProperty = "qxFontUnits";

// dlu x base / parts, rounded half away from zero.
int Scale(int dlu, int base, int parts) {
    return static_cast<int>(std::lround(static_cast<double>(dlu) * base / parts));
}

// A form's pixel position or length back to the units it was converted from (exact for
// the forms, whose steps of 1.5 and 1.625 px leave no two units on one pixel).
int FormUnitsX(int px) {
    return static_cast<int>(std::lround(px * static_cast<double>(kQuartersPerBaseX) / kFormBaseX));
}
int FormUnitsY(int px) {
    return static_cast<int>(std::lround(px * static_cast<double>(kEighthsPerBaseY) / kFormBaseY));
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded to a whole pixel.
    const int letters = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    baseX_ = (2 * letters + kAlphabetLetters) / (2 * kAlphabetLetters);
    baseY_ = metrics.height();
}

DialogUnits DialogUnits::OfApplication() {
    return DialogUnits(QApplication::font());
}

int DialogUnits::x(int dlu) const {
    return Scale(dlu, baseX_, kQuartersPerBaseX);
}

int DialogUnits::y(int dlu) const {
    return Scale(dlu, baseY_, kEighthsPerBaseY);
}

QSize DialogUnits::size(int width, int height) const {
    return QSize(x(width), y(height));
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(QPoint(x(left), y(top)), size(width, height));
}

void ApplyFontUnits(QWidget* dialog) {
    if (dialog->property(kAppliedProperty).toBool()) {
        return;
    }
    dialog->setProperty(kAppliedProperty, true);
    const DialogUnits units(dialog->font());
    const auto convert = [&units](const QRect& r) {
        return units.rect(FormUnitsX(r.x()), FormUnitsY(r.y()), FormUnitsX(r.width()),
                          FormUnitsY(r.height()));
    };
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) {
            child->setGeometry(convert(child->geometry()));
        }
    }
    if (dialog->minimumSize() == dialog->maximumSize()) {
        dialog->setFixedSize(convert(QRect(QPoint(0, 0), dialog->minimumSize())).size());
    } else {
        dialog->resize(convert(QRect(QPoint(0, 0), dialog->size())).size());
    }
}

}  // namespace qx::ui
