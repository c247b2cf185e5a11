#include "app/ui/CQuendrixDoc.h"

#include <QFile>
#include <QFileInfo>

namespace qx::ui {

namespace {
const QString kUntitled = QStringLiteral("Untitled");
}

CQuendrixDoc::CQuendrixDoc(QObject* parent) : QObject(parent), title_(kUntitled) {}

bool CQuendrixDoc::onNewDocument() {
    pathName_.clear();
    setTitle(kUntitled);
    return true;
}

bool CQuendrixDoc::onOpenDocument(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

bool CQuendrixDoc::onSaveDocument(const QString& path) {
    const QFileInfo existing(path);
    if (existing.exists()) {
        // Nothing to write, so nothing is opened: a parameter file saved over keeps its
        // data, and a FIFO or device there is never touched.
        return existing.isFile() && existing.isWritable();
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

void CQuendrixDoc::setPathName(const QString& path) {
    pathName_ = QFileInfo(path).absoluteFilePath();
    setTitle(QFileInfo(path).fileName());
}

void CQuendrixDoc::setTitle(const QString& title) {
    title_ = title;
    emit titleChanged(title_);
}

}  // namespace qx::ui
