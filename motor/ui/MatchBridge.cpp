#include "motor/ui/MatchBridge.h"

#include <QMetaObject>
#include <QWidget>

#include "app/ui/GuiContext.h"
#include "motor/ui/CMagnetDirectionDlg.h"

namespace qx::ui {

namespace {
constexpr int kDialogOk = 1;
}  // namespace

MatchBridge::MatchBridge(GuiContext& context, QWidget* window, Report report, Finished finished)
    : context_(context),
      window_(window),
      report_(std::move(report)),
      finished_(std::move(finished)) {}

void MatchBridge::report(int percent, const MotorFields& fields) {
    QMetaObject::invokeMethod(
        window_, [this, percent, fields] { report_(percent, fields); }, Qt::QueuedConnection);
}

std::optional<int32_t> MatchBridge::askMagnetDirection() {
    question_.arm();
    QMetaObject::invokeMethod(
        window_,
        [this] {
            CMagnetDirectionDlg dialog(context_, window_);
            if (context_.runModal(dialog) == kDialogOk) {
                question_.answer(context_.state().magnetDirectionAnswer);
            } else {
                question_.answer(std::nullopt);
            }
        },
        Qt::QueuedConnection);
    return question_.wait();
}

void MatchBridge::show(const std::string& text, const std::string& title) {
    box_.arm();
    QMetaObject::invokeMethod(
        window_,
        [this, text, title] {
            context_.messagesFor(window_)->show(text, title);
            box_.answer(0);
        },
        Qt::QueuedConnection);
    box_.wait();
}

void MatchBridge::finished(const AutoMatchResult& result) {
    QMetaObject::invokeMethod(
        window_, [this, result] { finished_(result); }, Qt::QueuedConnection);
}

void MatchBridge::cancel() {
    question_.cancel();
    box_.cancel();
}

}  // namespace qx::ui
