#include "sim/PtyDriveServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "link/Clock.h"
#include "sim/WireTiming.h"

namespace qx::sim {

namespace {

// Bytes written to the pseudo-terminal in one go while pacing: small enough that the
// gaps stay far below the tool's 1 ms end-of-reply silence.
constexpr std::size_t kPacedBatchBytes = 4;
constexpr uint64_t kIdleWakeUs = 100'000;

void MakeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
}

std::optional<uint64_t> ParseCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 15) {
        return std::nullopt;
    }
    return std::stoull(text);
}

}  // namespace

std::optional<std::string> ParseUnplugSpec(const std::string& text, UnplugPlan& plan) {
    const auto colon = text.find(':');
    const auto after =
        colon == std::string::npos ? std::nullopt : ParseCount(text.substr(0, colon));
    const auto duration =
        colon == std::string::npos ? std::nullopt : ParseCount(text.substr(colon + 1));
    if (!after || !duration) {
        return "expected AFTER:FOR_MS, two whole numbers (requests served, milliseconds away)";
    }
    plan.afterRequests = *after;
    plan.forMs = *duration;
    return std::nullopt;
}

PtyDriveServer::PtyDriveServer(std::shared_ptr<SimDrive> drive, bool pace)
    : drive_(std::move(drive)), pace_(pace) {}

PtyDriveServer::~PtyDriveServer() {
    closeDevice();
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
    }
}

bool PtyDriveServer::start() {
    return openPseudoTerminal() && pointLink();
}

