#pragma once

#include <memory>

#include "capture/ui/CaptureSettingDialog.h"

namespace Ui {
class CPositionCaptureSettingDlg;
}

namespace qx::ui {

// How the position loop's step test excites the loop and samples its response, with a
// preview of the excitation and of the stretch that will be sampled.
class CPositionCaptureSettingDlg : public CaptureSettingDialog {
    Q_OBJECT

  public:
    CPositionCaptureSettingDlg(GuiContext& context, QWidget* parent);
    ~CPositionCaptureSettingDlg() override;

  private:
    std::unique_ptr<Ui::CPositionCaptureSettingDlg> ui_;
};

}  // namespace qx::ui
