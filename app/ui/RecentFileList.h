#pragma once

#include <QString>
#include <QStringList>

namespace qx::ui {

// The most recently opened or saved documents, newest first, kept in the user's profile
// as "Recent File List/File1" ... "FileN". It is the only thing the tool stores.
class RecentFileList {
  public:
    RecentFileList(QString organisation, QString application, int size);

    // Reads the list from the profile.
    void readList();
    // Puts `path` (made absolute) first, dropping an older entry of the same file and the
    // oldest entry beyond the list's size, and writes the list back.
    void add(const QString& path);

    const QStringList& files() const { return files_; }
    int size() const { return size_; }

  private:
    void writeList() const;

    QString organisation_;
    QString application_;
    int size_;
    QStringList files_;
};

}  // namespace qx::ui
