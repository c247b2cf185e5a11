#pragma once

#include <QLineEdit>

namespace qx::ui {

// An edit whose value takes effect when it loses the focus, also when its window loses
// the activation (a message box opening over it). Its own context menu does not count.
class CommitLineEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CommitLineEdit(QWidget* parent = nullptr);

  signals:
    // The edit lost the focus: the dialog reads it now.
    void committed();

  protected:
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace qx::ui
