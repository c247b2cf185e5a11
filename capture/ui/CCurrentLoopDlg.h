#pragma once

#include <memory>

#include "capture/ui/LoopTuningDialog.h"

namespace Ui {
class CCurrentLoopDlg;
}

namespace qx::ui {

// Tunes the current loop: the motor's Rs, Ls and Ke as the drive's model holds them, and
// the loop's Ki, while the step response is captured and drawn back to back.
class CCurrentLoopDlg : public LoopTuningDialog {
    Q_OBJECT

  public:
    CCurrentLoopDlg(GuiContext& context, QWidget* parent);
    ~CCurrentLoopDlg() override;

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void takeGains(const LoopGains& gains) override;

  private:
    // Quantises the motor constants and Ki as the drive will hold them, stores them in
    // the shared model and shows them again.
    void storeRs();
    void storeLs();
    void storeKe();
    void storeKi();

    std::unique_ptr<Ui::CCurrentLoopDlg> ui_;
    float rs_ = 0.0f;
    float ls_ = 0.0f;
    float ke_ = 0.0f;
    int ki_ = 0;
};

}  // namespace qx::ui
