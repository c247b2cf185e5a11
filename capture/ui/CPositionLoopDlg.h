#pragma once

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

  private:
    std::unique_ptr<Ui::CPositionLoopDlg> ui_;
};

}  // namespace qx::ui
