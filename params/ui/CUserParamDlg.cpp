#include "params/ui/CUserParamDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include "app/ui/DeltaSpin.h"
#include "app/ui/WaitCursor.h"
#include "params/ui/ParamHelpBox.h"
#include "ui_CUserParamDlg.h"

namespace qx::ui {

namespace {

void ShowText(QLineEdit* edit, const std::string& text) {
    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Setting an unchanged text would move the caret while the user types.
    if (edit->text() != shown) {
        edit->setText(shown);
    }
}

}  // namespace

CUserParamDlg::CUserParamDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CUserParamDlg>()),
      messages_(context.messagesFor(this)),
      editor_(std::make_unique<ParamEditor>(context.state().userParamTable,
                                            context.state().identity.softwareVersion, *messages_,
                                            &context.state().parameterTable.changeLog)) {
    ui_->setupUi(this);
    SetUpParamHelpBox(*ui_->IDC_1221);

    connect(ui_->IDC_1199, &QLineEdit::textEdited, this, &CUserParamDlg::numberEdited);
    connect(ui_->IDC_1200, &QLineEdit::textEdited, this, &CUserParamDlg::valueEdited);
    connect(qApp, &QApplication::focusChanged, this, &CUserParamDlg::focusMoved);
    connect(ui_->IDC_1201, &DeltaSpin::deltaPos, this, &CUserParamDlg::numberSpun);
    connect(ui_->IDC_1202, &DeltaSpin::deltaPos, this, &CUserParamDlg::valueSpun);
    connect(ui_->IDC_1205, &QPushButton::clicked, this, &CUserParamDlg::set);
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CUserParamDlg::reject);
}

CUserParamDlg::~CUserParamDlg() {
    // The controls lose the focus while the window is taken down: no field is left then.
    disconnect(qApp, nullptr, this, nullptr);
}

void CUserParamDlg::onInitDialog() {
    editor_->open();
    refresh();
}

void CUserParamDlg::refresh() {
    ShowText(ui_->IDC_1199, editor_->numberText());
    ShowText(ui_->IDC_1200, editor_->valueText());
    ui_->IDC_1223->setText(QString::fromUtf8(editor_->title().c_str()));
    if (editor_->help() != shownHelp_ || ui_->IDC_1221->toPlainText().isEmpty()) {
        shownHelp_ = editor_->help();
        ShowParamHelp(*ui_->IDC_1221, shownHelp_);
    }
}

void CUserParamDlg::showParam(int pn) {
    numberEdited(QString::number(pn));
}

void CUserParamDlg::numberEdited(const QString& text) {
    if (editor_->numberTextChanged(text.toStdString())) {
        refresh();
    }
}

void CUserParamDlg::valueEdited(const QString& text) {
    if (editor_->valueTextChanged(text.toStdString())) {
        refresh();
    }
}

void CUserParamDlg::focusMoved(QWidget* old, QWidget* now) {
    // Only a move to another control of this dialog leaves a field: not a box opening
    // over it, not "Close", which closes without a prompt, and not "Set", which reads
    // the value itself.
    if (now == nullptr || now->window() != this || now == ui_->IDC_2 || now == ui_->IDC_1205) {
        return;
    }
    if (old == ui_->IDC_1199) {
        editor_->numberFieldLeft();
        refresh();
    } else if (old == ui_->IDC_1200) {
        editor_->valueFieldLeft();
        refresh();
    }
}

void CUserParamDlg::numberSpun(int delta) {
    editor_->numberSpun(delta);
    refresh();
}

void CUserParamDlg::valueSpun(int delta) {
    editor_->valueSpun(delta);
    refresh();
}

void CUserParamDlg::set() {
    WaitCursor busy;
    editor_->set(context().link());
    refresh();
}

}  // namespace qx::ui
