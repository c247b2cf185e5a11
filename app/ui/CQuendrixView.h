#pragma once

#include <QWidget>

namespace qx::ui {

class CQuendrixDoc;

// The client area of the main window: it shows its document, which is nothing, so it
// stays blank.
class CQuendrixView : public QWidget {
    Q_OBJECT

  public:
    explicit CQuendrixView(CQuendrixDoc* document, QWidget* parent = nullptr);

    CQuendrixDoc* document() const { return document_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CQuendrixDoc* document_;
};

}  // namespace qx::ui
