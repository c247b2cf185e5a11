#pragma once

#include <functional>
#include <string>

#include "link/MessageSink.h"
#include "motor/AnswerSlot.h"
#include "motor/AutoMatch.h"
#include "motor/AutoMatchObserver.h"

class QWidget;

namespace qx::ui {

class GuiContext;

// Carries a match's reports, its question and its message boxes from the worker to the
// window on the user-interface thread. Reports are queued; the question and the boxes
// are queued too, and the worker waits until the user has answered them.
class MatchBridge final : public AutoMatchObserver, public MessageSink {
  public:
    using Report = std::function<void(int percent, const MotorFields& fields)>;
    using Finished = std::function<void(const AutoMatchResult& result)>;

    MatchBridge(GuiContext& context, QWidget* window, Report report, Finished finished);

    void report(int percent, const MotorFields& fields) override;
    std::optional<int32_t> askMagnetDirection() override;
    void show(const std::string& text, const std::string& title) override;
    // Posts the outcome to the window; the worker calls it last.
    void finished(const AutoMatchResult& result);

    // Stops every wait for the user, now and later: the window is going away.
    void cancel();

  private:
    GuiContext& context_;
    QWidget* window_;
    Report report_;
    Finished finished_;
    AnswerSlot question_;
    AnswerSlot box_;
};

}  // namespace qx::ui
