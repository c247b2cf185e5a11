#include "app/ui/CMainFrame.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVariant>

#include "app/ui/AppIcon.h"
#include "app/ui/AppInfo.h"
#include "app/ui/CommandIds.h"

namespace qx::ui {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowIcon(AppIcon());
    setContextMenuPolicy(Qt::NoContextMenu);

    QMenuBar* bar = menuBar();
    for (const MenuEntry& popup : MainMenu()) {
        QMenu* menu = bar->addMenu(popup.caption);
        buildMenu(menu, popup.entries);
    }
    for (const Accelerator& accelerator : MainAccelerators()) {
        QAction* action =
            makeAction(QString::fromLatin1(CommandIdName(accelerator.id)), accelerator.id);
        action->setShortcuts(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    // A default-sized frame, as a window placed by the system would be.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(screen->availableGeometry().size() * 3 / 4);
    }
    setDocumentTitle(QStringLiteral("Untitled"));
}

QAction* CMainFrame::makeAction(const QString& caption, int id) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(CommandIdName(id)));
    action->setProperty("commandId", id);
    action->setMenuRole(QAction::NoRole);
    connect(action, &QAction::triggered, this, [this, id]() { emit command(id); });
    actions_[id] = action;
    return action;
}

void CMainFrame::buildMenu(QMenu* menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
            case MenuEntry::Kind::Command:
                menu->addAction(makeAction(entry.caption, entry.id));
                break;
            case MenuEntry::Kind::Separator:
                menu->addSeparator();
                break;
            case MenuEntry::Kind::Popup:
                buildMenu(menu->addMenu(entry.caption), entry.entries);
                break;
        }
    }
}

QAction* CMainFrame::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

std::vector<int> CMainFrame::commandIds() const {
    std::vector<int> ids;
    ids.reserve(actions_.size());
    for (const auto& [id, action] : actions_) {
        ids.push_back(id);
    }
    return ids;
}

void CMainFrame::setDocumentTitle(const QString& documentTitle) {
    setWindowTitle(documentTitle + QStringLiteral(" - ") + QString::fromLatin1(kAppTitle));
}

}  // namespace qx::ui
