#pragma once

#include <memory>

#include "capture/ui/CaptureSettingDialog.h"

namespace Ui {
class CCurrentCaptureSettingDlg;
}

namespace qx::ui {

// How the current loop's step test excites the loop and samples its response, with a
// preview of the excitation and of the stretch that will be sampled.
class CCurrentCaptureSettingDlg : public CaptureSettingDialog {
    Q_OBJECT

  public:
    CCurrentCaptureSettingDlg(GuiContext& context, QWidget* parent);
    ~CCurrentCaptureSettingDlg() override;

  private:
    std::unique_ptr<Ui::CCurrentCaptureSettingDlg> ui_;
};

}  // namespace qx::ui
