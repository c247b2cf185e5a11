#include "params/ui/CParamLoadingDlg.h"

#include <QMetaObject>
#include <QProgressBar>

#include "params/ParamSettingCommand.h"
#include "ui_CParamLoadingDlg.h"

namespace qx::ui {

namespace {
constexpr int kProgressMax = 100;
}

// Hands each report of the worker's thread to the dialog's thread by a queued call. The
// worker is joined before the dialog goes away, so the dialog outlives every call.
class CParamLoadingDlg::QueuedProgress final : public ParamLoadProgress {
  public:
    explicit QueuedProgress(CParamLoadingDlg& dialog) : dialog_(dialog) {}
    void post(ParamLoadStage stage, int percent) override {
        CParamLoadingDlg* dialog = &dialog_;
        QMetaObject::invokeMethod(
            dialog, [dialog, stage, percent]() { dialog->onLoadProgress(stage, percent); },
            Qt::QueuedConnection);
    }

  private:
    CParamLoadingDlg& dialog_;
};

CParamLoadingDlg::CParamLoadingDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CParamLoadingDlg>()),
      progress_(std::make_unique<QueuedProgress>(*this)) {
    ui_->setupUi(this);
    // A caption without a system menu: there is no close box to press.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

CParamLoadingDlg::~CParamLoadingDlg() {
    worker_.stop();
}

void CParamLoadingDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1195, stageText_);
}

void CParamLoadingDlg::onInitDialog() {
    SharedState& state = context().state();
    // The range first, as the dialog shows it even when it ends at once.
    ui_->IDC_1206->setRange(0, kProgressMax);
    ui_->IDC_1206->setValue(0);
    if (const auto early = BeginParamLoad(state.identity, state.userParamTable)) {
        endDialog(*early);
        return;
    }
    workerStarted_ = worker_.start(context().link(), state.userParamTable, *progress_);
    if (!workerStarted_) {
        messages()->show(kCreateLoaderFailedText, kTitleWarning);
    }
}

bool CParamLoadingDlg::loading() const {
    return workerStarted_ && !finalReportSeen_;
}

void CParamLoadingDlg::onLoadProgress(ParamLoadStage stage, int percent) {
    const ParamLoadReaction reaction = ReactToParamLoadPost(stage, percent);
    if (reaction.progress) {
        ui_->IDC_1206->setValue(*reaction.progress);
    }
    if (reaction.stageText) {
        stageText_ = QString::fromUtf8(reaction.stageText->c_str());
        updateData(false);
    }
    if (!reaction.endResult) {
        return;
    }
    finalReportSeen_ = true;
    // The worker returns right after its final report.
    worker_.join();
    if (reaction.markLoaded) {
        context().state().parameterTable.parametersLoaded = 1;
    }
    endDialog(*reaction.endResult);
}

void CParamLoadingDlg::onOK() {
    // Enter must not pass a half-loaded table off as loaded.
    if (!loading()) {
        ModalDialog::onCancel();
    }
}

void CParamLoadingDlg::onCancel() {
    if (!loading()) {
        ModalDialog::onCancel();
    }
}

}  // namespace qx::ui
