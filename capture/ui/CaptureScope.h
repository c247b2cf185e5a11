#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/PlotView.h"
#include "capture/ScopeTexts.h"
#include "capture/WaveformGeometry.h"
#include "link/MessageSink.h"

class QAction;
class QLabel;
class QWidget;

namespace qx::ui {

class GuiContext;
class ImageFrame;

// What the four capture windows add to their plot, beside the window's own controls:
// the window can be resized and the plot takes the room; the mouse zooms, pans and
// places two cursors (PlotView); lines under the plot tell where the capture stands,
// the step metrics (tuning windows), and what the cursors read; a context menu keeps or
// clears a reference record and exports the record as CSV, the plot as a PNG file or
// to the clipboard. None of it talks to the drive: captures go on meanwhile.
class CaptureScope : public QObject {
    Q_OBJECT

  public:
    // The metrics line of a record; empty for a window without one.
    using MetricsOf = std::function<std::string(const PlotData&, const RecordShape&)>;

    // Call once the window's controls are in place: the lines go under them, and the
    // window grows by their height.
    CaptureScope(QWidget& window, ImageFrame& plot, GuiContext& context, MetricsOf metricsOf);
    ~CaptureScope() override;

    // Draws `plot` as `input` says, with the view the engineer chose. Called by the
    // window's timer and when a record arrived; the scope redraws on its own after
    // the mouse or a resize changed the view.
    void draw(const WaveformInput& input, PlotData& plot, int dataValid);
    // A record of `shape` is decoded into the plot data and shown from now on.
    void recordShown(const PlotData& plot, const RecordShape& shape);
    // The state line; the time of the last record is the scope's own.
    void showState(CaptureState state);
    // "Keep as reference": the record shown is drawn under every following one.
    void keepReference();
    // A panel of the window's own, placed under the lines across the window; while it
    // shows, the window is taller by its height and nothing else moves.
    void setPanel(QWidget* panel);
    void showPanel(bool shown);

    PlotView& view() { return view_; }
    QAction* action(const char* objectName) const;
    QLabel* stateLine() const { return state_; }
    QLabel* metricsLine() const { return metrics_; }
    QLabel* referenceLine() const { return reference_; }
    QLabel* cursorLine() const { return cursors_; }
    QLabel* deltaLine() const { return deltas_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* addLine(const char* objectName);
    // Shows `text` in `line`, cut short with an ellipsis where the window is too narrow
    // for it (the whole text is then the line's tool tip).
    void setLine(QLabel* line, const QString& text);
    void place();
    void redraw();
    void showCursors();
    QSize baseSize() const;
    void exportCsv();
    void saveImage();
    void copyImage();
    // Asks for a file name with the window's file dialog and writes `bytes` there whole.
    void saveAs(const QString& title, const QString& filter, const QString& name,
                std::string_view bytes);
    void warn(const std::string& text);
    QPoint toPicture(QPoint at) const;

    QWidget& window_;
    ImageFrame& plot_;
    GuiContext& context_;
    MetricsOf metricsOf_;
    std::unique_ptr<MessageSink> messages_;
    PlotView view_;

    QLabel* state_ = nullptr;
    QLabel* metrics_ = nullptr;
    QLabel* reference_ = nullptr;
    QLabel* cursors_ = nullptr;
    QLabel* deltas_ = nullptr;
    std::vector<QLabel*> lines_;
    std::vector<QAction*> actions_;

    // The window's controls where they stood at the window's first size.
    struct Anchored {
        QPointer<QWidget> widget;
        QRect at;
    };
    std::vector<Anchored> anchored_;
    QRect plotAt_;
    QSize baseSize_;  // without the panel
    int linesTop_ = 0;
    QPointer<QWidget> panel_;
    int panelHeight_ = 0;  // while it shows

    // What was drawn last, to draw again.
    WaveformInput input_;
    PlotData* data_ = nullptr;
    int dataValid_ = 0;
    RecordShape shape_;
    bool haveRecord_ = false;
    std::optional<TimeOfDay> lastRecord_;
    int wheelRest_ = 0;
};

}  // namespace qx::ui
