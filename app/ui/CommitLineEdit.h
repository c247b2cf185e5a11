#pragma once

#include <QLineEdit>

namespace qx::ui {

// An edit whose value takes effect when it loses the focus, also when its window loses
// the activation. Its own context menu does not count, and no edit commits while a
// refused value's prompt is up or the focus is being put back on the refused field: the
// box or the focus moving away from another edit is no new entry to check.
class CommitLineEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CommitLineEdit(QWidget* parent = nullptr);

    // While one lives, no edit commits.
    class Hold {
      public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
    };
    // Whether an edit is committing because the focus is leaving it, in the middle of
    // the key press or the click that moves the focus.
    static bool Leaving();

  signals:
    // The edit lost the focus: the dialog reads it now.
    void committed();

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // User-interface thread only.
    static int holds_;
    static int leaving_;
};

}  // namespace qx::ui
