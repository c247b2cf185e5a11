#pragma once

#include <memory>

#include "app/ui/ModalDialog.h"
#include "params/ParamEditor.h"

namespace Ui {
class CUserParamDlg;
}

namespace qx::ui {

// "User parameters setting": pick a Pn, read its title and help, type or step a value
// within its range and write it with "Set". The editing rules are ParamEditor's; this
// class only moves texts between it and the controls.
class CUserParamDlg : public ModalDialog {
    Q_OBJECT

  public:
    CUserParamDlg(GuiContext& context, QWidget* parent);
    ~CUserParamDlg() override;

    const ParamEditor& editor() const { return *editor_; }
    // Shows Pn `pn` as typing its number would.
    void showParam(int pn);

  protected:
    void onInitDialog() override;

  private:
    void numberEdited(const QString& text);
    void valueEdited(const QString& text);
    void focusMoved(QWidget* old, QWidget* now);
    void numberSpun(int delta);
    void valueSpun(int delta);
    void set();
    // Shows the editor's texts; the help box only when its text changed, so its scroll
    // position stays while the value is edited.
    void refresh();

    std::unique_ptr<Ui::CUserParamDlg> ui_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<ParamEditor> editor_;
    std::string shownHelp_;
};

}  // namespace qx::ui
