#pragma once

#include <QObject>
#include <QString>

namespace qx::ui {

// The main window's document. It holds nothing: a new document is empty, opening a file
// reads nothing from it and saving writes nothing, so a file saved over keeps what it
// holds. It only carries a path and the title the main window shows.
class CQuendrixDoc : public QObject {
    Q_OBJECT

  public:
    explicit CQuendrixDoc(QObject* parent = nullptr);

    bool onNewDocument();
    // Opens the file for reading and reads nothing; false when it cannot be opened.
    bool onOpenDocument(const QString& path);
    // Writes nothing: an existing file is left as it is (false when it may not be
    // written), a new name becomes an empty file (false when it cannot be created).
    bool onSaveDocument(const QString& path);

    const QString& pathName() const { return pathName_; }
    void setPathName(const QString& path);
    // "Untitled" for a new document, the file name otherwise.
    const QString& title() const { return title_; }

  signals:
    void titleChanged(const QString& title);

  private:
    void setTitle(const QString& title);

    QString pathName_;
    QString title_;
};

}  // namespace qx::ui
