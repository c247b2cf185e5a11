#pragma once

#include <QTimer>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "monitor/MonitorThread.h"
#include "monitor/ServoStateValues.h"

namespace Ui {
class CServoStateDlg;
}

namespace qx::ui {

// "Servo State Monitor": the drive's torque, speed and position (feedback, instruction
// and error), its alarm number and DC bus voltage. The monitor thread polls while the
// dialog is open; the boxes show what the shared record holds at each refresh.
class CServoStateDlg : public ModalDialog {
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 300;

    CServoStateDlg(GuiContext& context, QWidget* parent);
    // Stops the monitor thread if closing has not done so already.
    ~CServoStateDlg() override;

    // Closing waits until the monitor thread has finished its poll and left its loop.
    void done(int result) override;

    // One refresh: with a connected drive, the values from the shared record into the
    // boxes; otherwise the boxes stay as they are.
    void refresh();

    const ServoStateValues& values() const { return values_; }
    const MonitorThread& monitor() const { return monitor_; }

    // The closing wait: stops the refresh and waits until the monitor thread has left its
    // loop. Closing does this; the pictures program calls it to keep the link free.
    void stopMonitor();

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;

  private:
    std::unique_ptr<Ui::CServoStateDlg> ui_;
    QTimer refreshTimer_;
    MonitorThread monitor_;
    ServoStateValues values_;
};

}  // namespace qx::ui
