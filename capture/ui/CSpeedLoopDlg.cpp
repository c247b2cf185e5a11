#include "capture/ui/CSpeedLoopDlg.h"

#include <QPushButton>

#include "ui_CSpeedLoopDlg.h"

namespace qx::ui {

namespace {

constexpr int kSpeedKp = 0;
constexpr int kTrc = 1;
constexpr int kSpeedFilter = 2;
constexpr int kOutputFilter = 3;

}  // namespace

CSpeedLoopDlg::CSpeedLoopDlg(GuiContext& context, QWidget* parent)
    : LoopTuningDialog(context, parent, CaptureKind::Speed),
      ui_(std::make_unique<Ui::CSpeedLoopDlg>()) {
    ui_->setupUi(this);
    setPlotControl(ui_->IDC_1151);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CSpeedLoopDlg::accept);
    wireGains({
        {ui_->IDC_1148, ui_->IDC_1149},
        {ui_->IDC_1090, ui_->IDC_1091},
        {ui_->IDC_1092, ui_->IDC_1093},
        {ui_->IDC_1094, ui_->IDC_1095},
    });
}

CSpeedLoopDlg::~CSpeedLoopDlg() = default;

void CSpeedLoopDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1092, gain(kSpeedFilter));
    exchange.minMax(gain(kSpeedFilter), 1, 1000);
    exchange.text(ui_->IDC_1094, gain(kOutputFilter));
    exchange.minMax(gain(kOutputFilter), 1, 1000);
    exchange.text(ui_->IDC_1148, gain(kSpeedKp));
    exchange.minMax(gain(kSpeedKp), 1, 65535);
    exchange.text(ui_->IDC_1090, gain(kTrc));
}

}  // namespace qx::ui
