#include "capture/PlotView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qx {

namespace {

double MinimumValueSpan(CaptureKind kind) {
    const float automatic = kind == CaptureKind::Current ? kMinSpanCurrent : kMinSpanSpeedPosition;
    return automatic * kMinValueSpanShare;
}

}  // namespace

void PlotView::setLayout(const WaveformPicture& pic) {
    layout_ = {pic.x0,          pic.x1,
               pic.yBase,       pic.plotHeight,
               pic.firstPoint,  pic.pointsPerPixel,
               pic.bottomValue, pic.valuesPerPixel,
               pic.wholePoints, pic.valueCentre,
               pic.valueSpan,   pic.x1 > pic.x0 && pic.plotHeight > 0};
}

void PlotView::showRecord(const RecordShape& shape) {
    if (haveShape_ && (shape.count != shape_.count || shape.divider != shape_.divider)) {
        time_.reset();
        a_.reset();
        b_.reset();
    }
    if (haveShape_ && shape.kind != shape_.kind) {
        value_.reset();
    }
    shape_ = shape;
    haveShape_ = true;
}

WaveformView PlotView::view(int dataValid) const {
    WaveformView v;
    v.time = time_;
    v.value = value_;
    if (hasReference_ && haveShape_ && referenceShape_.kind == shape_.kind) {
        v.reference = &reference_;
        v.referenceShape = referenceShape_;
    }
    if (dataValid == 1) {
        v.cursorA = a_;
        v.cursorB = b_;
        v.triggerIndex = shape_.triggerIndex;
    }
    return v;
}

double PlotView::pointAt(int x) const {
    return layout_.firstPoint + (x - layout_.x0) * layout_.pointsPerPixel;
}

double PlotView::valueAt(int y) const {
    return layout_.bottomValue + (layout_.yBase - y) * layout_.valuesPerPixel;
}

int PlotView::pixelOf(int point) const {
    return layout_.x0 + static_cast<int>((point - layout_.firstPoint) / layout_.pointsPerPixel);
}

std::optional<int> PlotView::cursorPointAt(int x) const {
    if (!layout_.valid || !haveShape_ || shape_.count <= 0) {
        return std::nullopt;
    }
    const double point = std::round(pointAt(x));
    return static_cast<int>(std::clamp(point, 0.0, shape_.count - 1.0));
}

PointWindow PlotView::shownTime() const {
    const double first = layout_.firstPoint;
    return {first, first + (layout_.x1 - layout_.x0) * layout_.pointsPerPixel};
}

ValueWindow PlotView::shownValues() const {
    return {layout_.valueCentre, layout_.valueSpan};
}

void PlotView::setTime(PointWindow w) {
    const double whole = layout_.wholePoints;
    const double span = w.last - w.first;
    if (span >= whole) {
        time_.reset();  // all of it: back to the record's own layout
        return;
    }
    const double first = std::clamp(w.first, 0.0, whole - span);
    time_ = PointWindow{first, first + span};
}

void PlotView::wheel(int x, int y, int steps, bool valueAxis) {
    if (!layout_.valid || steps == 0) {
        return;
    }
    const double factor = std::pow(kZoomStep, steps);
    if (valueAxis) {
        const ValueWindow shown = shownValues();
        const double at = valueAt(y);
        const double span =
            std::clamp(shown.span * factor, MinimumValueSpan(shape_.kind), kMaxValueSpan);
        // The value under the pointer stays under it.
        const double perPixel = span / (layout_.plotHeight * kPlotUsableShare);
        const double bottom = at - (layout_.yBase - y) * perPixel;
        value_ = ValueWindow{bottom + layout_.plotHeight * perPixel / 2.0, span};
        return;
    }
    const PointWindow shown = shownTime();
    const double at = std::clamp(pointAt(x), shown.first, shown.last);
    const double span = std::max((shown.last - shown.first) * factor, kMinVisiblePoints);
    const double first = at - (at - shown.first) * span / (shown.last - shown.first);
    setTime({first, first + span});
}

void PlotView::press(int x, int y, bool shift) {
    pressX_ = x;
    pressY_ = y;
    pressShift_ = shift;
    pressTime_ = shownTime();
    pressValues_ = shownValues();
    drag_ = Drag::Pending;
    if (!layout_.valid) {
        return;
    }
    int nearest = kGrabPixels + 1;
    for (PlotCursor which : {PlotCursor::A, PlotCursor::B}) {
        const std::optional<int>& c = slot(which);
        if (c && std::abs(pixelOf(*c) - x) < nearest) {
            nearest = std::abs(pixelOf(*c) - x);
            drag_ = which == PlotCursor::A ? Drag::CursorA : Drag::CursorB;
        }
    }
}

void PlotView::move(int x, int y) {
    switch (drag_) {
        case Drag::CursorA:
        case Drag::CursorB:
            slot(drag_ == Drag::CursorA ? PlotCursor::A : PlotCursor::B) = cursorPointAt(x);
            return;
        case Drag::Pending:
            if (std::abs(x - pressX_) <= kDragPixels && std::abs(y - pressY_) <= kDragPixels) {
                return;
            }
            drag_ = Drag::Pan;
            [[fallthrough]];
        case Drag::Pan: {
            const double points = (x - pressX_) * layout_.pointsPerPixel;
            setTime({pressTime_.first - points, pressTime_.last - points});
            if (value_) {
                value_->centre = pressValues_.centre + (y - pressY_) * layout_.valuesPerPixel;
            }
            return;
        }
        case Drag::None:
            return;
    }
}

void PlotView::release() {
    if (drag_ == Drag::Pending) {
        const PlotCursor which = pressShift_ ? PlotCursor::B : PlotCursor::A;
        lastPlaced_ = which;
        beforePlaced_ = slot(which);
        if (const std::optional<int> point = cursorPointAt(pressX_)) {
            slot(which) = point;
        }
    }
    drag_ = Drag::None;
}

void PlotView::doubleClick() {
    time_.reset();
    value_.reset();
    if (lastPlaced_) {
        slot(*lastPlaced_) = beforePlaced_;
        lastPlaced_.reset();
    }
    drag_ = Drag::None;
}

std::optional<int> PlotView::cursor(PlotCursor which) const {
    return which == PlotCursor::A ? a_ : b_;
}

void PlotView::clearCursors() {
    a_.reset();
    b_.reset();
}

void PlotView::keepReference(const PlotData& plot, const RecordShape& shape) {
    reference_ = plot;
    referenceShape_ = shape;
    hasReference_ = true;
}

}  // namespace qx
