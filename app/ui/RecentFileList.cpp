#include "app/ui/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

namespace qx::ui {

namespace {

const QString kSection = QStringLiteral("Recent File List");

QString EntryKey(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

Qt::CaseSensitivity FileNameCase() {
#ifdef Q_OS_WIN
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

}  // namespace

RecentFileList::RecentFileList(QString organisation, QString application, int size)
    : organisation_(std::move(organisation)), application_(std::move(application)), size_(size) {}

void RecentFileList::readList() {
    files_.clear();
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organisation_,
                             application_);
    for (int i = 0; i < size_; ++i) {
        const QString path = settings.value(kSection + QLatin1Char('/') + EntryKey(i)).toString();
        if (!path.isEmpty()) {
            files_ << path;
        }
    }
}

void RecentFileList::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (qsizetype i = files_.size() - 1; i >= 0; --i) {
        if (files_[i].compare(absolute, FileNameCase()) == 0) {
            files_.removeAt(i);
        }
    }
    files_.prepend(absolute);
    while (files_.size() > size_) {
        files_.removeLast();
    }
    writeList();
}

void RecentFileList::writeList() const {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, organisation_, application_);
    settings.remove(kSection);
    settings.beginGroup(kSection);
    for (qsizetype i = 0; i < files_.size(); ++i) {
        settings.setValue(EntryKey(static_cast<int>(i)), files_[i]);
    }
    settings.endGroup();
}

}  // namespace qx::ui
