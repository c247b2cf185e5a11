#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "app/ui/RecentFileList.h"

class QAction;
class QWidget;

namespace qx::ui {

class CMainFrame;
class CQuendrixDoc;
class CQuendrixView;
class GuiContext;

// The application object: start-up, the document and its main window, and the routing
// of every command. The Qt application object (QApplication) is created before it by
// main(); this one carries what is the tool's own.
class CQuendrixApp : public QObject {
    Q_OBJECT

  public:
    using CommandHandler = std::function<void(QWidget* mainWindow)>;

    // Registers the framework's document commands and every dialog command
    // (RegisterDialogCommands).
    explicit CQuendrixApp(GuiContext& context, QObject* parent = nullptr);
    ~CQuendrixApp() override;

    // Start-up: reads the recent-file list, creates the document, the main window and
    // the view (opening `documentPath` when one is given), shows the window and then
    // gives the shared records their start-up values. The serial port is not touched.
    // False when the named document could not be opened.
    bool initInstance(const QString& documentPath = {});

    // Routing: what command `id` does. A command without a handler does nothing.
    void setCommandHandler(int id, CommandHandler handler);
    bool hasCommandHandler(int id) const;
    // Carries out command `id` as the menu or an accelerator would.
    void onCommand(int id);
    // The main window's action of command `id` (objectName "ID_...", property
    // "commandId"); null before initInstance() or for an unknown id.
    QAction* action(int id) const;

    GuiContext& context() { return context_; }
    CMainFrame* mainFrame() const { return mainFrame_.get(); }
    CQuendrixView* view() const { return view_; }
    // Shows the connection as it is now in the view; done after every command, so after
    // every COM pick and whenever a dialog has closed.
    void updateView();
    CQuendrixDoc* document() const { return document_.get(); }
    RecentFileList& recentFiles() { return recentFiles_; }

    // The full path of the last parameter file chosen for upload or download.
    const QString& lastParameterPath() const { return lastParameterPath_; }
    void setLastParameterPath(const QString& path) { lastParameterPath_ = path; }

    // The framework's document commands.
    void onFileNew();
    void onFileOpen();
    void onFileSave();
    void onAppExit();
    // Opens `path` as the document (reading nothing); false, after telling the user,
    // when it cannot be opened.
    bool openDocumentFile(const QString& path);

  private:
    bool saveDocumentAs(const QString& path);
    void frameworkMessage(const char* text);

    GuiContext& context_;
    RecentFileList recentFiles_;
    std::unique_ptr<CQuendrixDoc> document_;
    std::unique_ptr<CMainFrame> mainFrame_;
    CQuendrixView* view_ = nullptr;
    std::map<int, CommandHandler> handlers_;
    QString lastParameterPath_;
};

}  // namespace qx::ui
