#include "capture/ui/CPositionLoopDlg.h"

#include <QPushButton>

#include "ui_CPositionLoopDlg.h"

namespace qx::ui {

namespace {

constexpr int kPositionKp = 0;
constexpr int kKd = 1;
constexpr int kCutoff = 2;

}  // namespace

CPositionLoopDlg::CPositionLoopDlg(GuiContext& context, QWidget* parent)
    : LoopTuningDialog(context, parent, CaptureKind::Position),
      ui_(std::make_unique<Ui::CPositionLoopDlg>()) {
    ui_->setupUi(this);
    setPlotControl(ui_->IDC_1155);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CPositionLoopDlg::accept);
    wireGains({
        {ui_->IDC_1180, ui_->IDC_1184},
        {ui_->IDC_1181, ui_->IDC_1185},
        {ui_->IDC_1092, ui_->IDC_1093},
    });
}

CPositionLoopDlg::~CPositionLoopDlg() = default;

void CPositionLoopDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1092, gain(kCutoff));
    exchange.minMax(gain(kCutoff), 1, 1000);
    exchange.text(ui_->IDC_1181, gain(kKd));
    exchange.minMax(gain(kKd), 0, 65535);
    exchange.text(ui_->IDC_1180, gain(kPositionKp));
    exchange.minMax(gain(kPositionKp), 1, 65535);
}

}  // namespace qx::ui
