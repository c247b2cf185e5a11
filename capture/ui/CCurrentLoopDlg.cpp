#include "capture/ui/CCurrentLoopDlg.h"

#include <QPushButton>

#include "capture/TuningEdits.h"
#include "ui_CCurrentLoopDlg.h"

namespace qx::ui {

CCurrentLoopDlg::CCurrentLoopDlg(GuiContext& context, QWidget* parent)
    : LoopTuningDialog(context, parent, CaptureKind::Current),
      ui_(std::make_unique<Ui::CCurrentLoopDlg>()) {
    ui_->setupUi(this);
    setPlotControl(ui_->IDC_1089);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CCurrentLoopDlg::accept);

    // Edits act on the value typed; the arrows on the value the window holds.
    auto read = [this](void (CCurrentLoopDlg::*store)()) {
        return [this, store] {
            updateData(true);
            (this->*store)();
            updateData(false);
        };
    };
    auto step = [this](float CCurrentLoopDlg::*value, float size,
                       void (CCurrentLoopDlg::*store)()) {
        return [this, value, size, store](int delta) {
            this->*value -= static_cast<float>(delta) * size;
            (this->*store)();
            updateData(false);
        };
    };
    wire(ui_->IDC_1225, ui_->IDC_1228, read(&CCurrentLoopDlg::storeRs),
         step(&CCurrentLoopDlg::rs_, kLsRsSpinStep, &CCurrentLoopDlg::storeRs));
    wire(ui_->IDC_1226, ui_->IDC_1018, read(&CCurrentLoopDlg::storeLs),
         step(&CCurrentLoopDlg::ls_, kLsRsSpinStep, &CCurrentLoopDlg::storeLs));
    wire(ui_->IDC_1227, ui_->IDC_1020, read(&CCurrentLoopDlg::storeKe),
         step(&CCurrentLoopDlg::ke_, kKeSpinStep, &CCurrentLoopDlg::storeKe));
    wire(ui_->IDC_1229, ui_->IDC_1021, read(&CCurrentLoopDlg::storeKi), [this](int delta) {
        ki_ -= delta;
        storeKi();
        updateData(false);
    });
}

CCurrentLoopDlg::~CCurrentLoopDlg() = default;

void CCurrentLoopDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1225, rs_);
    exchange.text(ui_->IDC_1226, ls_);
    exchange.text(ui_->IDC_1227, ke_);
    exchange.text(ui_->IDC_1229, ki_);
}

void CCurrentLoopDlg::takeGains(const LoopGains& gains) {
    ls_ = MotorConstantValue(gains.words[0], kLsRsRawPerUnit);
    rs_ = MotorConstantValue(gains.words[1], kLsRsRawPerUnit);
    ke_ = MotorConstantValue(gains.words[2], kKeRawPerUnit);
    ki_ = gains.words[3];
}

void CCurrentLoopDlg::storeRs() {
    const int32_t raw = MotorConstantRaw(rs_, kLsRsRawPerUnit);
    context().state().currentLoopModel.rsRaw = raw;
    rs_ = MotorConstantValue(raw, kLsRsRawPerUnit);
}

void CCurrentLoopDlg::storeLs() {
    const int32_t raw = MotorConstantRaw(ls_, kLsRsRawPerUnit);
    context().state().currentLoopModel.lsRaw = raw;
    ls_ = MotorConstantValue(raw, kLsRsRawPerUnit);
}

void CCurrentLoopDlg::storeKe() {
    const int32_t raw = MotorConstantRaw(ke_, kKeRawPerUnit);
    context().state().currentLoopModel.keRaw = raw;
    ke_ = MotorConstantValue(raw, kKeRawPerUnit);
}

void CCurrentLoopDlg::storeKi() {
    ki_ = LimitKi(ki_);
    context().state().currentLoopModel.word0215 = ki_;
}

}  // namespace qx::ui
