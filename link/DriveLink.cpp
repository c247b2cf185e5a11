#include "link/DriveLink.h"

#include <algorithm>

#include "link/PortFailure.h"

namespace qx {

namespace {

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 4;
// Reply byte index that no parse reaches before byte 3 announces the real length.
constexpr uint32_t kLengthPlaceholder = 800;

int NormalisePortNumber(int portNumber) {
    return (portNumber >= kFirstComPort + 1 && portNumber <= kLastComPort) ? portNumber
                                                                           : kFirstComPort;
}

}  // namespace

uint16_t FrameChecksum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    for (uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<uint16_t>(sum & 0xFFFF);
}

std::size_t BuildFrame(uint8_t command, uint8_t selector, std::span<const uint8_t> payload,
                       std::span<uint8_t> out) {
    const std::size_t length = payload.size() + 6;
    out[0] = kFrameStart;
    out[1] = command;
    out[2] = selector;
    out[3] = static_cast<uint8_t>(length / 2);
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    const uint16_t sum = FrameChecksum(out.first(payload.size() + 4));
    out[payload.size() + 4] = static_cast<uint8_t>(sum >> 8);
    out[payload.size() + 5] = static_cast<uint8_t>(sum & 0xFF);
    return length;
}

DriveLink::DriveLink(LinkState& state, Clock& clock, PortFactory factory)
    : state_(state), clock_(clock), factory_(std::move(factory)) {}

DriveLink::~DriveLink() = default;

void DriveLink::closePort() {
    if (port_) {
        port_->close();
        port_.reset();
    }
}

void DriveLink::purgePort() {
    if (port_ && port_->isOpen()) {
        port_->purge();
    }
}

int DriveLink::OpenDrivePort(MessageSink& owner, int portNumber) {
    // Whatever the previous port was, this command replaces it. A port whose set-up or
    // probe failed was already closed below, so only a working one can be open here.
    closePort();

    const int n = NormalisePortNumber(portNumber);
    portName_ = "COM" + std::to_string(n);

    // Until this succeeds there is no working port: a failed switch must not leave the
    // flags claiming the old one.
    portError_.clear();
    auto fail = [&](PortStage stage, const std::string& message) {
        portError_ = port_ ? port_->lastError() : std::string();
        const PortFailure failure{stage, portName_, port_ ? port_->deviceName() : std::string(),
                                  port_ ? port_->lastErrorNumber() : 0, portError_};
        closePort();
        state_.portOpen = 0;
        state_.driveConnected = 0;
        owner.showDetailed(message, kTitleWarning, PortFailureDetail(failure));
        return 0;
    };

    port_ = factory_ ? factory_(portName_) : nullptr;
    if (!port_ || port_->open() != OpenResult::Ok) {
        return fail(PortStage::Create, "Create " + portName_ + " Fails!");
    }
    if (!port_->configure(LineSettings{})) {
        return fail(PortStage::Setup, "Setup " + portName_ + " Fails!");
    }
    port_->setQueueSizes(kPortQueueBytes, kPortQueueBytes);
    port_->purge();
    port_->setTimeouts(PortTimeouts{});

    SyncLine();
    if (SendCommand(0xCF, 0, 0, kProbeBudgetMs) != kStatusOk) {
        return fail(PortStage::Probe, "No Servo connected with " + portName_ + "!");
    }
    state_.driveConnected = 1;
    state_.portOpen = 1;
    return 1;
}

void DriveLink::SyncLine() {
    purgePort();
    std::fill_n(txFrame_.begin(), kSyncBurstBytes, kSyncByte);
    if (port_ && port_->isOpen()) {
        port_->write(txFrame_.data(), kSyncBurstBytes);
        // The write may return with the burst still queued; the drive needs the quiet
        // after its last byte, so the quiet starts when the burst has left.
        port_->drain();
    }
    const uint32_t start = clock_.tickMs();
    clock_.sleepMs(kSyncQuietMs);
    while (clock_.elapsedMs(start) < kSyncQuietMs) {
        clock_.sleepMs(1);
    }
}

uint32_t DriveLink::SendCommand(uint8_t command, uint8_t selector, std::span<const uint8_t> payload,
                                uint32_t timeoutMs) {
    const uint32_t start = clock_.tickMs();
    const std::size_t length = BuildFrame(command, selector, payload, txFrame_);

    uint32_t status = 0;
    bool last = false;
    while (!last) {
        if (clock_.elapsedMs(start) > timeoutMs) {
            last = true;  // spent: this attempt is still made
        }
        status = 0;
        purgePort();
        rxCount_ = 0;
        const std::size_t written =
            (port_ && port_->isOpen()) ? port_->write(txFrame_.data(), length) : 0;
        if (written < length) {
            status = kStatusShortWrite;
        }
        const uint32_t received = ReceiveReply(command, selector, kReceiveBudgetMs);
        status |= received;
        if (received == kStatusOk) {
            break;
        }
    }
    if (port_ && !port_->isOpen() && state_.portOpen.load() == 1) {
        // The port let go of a device that hung up (a pulled cable): nothing reaches the
        // drive until a port is picked again.
        portError_ = port_->lastError();
        state_.portOpen = 0;
    }
    return status;
}

uint32_t DriveLink::SendCommand(uint8_t command, uint8_t selector, uint32_t length,
                                uint32_t timeoutMs) {
    const std::size_t n = std::min<std::size_t>(length, commandPayload_.size());
    return SendCommand(command, selector, std::span<const uint8_t>(commandPayload_.data(), n),
                       timeoutMs);
}

uint32_t DriveLink::ReceiveReply(uint8_t command, uint8_t selector, uint32_t timeoutMs) {
    const uint32_t start = clock_.tickMs();
    bool lastRead = false;
    bool done = false;
    uint32_t status = 0;
    uint32_t i = 0;
    uint32_t expected = kLengthPlaceholder;
    uint32_t sum = 0;
    uint32_t received = 0;
    rxCount_ = 0;

    const PortTimeouts timeouts;
    std::array<uint8_t, kReadChunkBytes> chunk{};
    while (!lastRead && !done) {
        if (clock_.elapsedMs(start) > timeoutMs) {
            lastRead = true;
        }
        // Ask for no more than the frame still needs: the read then returns with the
        // frame's last byte instead of waiting out the silence that ends a read, which
        // would cost a millisecond an exchange. Once the frame is known to be bad, read
        // whole chunks until the time runs out.
        std::size_t want = chunk.size();
        if (status == 0) {
            if (rxCount_ < kHeaderBytes) {
                want = kHeaderBytes - rxCount_;
            } else if (expected > rxCount_) {
                want = std::min<std::size_t>(chunk.size(), expected - rxCount_);
            }
        }
        std::size_t n = 0;
        if (port_ && port_->isOpen()) {
            n = port_->read(chunk.data(), want);
        } else {
            // Nothing can arrive: wait out the read as the driver would, without spinning.
            clock_.sleepMs(timeouts.readTotalConstantMs +
                           timeouts.readTotalPerByteMs * static_cast<uint32_t>(want));
        }
        append(chunk.data(), n);

        while (i < rxCount_ && status == 0) {
            const uint8_t b = rxFrame_[i];
            if (i == expected - 2) {
                received = b;
            } else if (i == expected - 1) {
                received = received * 256 + b;
                if (received != sum) {
                    status = kStatusBadChecksum;
                } else if (expected != rxCount_) {
                    status = kStatusTrailingBytes;
                }
                if (received == sum && expected == rxCount_ && status == 0) {
                    done = true;
                }
            } else {
                switch (i) {
                    case 0:
                        if (b != kFrameStart)
                            status = kStatusBadStart;
                        break;
                    case 1:
                        if (b != command)
                            status = kStatusBadCommand;
                        break;
                    case 2:
                        if (b != selector)
                            status = kStatusBadSelector;
                        break;
                    case 3:
                        expected = 2u * b;
                        if (expected < kMinFrameBytes || expected > kMaxFrameBytes) {
                            status = kStatusBadLength;
                        }
                        break;
                    default:
                        break;
                }
                sum = (sum + b) & 0xFFFF;
            }
            ++i;
        }
        if (done && port_ && port_->isOpen()) {
            // Bytes beyond the frame that arrived with it make the frame suspect, and like
            // any corrupt reply it costs the whole time: a drive that always adds bytes
            // must not be asked again at once, over and over.
            const std::size_t extra = port_->readAvailable(chunk.data(), chunk.size());
            if (extra > 0) {
                append(chunk.data(), extra);
                status = kStatusTrailingBytes;
                done = false;
            }
        }
    }

    if (rxCount_ == 0) {
        status = kStatusNoReply;
    } else if (!done && status == 0) {
        status = kStatusIncomplete;
    } else if (rxCount_ < kReplyDataOffset || rxFrame_[4] != kAckHigh || rxFrame_[5] != kAckLow) {
        // A reply too short to carry the acknowledgement has none: bytes left over from an
        // earlier reply must not count as one.
        status = kStatusNoAck;
    }
    return status;
}

void DriveLink::append(const uint8_t* bytes, std::size_t n) {
    // Bytes beyond the buffer are dropped; a frame itself is never that long.
    const std::size_t kept = std::min(n, rxFrame_.size() - rxCount_);
    std::copy_n(bytes, kept, rxFrame_.begin() + rxCount_);
    rxCount_ += static_cast<uint32_t>(kept);
}

uint16_t DriveLink::replyWord(std::size_t k) const {
    const std::size_t at = kReplyDataOffset + 2 * k;
    if (at + 1 >= rxFrame_.size()) {
        return 0;
    }
    return static_cast<uint16_t>(rxFrame_[at] << 8 | rxFrame_[at + 1]);
}

}  // namespace qx
