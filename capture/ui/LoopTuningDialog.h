#pragma once

#include <QTimer>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "capture/LoopTuner.h"
#include "capture/PlotData.h"
#include "capture/SampleThread.h"

namespace qx::ui {

class DeltaSpin;
class CommitLineEdit;
class ImageFrame;

// What the three loop tuning windows share: the drive side (LoopTuner), the 100 ms timer,
// the plot, records arriving from the worker, and the closing sequence (worker ended,
// then the servo switched off). Each window adds its edits.
class LoopTuningDialog : public ModalDialog, public SampleDoneListener {
    Q_OBJECT

  public:
    LoopTuningDialog(GuiContext& context, QWidget* parent, CaptureKind kind);
    ~LoopTuningDialog() override;

    // From the worker's thread: handled on the window's own thread, in order.
    void sampleDone() override;

    void done(int result) override;

    CaptureKind kind() const { return kind_; }
    const PlotData& plot() const { return plot_; }
    int dataValid() const { return tuner_ ? tuner_->dataValid() : 0; }
    // Records decoded and drawn since opening.
    int recordsShown() const { return recordsShown_; }
    bool capturing() const { return tuner_ && tuner_->capturing(); }

  protected:
    void onInitDialog() override;
    // The window's values from the gains it opened with (raw words, drive order).
    virtual void takeGains(const LoopGains& gains) = 0;
    void setPlotControl(ImageFrame* plot) { plotControl_ = plot; }

    // Connects an edit's focus loss and a spin's arrows to the window's handlers.
    void wire(CommitLineEdit* edit, DeltaSpin* spin, std::function<void()> committed,
              std::function<void(int)> spun);

  private:
    void onTimer();
    void onSampleDone();
    void redraw();
    void closeTuning();

    CaptureKind kind_;
    std::unique_ptr<MessageSink> windowMessages_;
    std::unique_ptr<MessageSink> mainMessages_;
    std::unique_ptr<LoopTuner> tuner_;
    QTimer timer_;
    ImageFrame* plotControl_ = nullptr;
    PlotData plot_;
    int recordsShown_ = 0;
};

}  // namespace qx::ui
