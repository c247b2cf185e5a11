#include "app/ui/CQuendrixApp.h"

#include <QAction>

#include "app/ConnectionSummary.h"
#include "app/SharedState.h"
#include "app/ui/AppInfo.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixDoc.h"
#include "app/ui/CQuendrixView.h"
#include "app/ui/CommandIds.h"
#include "app/ui/DialogCommands.h"
#include "app/ui/GuiContext.h"
#include "link/ui/ComSettings.h"

namespace qx::ui {

CQuendrixApp::CQuendrixApp(GuiContext& context, QObject* parent)
    : QObject(parent),
      context_(context),
      recentFiles_(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle),
                   kRecentFileCount) {
    setCommandHandler(ID_FILE_NEW, [this](QWidget*) { onFileNew(); });
    setCommandHandler(ID_FILE_OPEN, [this](QWidget*) { onFileOpen(); });
    setCommandHandler(ID_FILE_SAVE, [this](QWidget*) { onFileSave(); });
    setCommandHandler(ID_APP_EXIT, [this](QWidget*) { onAppExit(); });
    RegisterDialogCommands(*this, context_);
}

CQuendrixApp::~CQuendrixApp() = default;

bool CQuendrixApp::initInstance(const QString& documentPath) {
    recentFiles_.readList();
    LoadComSettings(context_.comMapping());

    document_ = std::make_unique<CQuendrixDoc>();
    mainFrame_ = std::make_unique<CMainFrame>();
    view_ = new CQuendrixView(document_.get(), mainFrame_.get());
    mainFrame_->setCentralWidget(view_);
    connect(document_.get(), &CQuendrixDoc::titleChanged, mainFrame_.get(),
            &CMainFrame::setDocumentTitle);
    connect(mainFrame_.get(), &CMainFrame::command, this, &CQuendrixApp::onCommand);

    if (documentPath.isEmpty()) {
        document_->onNewDocument();
    } else if (!openDocumentFile(documentPath)) {
        return false;
    }

    mainFrame_->show();
    ApplyStartupValues(context_.state());
    updateView();
    return true;
}

void CQuendrixApp::setCommandHandler(int id, CommandHandler handler) {
    handlers_[id] = std::move(handler);
}

bool CQuendrixApp::hasCommandHandler(int id) const {
    const auto it = handlers_.find(id);
    return it != handlers_.end() && it->second;
}

void CQuendrixApp::onCommand(int id) {
    const auto it = handlers_.find(id);
    if (it != handlers_.end() && it->second) {
        // A copy: the handler may replace itself while it runs.
        const CommandHandler handler = it->second;
        handler(mainFrame_.get());
    }
    updateView();
}

void CQuendrixApp::updateView() {
    if (view_ == nullptr) {
        return;
    }
    const std::string port = context_.link().portName();
    const ComTarget& target = context_.comMapping().lastPick();
    const std::vector<std::string> lines = ConnectionSummary(
        context_.state(), port, target.device.empty() ? std::string() : target.describe(),
        context_.lastOutcome());
    QStringList text;
    for (const std::string& line : lines) {
        text << QString::fromStdString(line);
    }
    view_->setSummary(text.join(QLatin1Char('\n')));
}

QAction* CQuendrixApp::action(int id) const {
    return mainFrame_ ? mainFrame_->action(id) : nullptr;
}

void CQuendrixApp::onFileNew() {
    document_->onNewDocument();
}

void CQuendrixApp::onFileOpen() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.owner = mainFrame_.get();
    if (const auto path = context_.askFileName(request)) {
        openDocumentFile(*path);
    }
}

void CQuendrixApp::onFileSave() {
    if (!document_->pathName().isEmpty()) {
        saveDocumentAs(document_->pathName());
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.owner = mainFrame_.get();
    request.defaultName = document_->title();
    if (const auto path = context_.askFileName(request)) {
        saveDocumentAs(*path);
    }
}

void CQuendrixApp::onAppExit() {
    mainFrame_->close();
}

bool CQuendrixApp::openDocumentFile(const QString& path) {
    if (!document_->onOpenDocument(path)) {
        frameworkMessage("Failed to open document.");
        return false;
    }
    document_->setPathName(path);
    recentFiles_.add(path);
    return true;
}

bool CQuendrixApp::saveDocumentAs(const QString& path) {
    if (!document_->onSaveDocument(path)) {
        frameworkMessage("Failed to save document.");
        return false;
    }
    document_->setPathName(path);
    recentFiles_.add(path);
    return true;
}

void CQuendrixApp::frameworkMessage(const char* text) {
    context_.messagesFor(mainFrame_.get())->show(text, kAppTitle);
}

}  // namespace qx::ui
