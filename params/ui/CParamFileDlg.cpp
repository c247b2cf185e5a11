#include "params/ui/CParamFileDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/PlainButton.h"
#include "params/ui/ParamCompareFile.h"
#include "params/ui/ParamSheetView.h"

namespace qx::ui {

namespace {

constexpr int kFileWindowWidth = 760;
constexpr int kFileWindowHeight = 600;

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

CParamFileDlg::CParamFileDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      messages_(context.messagesFor(this)),
      path_(new QLabel(this)),
      view_(new ParamSheetView(sheet_, this)),
      open_(PlainButton("Open...", "open", this)),
      save_(PlainButton("Save", "save", this)),
      saveAs_(PlainButton("Save As...", "saveAs", this)),
      compare_(PlainButton("Compare with File...", "compare", this)),
      close_(PlainButton("Close", "close", this)) {
    setSizeGripEnabled(true);
    resize(kFileWindowWidth, kFileWindowHeight);
    path_->setObjectName(QStringLiteral("path"));
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(save_);
    buttons->addWidget(saveAs_);
    buttons->addWidget(compare_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(path_);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    view_->model().setValueEditor([this](int pn, const std::string& text) { editValue(pn, text); });
    connect(open_, &QPushButton::clicked, this, &CParamFileDlg::open);
    connect(save_, &QPushButton::clicked, this, &CParamFileDlg::save);
    connect(saveAs_, &QPushButton::clicked, this, &CParamFileDlg::saveAs);
    connect(compare_, &QPushButton::clicked, this, [this]() { compareWithFile(); });
    connect(close_, &QPushButton::clicked, this, &CParamFileDlg::reject);
    showTitle();
}

CParamFileDlg::~CParamFileDlg() = default;

bool CParamFileDlg::openFile(const QString& path, MessageSink& owner) {
    if (const auto error = document_.open(LocalPath(path))) {
        owner.show(*error, kTitleWarning);
        return false;
    }
    // The titles of Pn 58 and above follow the software version the file came from.
    sheet_ = ParamSheet(document_.softwareVersion());
    showDocument();
    return true;
}

void CParamFileDlg::showDocument() {
    sheet_.setValues(document_.values());
    view_->reload();
    showTitle();
}

void CParamFileDlg::showTitle() {
    const QString path = QFile::decodeName(QByteArray::fromStdString(document_.path()));
    const QString name = QFileInfo(path).fileName();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Parameter File")
                                  : QStringLiteral("Parameter File - ") + name +
                                        (document_.modified() ? QStringLiteral(" *") : QString()));
    path_->setText(path +
                   (document_.modified() ? QStringLiteral("  (changed, not saved)") : QString()));
    save_->setEnabled(document_.isOpen());
    saveAs_->setEnabled(document_.isOpen());
}

void CParamFileDlg::editValue(int pn, const std::string& text) {
    if (const auto refused = document_.setValueText(pn, text)) {
        messages_->show(*refused, kTitleWarning);
    }
    sheet_.setValues(document_.values());
    showTitle();
}

void CParamFileDlg::open() {
    if (!changesSettled()) {
        return;
    }
    if (const auto path = AskForParamFilePath(context(), this, false)) {
        openFile(*path, *messages_);
    }
}

bool CParamFileDlg::save() {
    if (const auto error = document_.saveAs(document_.path())) {
        messages_->show(*error, kTitleWarning);
        return false;
    }
    showTitle();
    return true;
}

bool CParamFileDlg::saveAs() {
    const auto path = AskForParamFilePath(context(), this, true);
    if (!path) {
        return false;
    }
    if (const auto error = document_.saveAs(LocalPath(*path))) {
        messages_->show(*error, kTitleWarning);
        return false;
    }
    showTitle();
    return true;
}

void CParamFileDlg::compareWithFile() {
    if (const auto path = AskForParamFilePath(context(), this, false)) {
        compareWithFile(*path);
    }
}

void CParamFileDlg::compareWithFile(const QString& path) {
    const auto file = ReadComparedFile(path, *messages_);
    if (!file) {
        return;
    }
    sheet_.compareWith(file->values, file->name.toStdString());
    view_->reload();
}

bool CParamFileDlg::changesSettled() {
    if (!document_.modified()) {
        return true;
    }
    QMessageBox box(
        QMessageBox::Question, QStringLiteral("Parameter File"),
        QStringLiteral("Save the changes to %1?")
            .arg(QFileInfo(QFile::decodeName(QByteArray::fromStdString(document_.path())))
                     .fileName()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    context().runModal(box);
    const auto answer = box.standardButton(box.clickedButton());
    if (answer == QMessageBox::Save) {
        return save();
    }
    return answer == QMessageBox::Discard;
}

void CParamFileDlg::onOK() {
    onCancel();
}

void CParamFileDlg::onCancel() {
    if (changesSettled()) {
        ModalDialog::onCancel();
    }
}

}  // namespace qx::ui
