#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/SharedState.h"
#include "link/Clock.h"
#include "link/MessageSink.h"
#include "link/SerialPort.h"

namespace qx {

// Status codes of an exchange. 1 to 9 are exclusive receive codes; a short write adds
// kStatusShortWrite to the receive status of the same attempt.
enum : uint32_t {
    kStatusOk = 0,
    kStatusNoReply = 1,
    kStatusBadStart = 2,
    kStatusBadCommand = 3,
    kStatusBadSelector = 4,
    kStatusBadLength = 5,
    kStatusIncomplete = 6,
    kStatusBadChecksum = 7,
    kStatusTrailingBytes = 8,
    kStatusNoAck = 9,
    // A read whose reply frame holds other than the words asked for.
    kStatusWrongDataLength = 10,
    kStatusShortWrite = 16,
    // A request builder refused what one frame cannot carry; nothing was sent.
    kStatusRequestRefused = 32,
};

inline constexpr uint8_t kFrameStart = 0xAA;
inline constexpr uint8_t kAckHigh = 0xAA;
inline constexpr uint8_t kAckLow = 0x55;
inline constexpr std::size_t kReplyDataOffset = 6;
inline constexpr std::size_t kCommandPayloadBytes = 512;
inline constexpr std::size_t kTxFrameBytes = 1024;
inline constexpr std::size_t kRxFrameBytes = 1024;
inline constexpr std::size_t kReadChunkBytes = 128;
inline constexpr std::size_t kHeaderBytes = 4;
inline constexpr std::size_t kSyncBurstBytes = 255;
inline constexpr uint8_t kSyncByte = 0x01;
inline constexpr uint32_t kSyncQuietMs = 30;
inline constexpr uint32_t kReceiveBudgetMs = 500;
inline constexpr uint32_t kProbeBudgetMs = 1000;
inline constexpr std::size_t kPortQueueBytes = 1024;

// Reply word count x 2 must lie in this range.
inline constexpr uint32_t kMinFrameBytes = 6;
inline constexpr uint32_t kMaxFrameBytes = 256;

// Sum of the bytes modulo 65536: the checksum of a frame's header and payload.
uint16_t FrameChecksum(std::span<const uint8_t> bytes);

// Builds a complete frame (header, payload, checksum) into `out`; returns its length.
std::size_t BuildFrame(uint8_t command, uint8_t selector, std::span<const uint8_t> payload,
                       std::span<uint8_t> out);

// The one channel to the drive: a serial port, the frame format, send-and-await with
// retries. One thread at a time may be inside it.
class DriveLink {
  public:
    DriveLink(LinkState& state, Clock& clock, PortFactory factory);
    ~DriveLink();
    DriveLink(const DriveLink&) = delete;
    DriveLink& operator=(const DriveLink&) = delete;

    // Opens COM1 to COM4 (any number other than 2 to 4 is COM1), sets the line up and
    // probes for a drive. Returns 1 when a drive answered; the user was told either way.
    int OpenDrivePort(MessageSink& owner, int portNumber);

    // A burst of 255 bytes of 0x01, then 30 ms of quiet after its last byte has left.
    void SyncLine();

    // Frames the request, writes it and awaits the matching reply, retrying until the
    // reply is valid or `timeoutMs` is spent. On 0 the reply is in rxFrame(). When the
    // device has gone meanwhile (the port closed itself), `portOpen` is cleared.
    uint32_t SendCommand(uint8_t command, uint8_t selector, std::span<const uint8_t> payload,
                         uint32_t timeoutMs);
    // Same, with the first `length` bytes of commandPayload().
    uint32_t SendCommand(uint8_t command, uint8_t selector, uint32_t length, uint32_t timeoutMs);

    // Collects and validates one reply. Only SendCommand calls it in normal use.
    uint32_t ReceiveReply(uint8_t command, uint8_t selector, uint32_t timeoutMs);

    std::array<uint8_t, kCommandPayloadBytes>& commandPayload() { return commandPayload_; }
    const std::array<uint8_t, kRxFrameBytes>& rxFrame() const { return rxFrame_; }
    uint32_t rxCount() const { return rxCount_; }
    // Reply data word k (big-endian, from reply byte 6 on).
    uint16_t replyWord(std::size_t k) const;

    Clock& clock() { return clock_; }
    LinkState& state() { return state_; }
    // The operating system's reason for the last failed OpenDrivePort, or for the loss
    // of the device since, if it gave one.
    const std::string& portError() const { return portError_; }
    // The name of the port chosen last ("COM1" to "COM4").
    const std::string& portName() const { return portName_; }

  private:
    void closePort();
    void purgePort();
    void append(const uint8_t* bytes, std::size_t n);

    LinkState& state_;
    Clock& clock_;
    PortFactory factory_;
    std::unique_ptr<SerialPort> port_;
    std::string portName_;
    std::string portError_;
    uint32_t rxCount_ = 0;
    std::array<uint8_t, kCommandPayloadBytes> commandPayload_{};
    std::array<uint8_t, kTxFrameBytes> txFrame_{};
    std::array<uint8_t, kRxFrameBytes> rxFrame_{};
};

}  // namespace qx
