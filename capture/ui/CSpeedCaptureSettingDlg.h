#pragma once

#include <memory>

#include "capture/ui/CaptureSettingDialog.h"

namespace Ui {
class CSpeedCaptureSettingDlg;
}

namespace qx::ui {

// How the speed loop's step test excites the loop and samples its response, with a
// preview of the excitation and of the stretch that will be sampled.
class CSpeedCaptureSettingDlg : public CaptureSettingDialog {
    Q_OBJECT

  public:
    CSpeedCaptureSettingDlg(GuiContext& context, QWidget* parent);
    ~CSpeedCaptureSettingDlg() override;

  private:
    std::unique_ptr<Ui::CSpeedCaptureSettingDlg> ui_;
};

}  // namespace qx::ui