bool PtyDriveServer::openPseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        closeDevice();
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        error_ = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        closeDevice();
        return false;
    }
    slavePath_ = name;
    // Holding the slave open ourselves keeps the master from reporting hang-ups between
    // the tool's sessions, and lets us set raw mode before anybody else opens it.
    slaveKeepAlive_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeepAlive_ < 0) {
        error_ = std::string("cannot open ") + name + ": " + std::strerror(errno);
        closeDevice();
        return false;
    }
    MakeRaw(slaveKeepAlive_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool PtyDriveServer::pointLink() {
    if (linkPath_.empty()) {
        return true;
    }
    // A new link renamed over the old one: whoever opens the path meanwhile finds either
    // the old device or the new one, never nothing.
    const std::string fresh = linkPath_ + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(slavePath_.c_str(), fresh.c_str()) != 0 ||
        ::rename(fresh.c_str(), linkPath_.c_str()) != 0) {
        error_ = linkPath_ + ": " + std::strerror(errno);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

void PtyDriveServer::closeDevice() {
    // The master last: its closing hangs up the tool's side of the line.
    if (slaveKeepAlive_ >= 0) {
        ::close(slaveKeepAlive_);
        slaveKeepAlive_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    slavePath_.clear();
}

void PtyDriveServer::unplug(std::optional<uint64_t> backAtUs) {
    // Gone before the device: a stale link could name somebody else's new device once
    // the number is free again.
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
    }
    closeDevice();
    // Whatever was on the wire is lost with it; the drive itself keeps its state, as
    // the adapter sits in the cable.
    assembler_.reset();
    outgoing_.clear();
    txFreeUs_ = 0;
    rxFreeUs_ = 0;
    backAtUs_ = backAtUs;
}

bool PtyDriveServer::replug() {
    backAtUs_.reset();
    if (!openPseudoTerminal() || !pointLink()) {
        return false;
    }
    if (replugListener_) {
        replugListener_(slavePath_);
    }
    return true;
}

void PtyDriveServer::receive(uint64_t nowUs) {
    std::array<uint8_t, 512> buf{};
    for (;;) {
        const ssize_t n = ::read(master_, buf.data(), buf.size());
        if (n <= 0) {
            return;
        }
        for (ssize_t k = 0; k < n; ++k) {
            // Each byte reaches the drive one byte time after the one before it.
            uint64_t arrived = nowUs;
            if (pace_) {
                arrived = std::max(nowUs, txFreeUs_) + WireTimeUs(1);
                txFreeUs_ = arrived;
            }
            if (!assembler_.feed(buf[static_cast<std::size_t>(k)])) {
                continue;
            }
            if (plan_ && requestsServed_ == plan_->afterRequests) {
                // The cable comes out while this request is on its way.
                const uint64_t backAt = nowUs + plan_->forMs * 1000;
                plan_.reset();
                unplug(backAt);
                return;
            }
            const Frame reply = drive_->handleRequest(assembler_.frame(), arrived);
            ++requestsServed_;
            assembler_.reset();
            const uint64_t start = pace_ ? std::max(arrived, rxFreeUs_) : arrived;
            for (std::size_t j = 0; j < reply.size(); ++j) {
                outgoing_.push_back({reply[j], pace_ ? start + WireTimeUs(j + 1) : start});
            }
            if (pace_ && !reply.empty()) {
                rxFreeUs_ = start + WireTimeUs(reply.size());
            }
        }
    }
}

void PtyDriveServer::transmit(uint64_t nowUs) {
    std::array<uint8_t, 512> buf{};
    std::size_t n = 0;
    while (n < buf.size() && n < outgoing_.size() && outgoing_[n].dueUs <= nowUs) {
        buf[n] = outgoing_[n].byte;
        ++n;
    }
    if (n == 0) {
        return;
    }
    const ssize_t w = ::write(master_, buf.data(), n);
    if (w > 0) {
        outgoing_.erase(outgoing_.begin(), outgoing_.begin() + w);
    }
}

int PtyDriveServer::waitFor(int fd, uint64_t waitUs, short& revents) {
    timespec ts{static_cast<time_t>(waitUs / 1'000'000),
                static_cast<long>((waitUs % 1'000'000) * 1000)};
    pollfd p{fd, POLLIN, 0};
    const int r =
        ::ppoll(fd >= 0 ? &p : nullptr, fd >= 0 ? 1 : 0, &ts, waitMask_ ? &*waitMask_ : nullptr);
    revents = r > 0 ? p.revents : 0;
    return r;
}

void PtyDriveServer::takePendingSignals() {
    // A wait that finds bytes ready returns without delivering a signal that came in
    // before it: a cable pulled just before a request was written must still meet
    // that request. With nothing to wait for, the kernel delivers what is pending.
    if (waitMask_) {
        const timespec now{0, 0};
        ::ppoll(nullptr, 0, &now, &*waitMask_);
    }
}

void PtyDriveServer::run() {
    // Wake up on time: pacing works in steps of a tenth of a millisecond.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    running_ = true;
    Clock& clock = steadyClock();
    while (running_) {
        uint64_t now = clock.nowUs();
        if (unplugRequested_.exchange(false) && pluggedIn()) {
            unplug(std::nullopt);
        }
        if (!pluggedIn()) {
            const bool due = backAtUs_ && now >= *backAtUs_;
            if (plugInRequested_.exchange(false) || due) {
                if (!replug()) {
                    running_ = false;
                }
                continue;
            }
            const uint64_t wakeUs =
                backAtUs_ ? std::min(*backAtUs_, now + kIdleWakeUs) : now + kIdleWakeUs;
            short revents = 0;
            waitFor(-1, wakeUs - now, revents);
            continue;
        }
        plugInRequested_ = false;
        transmit(now);
        uint64_t wakeUs = now + kIdleWakeUs;
        if (!outgoing_.empty()) {
            const std::size_t batchEnd = std::min(outgoing_.size(), kPacedBatchBytes) - 1;
            wakeUs = std::max(now, outgoing_[pace_ ? batchEnd : 0].dueUs);
        }
        short revents = 0;
        if (waitFor(master_, wakeUs - now, revents) > 0 && (revents & POLLIN)) {
            takePendingSignals();
            if (!unplugRequested_) {
                receive(clock.nowUs());
            }
        }
    }
}

}  // namespace qx::sim
