#include "capture/ui/CPositionCaptureSettingDlg.h"

#include "ui_CPositionCaptureSettingDlg.h"

namespace qx::ui {

CPositionCaptureSettingDlg::CPositionCaptureSettingDlg(GuiContext& context, QWidget* parent)
    : CaptureSettingDialog(context, parent, CaptureKind::Position),
      ui_(std::make_unique<Ui::CPositionCaptureSettingDlg>()) {
    ui_->setupUi(this);
    Controls c;
    c.range = ui_->IDC_1074;
    c.rangeSpin = ui_->IDC_1075;
    c.lasting = ui_->IDC_1189;
    c.lastingSpin = ui_->IDC_1190;
    c.rate = ui_->IDC_1084;
    c.rateSpin = ui_->IDC_1085;
    c.count = ui_->IDC_1082;
    c.countSpin = ui_->IDC_1083;
    c.start = ui_->IDC_1080;
    c.startSpin = ui_->IDC_1081;
    c.preview = ui_->IDC_1086;
    c.ok = ui_->IDC_1;
    c.cancel = ui_->IDC_2;
    bind(c);
}

CPositionCaptureSettingDlg::~CPositionCaptureSettingDlg() = default;

}  // namespace qx::ui
