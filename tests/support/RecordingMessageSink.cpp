#include "tests/support/RecordingMessageSink.h"

namespace qx::test {

void RecordingMessageSink::show(const std::string& text, const std::string& title) {
    messages_.push_back({text, title});
    if (hook_) {
        hook_(messages_.back());
    }
}

std::vector<std::string> RecordingMessageSink::texts() const {
    std::vector<std::string> out;
    out.reserve(messages_.size());
    for (const Message& m : messages_) {
        out.push_back(m.text);
    }
    return out;
}

}  // namespace qx::test
