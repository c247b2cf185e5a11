#pragma once

#include <QMainWindow>
#include <map>

#include "app/ui/MenuResource.h"

class QAction;
class QMenu;

namespace qx::ui {

// The tool's one main window. It carries the menu and the accelerators, and nothing
// else: no toolbar, no status bar, no handlers of its own. Every command it receives
// goes out through command() to the application object.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // The action of a menu command or accelerator; null for an unknown id.
    QAction* action(int id) const;
    // Every command id the window can send, menus and accelerators alike.
    std::vector<int> commandIds() const;
    // Shows "<document title> - Quendrix".
    void setDocumentTitle(const QString& documentTitle);

  signals:
    void command(int id);

  private:
    void buildMenu(QMenu* menu, const std::vector<MenuEntry>& entries);
    QAction* makeAction(const QString& caption, int id);

    std::map<int, QAction*> actions_;
};

}  // namespace qx::ui
