#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

namespace qx::ui {

// Dialog templates are laid out in dialog units. They are turned into pixels with one
// fixed factor, that of the 8-point dialog font at 96 dpi (6 x 13 pixel base units): a
// horizontal unit is 1.5 px and a vertical unit 1.625 px, rounded half away from zero.
// The Designer forms under resources/ hold the converted pixel geometry.
inline constexpr double kPixelsPerDluX = 1.5;
inline constexpr double kPixelsPerDluY = 1.625;

inline int DluX(int dlu) {
    return static_cast<int>(std::lround(dlu * kPixelsPerDluX));
}
inline int DluY(int dlu) {
    return static_cast<int>(std::lround(dlu * kPixelsPerDluY));
}
inline QSize DluSize(int width, int height) {
    return QSize(DluX(width), DluY(height));
}
inline QRect DluRect(int x, int y, int width, int height) {
    return QRect(QPoint(DluX(x), DluY(y)), DluSize(width, height));
}

}  // namespace qx::ui
