#pragma once

#include <array>
#include <memory>

#include "capture/ui/LoopTuningDialog.h"

namespace Ui {
class CSpeedLoopDlg;
}

namespace qx::ui {

// Tunes the speed loop: Kp, the integral time T_rc and the cut-offs of the speed and output
// filters, while the step response is captured and drawn back to back.
class CSpeedLoopDlg : public LoopTuningDialog {
    Q_OBJECT

  public:
    CSpeedLoopDlg(GuiContext& context, QWidget* parent);
    ~CSpeedLoopDlg() override;

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void takeGains(const LoopGains& gains) override;

  private:
    // Keeps gain `index` within its limits and stores the window's gains in the shared
    // record.
    void store(int index);

    std::unique_ptr<Ui::CSpeedLoopDlg> ui_;
    std::array<int, 4> gains_{};  // drive order
};

}  // namespace qx::ui
