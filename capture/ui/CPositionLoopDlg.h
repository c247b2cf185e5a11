#pragma once

#include <array>
#include <memory>

#include "capture/ui/LoopTuningDialog.h"

namespace Ui {
class CPositionLoopDlg;
}

namespace qx::ui {

// Tunes the position loop: Kp, Kd and the derivative's cut-off, while the step response is
// captured and drawn back to back.
class CPositionLoopDlg : public LoopTuningDialog {
    Q_OBJECT

  public:
    CPositionLoopDlg(GuiContext& context, QWidget* parent);
    ~CPositionLoopDlg() override;

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void takeGains(const LoopGains& gains) override;

  private:
    // Keeps gain `index` within its limits and stores the window's gains in the shared
    // record.
    void store(int index);

    std::unique_ptr<Ui::CPositionLoopDlg> ui_;
    std::array<int, 3> gains_{};  // drive order
};

}  // namespace qx::ui
