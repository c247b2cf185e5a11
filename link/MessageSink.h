#pragma once

#include <string>

namespace qx {

// Where the core's message boxes go: the window (or dialog) that owns the box in the
// GUI, stderr in the command-line tool, a recorder in tests. Every box carries the
// exclamation icon and an OK button; `show` returns when the user has acknowledged it.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void show(const std::string& text, const std::string& title) = 0;
    // The same box with detail text below the message (the device tried, the system's
    // reason, a remedy). A sink that has no place for it shows the message alone.
    virtual void showDetailed(const std::string& text, const std::string& title,
                              const std::string& detail) {
        (void)detail;
        show(text, title);
    }
};

inline constexpr const char* kTitleWarning = "Warning";

}  // namespace qx
