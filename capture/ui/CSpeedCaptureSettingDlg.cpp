#include "capture/ui/CSpeedCaptureSettingDlg.h"

#include "ui_CSpeedCaptureSettingDlg.h"

namespace qx::ui {

CSpeedCaptureSettingDlg::CSpeedCaptureSettingDlg(GuiContext& context, QWidget* parent)
    : CaptureSettingDialog(context, parent, CaptureKind::Speed),
      ui_(std::make_unique<Ui::CSpeedCaptureSettingDlg>()) {
    ui_->setupUi(this);
    Controls c;
    c.range = ui_->IDC_1058;
    c.rangeSpin = ui_->IDC_1059;
    c.lasting = ui_->IDC_1061;
    c.lastingSpin = ui_->IDC_1062;
    c.rate = ui_->IDC_1064;
    c.rateSpin = ui_->IDC_1065;
    c.count = ui_->IDC_1067;
    c.countSpin = ui_->IDC_1068;
    c.start = ui_->IDC_1070;
    c.startSpin = ui_->IDC_1071;
    c.preview = ui_->IDC_1072;
    c.ok = ui_->IDC_1;
    c.cancel = ui_->IDC_2;
    bind(c);
}

CSpeedCaptureSettingDlg::~CSpeedCaptureSettingDlg() = default;

}  // namespace qx::ui
