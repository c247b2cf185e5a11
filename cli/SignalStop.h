#pragma once

#include <atomic>

namespace qx::cli {

// While a command may have set the motor going (a match, a held rotor, a step test),
// SIGINT, SIGTERM and SIGHUP do not end the tool at once: they raise a stop flag that
// the command watches, so it can stop the motor and switch the servo off while the port
// still works. Then the command calls endIfRaised(), and the tool ends as the signal
// would have ended it. A blocked read (the direction question) returns at the signal.
class SignalStop {
  public:
    SignalStop();
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    const std::atomic<bool>& flag() const;
    bool raised() const { return flag().load(); }
    // If a signal came: says so on stderr, puts its default action back and raises it
    // again, so the tool ends with that signal. Otherwise returns.
    void endIfRaised() const;
};

}  // namespace qx::cli
