#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "link/MessageSink.h"

class QMessageBox;

namespace qx::ui {

// The core's message boxes as Qt message boxes: exclamation (warning) icon, one OK
// button, the given title, owned by the window or dialog that raised them.
class MessageBoxSink final : public MessageSink {
  public:
    explicit MessageBoxSink(QWidget* owner);

    void show(const std::string& text, const std::string& title) override;
    // The detail goes under the message, in the box's smaller informative text.
    void showDetailed(const std::string& text, const std::string& title,
                      const std::string& detail) override;

    // The box `show` runs, not yet shown (the pictures program renders it).
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* owner, const QString& text,
                                                const QString& title, const QString& detail = {});

  private:
    QPointer<QWidget> owner_;
};

}  // namespace qx::ui
