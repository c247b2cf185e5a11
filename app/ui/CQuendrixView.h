#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace qx::ui {

class CQuendrixDoc;

// The client area of the main window. Its document holds nothing; the view shows, in
// plain text, how the tool is connected (the application keeps the text current).
class CQuendrixView : public QWidget {
    Q_OBJECT

  public:
    explicit CQuendrixView(CQuendrixDoc* document, QWidget* parent = nullptr);

    CQuendrixDoc* document() const { return document_; }

    void setSummary(const QString& text);
    QString summary() const;

  private:
    CQuendrixDoc* document_;
    QLabel* summary_;
};

}  // namespace qx::ui
