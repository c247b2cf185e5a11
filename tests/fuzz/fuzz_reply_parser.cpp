// Arbitrary byte streams in arbitrary read chunks against the reply parser, over the
// probe and then up to four requests in a row: plain commands and word reads of any
// count. Whatever arrives, the receive buffer is never overrun, the status is one of the
// defined codes, and success means a complete, checksum-correct, acknowledged frame of
// the command and selector asked for; a successful read carries exactly the words asked
// for, and replyWord() gives them as they stand in the frame.
//
// Input: byte 0 holds the number of cut sizes (low four bits) and of requests less one
// (the next two bits); then two bytes per request (a word count up to 120 for a read,
// any higher value is the command byte of a plain request; the selector), the cut
// sizes, and the stream.

#include <memory>

#include "link/DriveCommands.h"
#include "link/DriveLink.h"
#include "tests/fuzz/FuzzPort.h"
#include "tests/support/RecordingMessageSink.h"

namespace {

using qx::fuzz::Check;

struct Request {
    uint8_t kind = 0;
    uint8_t selector = 0;
    bool isRead() const { return kind <= qx::kMaxReadWords; }
    uint8_t command() const { return isRead() ? qx::kCmdSubCommand : kind; }
};

void CheckReply(const qx::DriveLink& link, const Request& request, uint32_t status) {
    using namespace qx;
    Check(link.rxCount() <= kRxFrameBytes);
    const bool receiveCode = status <= kStatusNoAck || (status >= kStatusShortWrite &&
                                                        status <= kStatusShortWrite + kStatusNoAck);
    Check(receiveCode || (request.isRead() && status == kStatusWrongDataLength));
    if (status != kStatusOk) {
        return;
    }
    const auto& f = link.rxFrame();
    const uint32_t length = 2u * f[3];
    Check(length == link.rxCount() && length >= kMinFrameBytes && length <= kMaxFrameBytes);
    Check(f[0] == kFrameStart && f[1] == request.command() && f[2] == request.selector);
    Check(f[4] == kAckHigh && f[5] == kAckLow);
    Check(FrameChecksum(std::span<const uint8_t>(f.data(), length - 2)) ==
          (uint32_t{f[length - 2]} << 8 | f[length - 1]));
    if (request.isRead()) {
        Check(length == kReplyDataOffset + 2u * request.kind + 2u);
        for (std::size_t k = 0; k < request.kind; ++k) {
            const std::size_t at = kReplyDataOffset + 2 * k;
            Check(link.replyWord(k) == (uint32_t{f[at]} << 8 | f[at + 1]));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace qx;
    if (size < 3) {
        return 0;
    }
    std::size_t at = 1;
    const std::size_t requestCount = std::min<std::size_t>(1 + (data[0] >> 4) % 4, (size - at) / 2);
    std::vector<Request> requests;
    for (std::size_t k = 0; k < requestCount; ++k, at += 2) {
        requests.push_back({data[at], data[at + 1]});
    }
    const std::size_t cutCount = std::min<std::size_t>(data[0] % 16, size - at);
    std::vector<uint8_t> cuts(data + at, data + at + cutCount);
    std::vector<uint8_t> stream(data + at + cutCount, data + size);

    VirtualClock clock;
    SharedState state;
    DriveLink link(state.link, clock, [&](const std::string&) {
        return std::make_unique<fuzz::FuzzPort>(clock, stream, cuts);
    });
    // The probe consumes the stream first; then the requests, one after another, each
    // made once and once more (a budget of 0 allows one retry).
    test::RecordingMessageSink messages;
    CheckReply(link, {kCmdReset, 0},
               link.OpenDrivePort(messages, 1) == 1 ? kStatusOk : kStatusNoReply);
    for (const Request& r : requests) {
        const uint32_t status = r.isRead() ? ReadWords(link, r.selector, 0x0200, r.kind, 0)
                                           : link.SendCommand(r.kind, r.selector, 0, 0);
        CheckReply(link, r, status);
    }
    return 0;
}
