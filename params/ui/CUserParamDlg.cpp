#include "params/ui/CUserParamDlg.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "app/ui/DeltaSpin.h"
#include "app/ui/WaitCursor.h"
#include "ui_CUserParamDlg.h"

namespace qx::ui {

namespace {

// The help texts separate their lines with "\r\n"; a plain text box wants "\n".
QString HelpForDisplay(const std::string& help) {
    QString text = QString::fromUtf8(help.data(), static_cast<qsizetype>(help.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// The bit tables are lines whose first non-blank character is '-' or '|'. They must not
// wrap, or their columns fall apart; the prose around them wraps at the box's width.
void KeepTablesUnwrapped(QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString line = block.text().trimmed();
        if (line.startsWith(QLatin1Char('-')) || line.startsWith(QLatin1Char('|'))) {
            QTextBlockFormat format = block.blockFormat();
            format.setNonBreakableLines(true);
            QTextCursor(block).setBlockFormat(format);
        }
    }
}

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
                                            context.state().identity.softwareVersion, *messages_)) {
    ui_->setupUi(this);
    // The bit tables of the help texts are drawn with characters: they need a font whose
    // characters all have one width.
    ui_->IDC_1221->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui_->IDC_1221->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui_->IDC_1221->setReadOnly(true);
    ui_->IDC_1221->setAcceptRichText(false);
    ui_->IDC_1221->setLineWrapMode(QTextEdit::WidgetWidth);

    connect(ui_->IDC_1199, &QLineEdit::textEdited, this, &CUserParamDlg::numberEdited);
    connect(ui_->IDC_1200, &QLineEdit::textEdited, this, &CUserParamDlg::valueEdited);
    connect(ui_->IDC_1201, &DeltaSpin::deltaPos, this, &CUserParamDlg::numberSpun);
    connect(ui_->IDC_1202, &DeltaSpin::deltaPos, this, &CUserParamDlg::valueSpun);
    connect(ui_->IDC_1205, &QPushButton::clicked, this, &CUserParamDlg::set);
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CUserParamDlg::reject);
}

CUserParamDlg::~CUserParamDlg() = default;

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
        ui_->IDC_1221->setPlainText(HelpForDisplay(shownHelp_));
        KeepTablesUnwrapped(*ui_->IDC_1221->document());
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
}

}  // namespace qx::ui
