#include "cli/SignalStop.h"

#include <signal.h>
#include <string.h>

#include <array>
#include <iostream>

namespace qx::cli {

namespace {

constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

// Written by the handler: lock-free atomics are safe there.
std::atomic<bool> gStop{false};
std::atomic<int> gSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, kStopSignals.size()> gPrevious{};

void OnStopSignal(int signal) {
    gSignal.store(signal);
    gStop.store(true);
}

}  // namespace

SignalStop::SignalStop() {
    gStop = false;
    gSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a read waiting for the terminal returns
    for (std::size_t k = 0; k < kStopSignals.size(); ++k) {
        sigaction(kStopSignals[k], &action, &gPrevious[k]);
    }
}

SignalStop::~SignalStop() {
    for (std::size_t k = 0; k < kStopSignals.size(); ++k) {
        sigaction(kStopSignals[k], &gPrevious[k], nullptr);
    }
}

const std::atomic<bool>& SignalStop::flag() const {
    return gStop;
}

void SignalStop::endIfRaised() const {
    const int signal = gSignal.load();
    if (signal == 0) {
        return;
    }
    std::cerr << "quendrix-cli: stopped by " << ::strsignal(signal) << std::endl;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace qx::cli
