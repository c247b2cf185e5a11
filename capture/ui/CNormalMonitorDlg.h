#pragma once

#include <QTimer>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "capture/FreeRunMonitor.h"
#include "capture/PlotData.h"
#include "capture/SampleThread.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qx::ui {

class CaptureScope;
class CommitLineEdit;
class DeltaSpin;
class ImageFrame;

// Watches current, speed or position of the running drive: continuously in auto run,
// or one record per "Refresh" that fires when the chosen quantity crosses the trigger
// value on the chosen edge.
class CNormalMonitorDlg : public ModalDialog, public SampleDoneListener {
    Q_OBJECT

  public:
    CNormalMonitorDlg(GuiContext& context, QWidget* parent);
    ~CNormalMonitorDlg() override;

    // From the worker's thread: handled on the window's own thread, in order.
    void sampleDone() override;
    void done(int result) override;

    FreeRunMonitor& monitor() { return *monitor_; }
    const PlotData& plot() const { return plot_; }
    int recordsShown() const { return recordsShown_; }
    CaptureScope* scope() const { return scope_; }
    // "Refresh", as clicked.
    void refresh();

  protected:
    void onInitDialog() override;
    void doDataExchange(DataExchange& exchange) override;
    void onOK() override;

  private:
    void onTimer();
    void onSampleDone();
    void redraw();
    void showState();
    void closeMonitor();
    // Reads the controls, runs `change`, writes them back.
    void edit(const std::function<void()>& change);

    std::unique_ptr<MessageSink> windowMessages_;
    std::unique_ptr<FreeRunMonitor> monitor_;
    QTimer timer_;
    PlotData plot_;
    int recordsShown_ = 0;
    // Control values as the exchange reads them.
    int count_ = 0;
    int rate_ = 0;
    double trigger_ = 0.0;
    float offset_ = 0.0f;

    ImageFrame* plotControl_ = nullptr;
    CaptureScope* scope_ = nullptr;
    QRadioButton* current_ = nullptr;
    QRadioButton* speed_ = nullptr;
    QRadioButton* position_ = nullptr;
    CommitLineEdit* rateEdit_ = nullptr;
    DeltaSpin* rateSpin_ = nullptr;
    CommitLineEdit* countEdit_ = nullptr;
    DeltaSpin* countSpin_ = nullptr;
    QRadioButton* single_ = nullptr;
    QRadioButton* autoRun_ = nullptr;
    QRadioButton* rising_ = nullptr;
    QRadioButton* falling_ = nullptr;
    CommitLineEdit* triggerEdit_ = nullptr;
    DeltaSpin* triggerSpin_ = nullptr;
    QLineEdit* unit_ = nullptr;
    CommitLineEdit* offsetEdit_ = nullptr;
    DeltaSpin* offsetSpin_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QLabel* caption_ = nullptr;
};

}  // namespace qx::ui
