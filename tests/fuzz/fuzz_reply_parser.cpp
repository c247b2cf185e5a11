// Arbitrary byte streams in arbitrary read chunks against the reply parser. Whatever
// arrives, the receive buffer is never overrun, the status is one of the defined codes,
// and success means a complete, checksum-correct, acknowledged frame of the command and
// selector asked for.

#include <cstdlib>
#include <memory>

#include "link/DriveLink.h"
#include "tests/fuzz/FuzzPort.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

class NoMessages final : public qx::MessageSink {
  public:
    void show(const std::string&, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace qx;
    if (size < 3) {
        return 0;
    }
    // Byte 0: how many cut sizes follow; byte 1: the selector asked for.
    const std::size_t cutCount = std::min<std::size_t>(data[0] % 16, size - 2);
    const uint8_t selector = data[1];
    std::vector<uint8_t> cuts(data + 2, data + 2 + cutCount);
    std::vector<uint8_t> stream(data + 2 + cutCount, data + size);

    VirtualClock clock;
    SharedState state;
    DriveLink link(state.link, clock, [&](const std::string&) {
        return std::make_unique<fuzz::FuzzPort>(clock, stream, cuts);
    });
    // The probe consumes the stream first; both it and a second request are checked.
    NoMessages messages;
    link.OpenDrivePort(messages, 1);
    const uint32_t status = link.SendCommand(0xC1, selector, 0, 0);
    Check(link.rxCount() <= kRxFrameBytes);
    Check(status <= kStatusNoAck ||
          (status >= kStatusShortWrite && status <= kStatusShortWrite + kStatusNoAck));
    if (status == kStatusOk) {
        const auto& f = link.rxFrame();
        const uint32_t length = 2u * f[3];
        Check(length == link.rxCount() && length >= 6 && length <= 256);
        Check(f[0] == 0xAA && f[1] == 0xC1 && f[2] == selector);
        Check(f[4] == 0xAA && f[5] == 0x55);
        uint32_t sum = 0;
        for (uint32_t i = 0; i + 2 < length; ++i) {
            sum += f[i];
        }
        Check((sum & 0xFFFF) == (uint32_t{f[length - 2]} << 8 | f[length - 1]));
    }
    return 0;
}
