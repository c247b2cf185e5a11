#pragma once

#include <memory>

#include "app/ui/ModalDialog.h"
#include "params/ParamLoadProgress.h"
#include "params/ParamLoadWorker.h"

namespace Ui {
class CParamLoadingDlg;
}

namespace qx::ui {

// "Loading User Parameters ...": runs the loading worker and shows its progress. It ends
// with 1 when everything was loaded, 255 when the worker gave up, 242 or 241 before it
// starts when no supported drive is connected. While the worker runs it cannot be
// closed: the worker owns the link until its final report.
class CParamLoadingDlg : public ModalDialog {
    Q_OBJECT

  public:
    CParamLoadingDlg(GuiContext& context, QWidget* parent);
    ~CParamLoadingDlg() override;

    // One report of the worker, on the user-interface thread.
    void onLoadProgress(ParamLoadStage stage, int percent);

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;
    void onOK() override;
    void onCancel() override;

  private:
    class QueuedProgress;

    bool loading() const;

    std::unique_ptr<Ui::CParamLoadingDlg> ui_;
    std::unique_ptr<QueuedProgress> progress_;
    QString stageText_;
    bool workerStarted_ = false;
    bool finalReportSeen_ = false;
    // Declared last so it is stopped first, while everything it reports to still exists.
    ParamLoadWorker worker_;
};

}  // namespace qx::ui
