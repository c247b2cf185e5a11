#pragma once

#include <QString>
#include <memory>

#include "app/ui/ModalDialog.h"

namespace Ui {
class CAboutServoDlg;
}

namespace qx::ui {

// The drive's versions as the last identification stored them. It sends nothing to the
// drive. With no accepted drive it says so and closes before it is ever seen.
class CAboutServoDlg : public ModalDialog {
    Q_OBJECT

  public:
    CAboutServoDlg(GuiContext& context, QWidget* parent);
    ~CAboutServoDlg() override;

  protected:
    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;

  private:
    std::unique_ptr<Ui::CAboutServoDlg> ui_;
    QString bootRomText_;
    QString softwareText_;
    QString fpgaText_;
};

}  // namespace qx::ui
