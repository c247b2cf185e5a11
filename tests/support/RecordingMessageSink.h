#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/MessageSink.h"

namespace qx::test {

// Keeps every message box instead of showing it.
struct RecordingMessageSink final : MessageSink {
    struct Box {
        std::string text;
        std::string title;
        bool operator==(const Box&) const = default;
    };

    void show(const std::string& text, const std::string& title) override {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, title});
    }
    void showDetailed(const std::string& text, const std::string& title,
                      const std::string& detail) override {
        show(text, title);
        std::lock_guard<std::mutex> lock(mutex_);
        details_.push_back(detail);
    }
    // The detail of each box that carried one, in order.
    std::vector<std::string> details() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return details_;
    }
    std::vector<Box> boxes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const Box& b : boxes()) {
            t.push_back(b.text);
        }
        return t;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.clear();
        details_.clear();
    }
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::vector<std::string> details_;
};

}  // namespace qx::test
