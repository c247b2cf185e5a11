#pragma once

#include <QTimer>
#include <array>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "monitor/MonitorThread.h"
#include "monitor/PortLamps.h"

class QLabel;

namespace Ui {
class CPortsStateDlg;
}

namespace qx::ui {

// "Ports State Monitor": the ten CN2 inputs, four CN2 outputs and six encoder inputs as
// lamps, lit green or dark grey, redrawn every 100 ms from what the monitor thread left
// in the shared record.
class CPortsStateDlg : public ModalDialog {
    Q_OBJECT

  public:
    static constexpr int kRedrawMs = 100;

    CPortsStateDlg(GuiContext& context, QWidget* parent);
    // Stops the monitor thread if closing has not done so already.
    ~CPortsStateDlg() override;

    // Closing waits until the monitor thread has finished its poll and left its loop.
    void done(int result) override;

    // One redraw: with a connected drive the lamp states from the shared record, then
    // every lamp drawn again whatever the connection.
    void redraw();

    const LampStates& lampStates() const { return states_; }
    QLabel* lamp(int index) const { return lamps_[static_cast<std::size_t>(index)]; }
    const MonitorThread& monitor() const { return monitor_; }

    // The closing wait: stops the refresh and waits until the monitor thread has left its
    // loop. Closing does this; the pictures program calls it to keep the link free.
    void stopMonitor();

  protected:
    void onInitDialog() override;

  private:
    void drawLamps();

    std::unique_ptr<Ui::CPortsStateDlg> ui_;
    std::array<QLabel*, kLampCount> lamps_{};
    LampStates states_{};
    QTimer redrawTimer_;
    MonitorThread monitor_;
};

}  // namespace qx::ui
