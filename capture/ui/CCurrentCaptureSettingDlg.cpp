#include "capture/ui/CCurrentCaptureSettingDlg.h"

#include "ui_CCurrentCaptureSettingDlg.h"

namespace qx::ui {

CCurrentCaptureSettingDlg::CCurrentCaptureSettingDlg(GuiContext& context, QWidget* parent)
    : CaptureSettingDialog(context, parent, CaptureKind::Current),
      ui_(std::make_unique<Ui::CCurrentCaptureSettingDlg>()) {
    ui_->setupUi(this);
    Controls c;
    c.range = ui_->IDC_1043;
    c.rangeSpin = ui_->IDC_1044;
    c.lasting = ui_->IDC_1045;
    c.lastingSpin = ui_->IDC_1046;
    c.rate = ui_->IDC_1037;
    c.rateSpin = ui_->IDC_1038;
    c.count = ui_->IDC_1039;
    c.countSpin = ui_->IDC_1040;
    c.start = ui_->IDC_1041;
    c.startSpin = ui_->IDC_1042;
    c.preview = ui_->IDC_1056;
    c.ok = ui_->IDC_1;
    c.cancel = ui_->IDC_2;
    bind(c);
}

CCurrentCaptureSettingDlg::~CCurrentCaptureSettingDlg() = default;

}  // namespace qx::ui
