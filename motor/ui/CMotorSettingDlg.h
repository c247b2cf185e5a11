#pragma once

#include <QString>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "link/DriveCommands.h"
#include "motor/AutoMatch.h"
#include "motor/MotorFields.h"

namespace Ui {
class CMotorSettingDlg;
}

namespace qx {
class AutoMatchWorker;
}

namespace qx::ui {

class MatchBridge;

// "Motor Setting": the motor and encoder data block, read on opening and written on OK,
// and "Auto Match", which runs on a worker while the dialog shows its progress.
class CMotorSettingDlg : public ModalDialog {
    Q_OBJECT

  public:
    CMotorSettingDlg(GuiContext& context, QWidget* parent);
    ~CMotorSettingDlg() override;

    const MotorFields& fields() const { return fields_; }
    bool matchRunning() const;
    // Starts the automatic match, as the "Auto Match" button does.
    void startMatch();
    // Shows what a running match shows after a report (the pictures program uses it).
    void showMatchProgress(int percent, const MotorFields& fields);

    // Escape and the close box do nothing while a match runs.
    void reject() override;

  signals:
    // A match has ended and the dialog shows its outcome.
    void matchFinished(const qx::AutoMatchResult& result);

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;
    void onOK() override;

  private:
    using FloatSnap = void (*)(MotorFields&, CurrentLoopModel&);

    void refresh();
    void connectIntegerField(int editId, int spinId, int32_t MotorFields::*field, IntRange limits);
    void connectFloatField(int editId, int spinId, float MotorFields::*field, float step,
                           FloatSnap snap);
    void setMatchControlsEnabled(bool enabled);
    void takeMatchFields(const MotorFields& f);
    void finishMatch(const AutoMatchResult& result);
    void stopMatch();

    std::unique_ptr<Ui::CMotorSettingDlg> ui_;
    Session session_;
    MotorFields fields_;
    QString message_;
    std::unique_ptr<MatchBridge> bridge_;
    std::unique_ptr<AutoMatchWorker> worker_;
};

}  // namespace qx::ui
