#pragma once

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

  private:
    std::unique_ptr<Ui::CSpeedLoopDlg> ui_;
};

}  // namespace qx::ui
