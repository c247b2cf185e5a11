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

}  // namespace

PtyDriveServer::PtyDriveServer(std::shared_ptr<SimDrive> drive, bool pace)
    : drive_(std::move(drive)), pace_(pace) {}

PtyDriveServer::~PtyDriveServer() {
    if (slaveKeepAlive_ >= 0) {
        ::close(slaveKeepAlive_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PtyDriveServer::start() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        error_ = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    // Holding the slave open ourselves keeps the master from reporting hang-ups between
    // the tool's sessions, and lets us set raw mode before anybody else opens it.
    slaveKeepAlive_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeepAlive_ < 0) {
        error_ = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    MakeRaw(slaveKeepAlive_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
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
            const Frame reply = drive_->handleRequest(assembler_.frame(), arrived);
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

void PtyDriveServer::run() {
    // Wake up on time: pacing works in steps of a tenth of a millisecond.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    running_ = true;
    Clock& clock = steadyClock();
    while (running_) {
        const uint64_t now = clock.nowUs();
        transmit(now);
        uint64_t wakeUs = now + kIdleWakeUs;
        if (!outgoing_.empty()) {
            const std::size_t batchEnd = std::min(outgoing_.size(), kPacedBatchBytes) - 1;
            wakeUs = std::max(now, outgoing_[pace_ ? batchEnd : 0].dueUs);
        }
        const uint64_t waitUs = wakeUs - now;
        timespec ts{static_cast<time_t>(waitUs / 1'000'000),
                    static_cast<long>((waitUs % 1'000'000) * 1000)};
        pollfd p{master_, POLLIN, 0};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0 && (p.revents & POLLIN)) {
            receive(clock.nowUs());
        }
    }
}

}  // namespace qx::sim
