#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/MessageSink.h"

namespace qx::test {

// Keeps every message box as (text, title), in order, and acknowledges it at once.
class RecordingMessageSink : public MessageSink {
  public:
    struct Message {
        std::string text;
        std::string title;
        bool operator==(const Message&) const = default;
    };

    void show(const std::string& text, const std::string& title) override;

    const std::vector<Message>& messages() const { return messages_; }
    // Texts only, for short assertions.
    std::vector<std::string> texts() const;
    void clear() { messages_.clear(); }
    // Runs while a box is "up", before show() returns (to look at the state then).
    void onShow(std::function<void(const Message&)> hook) { hook_ = std::move(hook); }

  private:
    std::vector<Message> messages_;
    std::function<void(const Message&)> hook_;
};

}  // namespace qx::test
