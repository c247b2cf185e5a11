#pragma once

#include <QTimer>
#include <memory>

#include "app/ui/ModalDialog.h"
#include "link/DriveCommands.h"

namespace Ui {
class CEncoderFixingDlg;
}

namespace qx::ui {

// "Encoder Fixing...": holds the rotor with a chosen current ("Freeze"), lets it go
// ("Release") and shows the rotor position five times a second.
class CEncoderFixingDlg : public ModalDialog {
    Q_OBJECT

  public:
    CEncoderFixingDlg(GuiContext& context, QWidget* parent);
    ~CEncoderFixingDlg() override;

    int freezeCurrent() const { return freezeCurrent_; }
    int rotorPosition() const { return rotorPosition_; }
    // One tick of the position timer: read the position and show every field.
    void poll();

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;

  private:
    void commitFreezeCurrent();

    std::unique_ptr<Ui::CEncoderFixingDlg> ui_;
    Session session_;
    QTimer timer_;
    int freezeCurrent_;
    int rotorPosition_ = 0;
    bool committing_ = false;
};

}  // namespace qx::ui
