#include "capture/ui/CPositionLoopDlg.h"

#include <QPushButton>

#include "capture/TuningEdits.h"
#include "ui_CPositionLoopDlg.h"

namespace qx::ui {

namespace {

constexpr int kKp = 0;
constexpr int kKd = 1;
constexpr int kCutoff = 2;

}  // namespace

CPositionLoopDlg::CPositionLoopDlg(GuiContext& context, QWidget* parent)
    : LoopTuningDialog(context, parent, CaptureKind::Position),
      ui_(std::make_unique<Ui::CPositionLoopDlg>()) {
    ui_->setupUi(this);
    setPlotControl(ui_->IDC_1155);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CPositionLoopDlg::accept);
    const std::pair<CommitLineEdit*, DeltaSpin*> controls[] = {
        {ui_->IDC_1180, ui_->IDC_1184},
        {ui_->IDC_1181, ui_->IDC_1185},
        {ui_->IDC_1092, ui_->IDC_1093},
    };
    for (int index = 0; index < 3; ++index) {
        wire(
            controls[index].first, controls[index].second,
            [this, index] {
                updateData(true);
                store(index);
                updateData(false);
            },
            [this, index](int delta) {
                updateData(true);
                gains_[index] -= delta;
                store(index);
                updateData(false);
            });
    }
}

CPositionLoopDlg::~CPositionLoopDlg() = default;

void CPositionLoopDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1092, gains_[kCutoff]);
    exchange.minMax(gains_[kCutoff], 1, 1000);
    exchange.text(ui_->IDC_1181, gains_[kKd]);
    exchange.minMax(gains_[kKd], 0, 65535);
    exchange.text(ui_->IDC_1180, gains_[kKp]);
    exchange.minMax(gains_[kKp], 1, 65535);
}

void CPositionLoopDlg::takeGains(const LoopGains& gains) {
    for (std::size_t k = 0; k < gains_.size(); ++k) {
        gains_[k] = gains.words[k];
    }
}

void CPositionLoopDlg::store(int index) {
    gains_[index] = ClampGain(CaptureKind::Position, index, gains_[index]);
    LoopGains g;
    g.count = 3;
    for (std::size_t k = 0; k < gains_.size(); ++k) {
        g.words[k] = gains_[k];
    }
    StoreGains(context().state(), CaptureKind::Position, g);
}

}  // namespace qx::ui
