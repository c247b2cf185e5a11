#pragma once

#include <optional>

#include "capture/DecodeSamples.h"
#include "capture/PlotData.h"
#include "capture/WaveformGeometry.h"

namespace qx {

// One wheel step in shows this share of what was shown (one step out, its inverse).
inline constexpr double kZoomStep = 0.8;
// The fewest points a zoomed time axis shows.
inline constexpr double kMinVisiblePoints = 8.0;
// The smallest value range, as a share of the kind's smallest automatic span.
inline constexpr double kMinValueSpanShare = 1e-3;
// The largest value range the wheel zooms out to (beyond any drive quantity).
inline constexpr double kMaxValueSpan = 1e12;
// A press this near a cursor takes hold of it; a press that moves further pans.
inline constexpr int kGrabPixels = 3;
inline constexpr int kDragPixels = 3;

enum class PlotCursor { A, B };

// The plot as the engineer handles it, free of any toolkit: which stretch of the record
// and which values are shown, the two cursors, and a held reference record. The mouse
// reaches it in pixels of the layout drawn last; the window draws what view() asks for.
// Nothing here talks to the drive, so captures go on while the engineer zooms.
//
// - The wheel zooms the time axis around the pointer (with `valueAxis`, the value axis
//   around it); a double click returns to the whole record, automatically scaled.
// - Dragging pans the time axis (and the value axis once that is zoomed).
// - A click places cursor A, a click with `shift` cursor B; pressing near a cursor
//   drags it. Cursors sit on points of the record.
// The view stays as it is from one record to the next as long as they have the same
// kind, point count and sample period.
class PlotView {
  public:
    // The layout drawn last, whose pixels the mouse points at.
    void setLayout(const WaveformPicture& picture);
    // A record of `shape` is shown from now on.
    void showRecord(const RecordShape& shape);

    // What the layout is to show. The trigger mark and the cursors belong to a record
    // and are left out while none is shown (`dataValid` 0).
    WaveformView view(int dataValid) const;

    void wheel(int x, int y, int steps, bool valueAxis);
    void press(int x, int y, bool shift);
    void move(int x, int y);
    void release();
    void doubleClick();

    std::optional<int> cursor(PlotCursor which) const;
    void setCursor(PlotCursor which, std::optional<int> point) { slot(which) = point; }
    void clearCursors();
    bool zoomed() const { return time_.has_value() || value_.has_value(); }
    const std::optional<PointWindow>& timeWindow() const { return time_; }
    const std::optional<ValueWindow>& valueWindow() const { return value_; }

    // "Keep as reference": holds a copy of a record, drawn under every following one of
    // its kind; "Clear reference" drops it.
    void keepReference(const PlotData& plot, const RecordShape& shape);
    void clearReference() { hasReference_ = false; }
    bool hasReference() const { return hasReference_; }
    const PlotData& reference() const { return reference_; }
    const RecordShape& referenceShape() const { return referenceShape_; }

  private:
    enum class Drag { None, Pending, Pan, CursorA, CursorB };
    struct Layout {
        int x0 = 0;
        int x1 = 0;
        int yBase = 0;
        int plotHeight = 0;
        double firstPoint = 0.0;
        double pointsPerPixel = 0.0;
        double bottomValue = 0.0;
        double valuesPerPixel = 0.0;
        double wholePoints = 0.0;
        double valueCentre = 0.0;
        double valueSpan = 0.0;
        bool valid = false;
    };

    double pointAt(int x) const;
    double valueAt(int y) const;
    int pixelOf(int point) const;
    std::optional<int> cursorPointAt(int x) const;
    std::optional<int>& slot(PlotCursor which) { return which == PlotCursor::A ? a_ : b_; }
    PointWindow shownTime() const;
    ValueWindow shownValues() const;
    void setTime(PointWindow window);

    Layout layout_;
    RecordShape shape_;
    bool haveShape_ = false;
    std::optional<PointWindow> time_;
    std::optional<ValueWindow> value_;
    std::optional<int> a_;
    std::optional<int> b_;

    Drag drag_ = Drag::None;
    bool pressShift_ = false;
    int pressX_ = 0;
    int pressY_ = 0;
    PointWindow pressTime_;
    ValueWindow pressValues_;
    // The cursor a click placed and what it held before: a double click's first click
    // is taken back.
    std::optional<PlotCursor> lastPlaced_;
    std::optional<int> beforePlaced_;

    PlotData reference_;
    RecordShape referenceShape_;
    bool hasReference_ = false;
};

}  // namespace qx
