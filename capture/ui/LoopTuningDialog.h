#pragma once

#include <QTimer>
#include <array>
#include <initializer_list>
#include <memory>
#include <utility>

#include "app/ui/ModalDialog.h"
#include "capture/LoopTuner.h"
#include "capture/PlotData.h"
#include "capture/SampleThread.h"
#include "capture/TuningAssistant.h"

class QPushButton;

namespace qx::ui {

class CaptureScope;
class DeltaSpin;
class CommitLineEdit;
class ImageFrame;
class TunePanel;

// What the three loop tuning windows share: the drive side (LoopTuner), the 100 ms timer,
// the plot, records arriving from the worker, and the closing sequence (worker ended,
// then the servo switched off). Each window adds its edits; the speed and position
// windows edit the gain words as they are, which this class keeps for them.
//
// "Tune..." beside OK opens the tuning assistant's panel under the plot: its search runs
// on the window's own captures, putting each proposal into the edits as if typed (they
// are locked meanwhile), and ends with the starting gains back in the edits until the
// engineer applies the best or discards them. Closing the window mid-search stops it;
// while the drive may still hold a gain the window no longer shows, closing writes the
// window's gains with one more capture before the servo goes off.
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
    CaptureScope* scope() const { return scope_; }
    QPushButton* tuneButton() const { return tuneButton_; }
    TunePanel* tunePanel() const { return panel_; }
    const TuningAssistant& assistant() const { return assistant_; }

  protected:
    void onInitDialog() override;
    // OK reads and checks the gains, unless none could be read from the drive.
    void onOK() override;
    // The window's values from the gains it opened with (raw words, drive order); by
    // default the gain words themselves.
    virtual void takeGains(const LoopGains& gains);
    // The window's plot; the scope's lines go under the controls in place by then.
    void setPlotControl(ImageFrame* plot);

    // Connects an edit's focus loss and a spin's arrows to the window's handlers.
    void wire(CommitLineEdit* edit, DeltaSpin* spin, std::function<void()> committed,
              std::function<void(int)> spun);
    // Connects the edit and spin of each gain word, in drive order: a typed value or an
    // arrow is kept within the gain's limits and stored in the shared record at once.
    void wireGains(std::initializer_list<std::pair<CommitLineEdit*, DeltaSpin*>> controls);
    int& gain(int index) { return gains_[index]; }

  private:
    void onTimer();
    void onSampleDone();
    void redraw();
    void closeTuning();
    void storeGain(int index);
    void addTuneButton();
    void startSearch();
    // Puts the gains the assistant gives into the edits and shows where it stands.
    void followAssistant();
    uint32_t nowMs();

    CaptureKind kind_;
    std::unique_ptr<MessageSink> windowMessages_;
    std::unique_ptr<MessageSink> mainMessages_;
    std::unique_ptr<LoopTuner> tuner_;
    QTimer timer_;
    ImageFrame* plotControl_ = nullptr;
    CaptureScope* scope_ = nullptr;
    PlotData plot_;
    int recordsShown_ = 0;
    bool withoutGains_ = false;   // connected, but the drive's gains could not be read
    std::array<int, 4> gains_{};  // drive order
    TuningAssistant assistant_;
    QPushButton* tuneButton_ = nullptr;
    TunePanel* panel_ = nullptr;
};

}  // namespace qx::ui
