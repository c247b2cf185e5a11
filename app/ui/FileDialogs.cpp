#include "app/ui/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace qx::ui {

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) {
            break;  // the "||" that ends the list
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('('))) {
            filters << description;
        } else {
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
    }
    if (filters.isEmpty()) {
        filters << QStringLiteral("All Files (*)");
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> RunFileDialog(const FileDialogRequest& request) {
    const bool open = request.mode == FileDialogRequest::Mode::Open;
    QString title = request.title;
    if (title.isEmpty()) {
        title = open ? QStringLiteral("Open") : QStringLiteral("Save As");
    }
    QFileDialog dialog(request.owner, title, QString(), QtFileFilter(request.filter));
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.defaultExtension.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultExtension);
    }
    if (!request.defaultName.isEmpty()) {
        dialog.selectFile(request.defaultName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace qx::ui
