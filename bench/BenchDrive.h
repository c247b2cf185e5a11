#pragma once

// The tool's side of a benchmark: quendrix-drive-sim in its own process on a
// pseudo-terminal, reached through the real termios port, with every byte that crosses
// the port counted so a benchmark can set its measured time against the wire's limit.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "bench/SimProcess.h"
#include "link/DriveLink.h"
#include "link/ForwardingPort.h"
#include "link/PosixSerialPort.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::bench {

// What has crossed the port so far, both ways.
struct WireCount {
    std::atomic<uint64_t> written{0};
    std::atomic<uint64_t> read{0};
    std::atomic<uint64_t> syncBursts{0};

    struct Snapshot {
        uint64_t bytes = 0;
        uint64_t syncBursts = 0;
    };
    Snapshot snapshot() const { return {written.load() + read.load(), syncBursts.load()}; }
};

// A serial port that counts what passes through the one it wraps.
class CountingPort final : public ForwardingPort {
  public:
    CountingPort(std::unique_ptr<SerialPort> port, WireCount& count)
        : ForwardingPort(std::move(port)), count_(count) {}

    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override {
        const std::size_t n = ForwardingPort::read(buffer, maxBytes);
        count_.read += n;
        return n;
    }
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override {
        const std::size_t n = ForwardingPort::readAvailable(buffer, maxBytes);
        count_.read += n;
        return n;
    }
    std::size_t write(const uint8_t* data, std::size_t bytes) override {
        const std::size_t n = ForwardingPort::write(data, bytes);
        count_.written += n;
        if (bytes == kSyncBurstBytes && data[0] == kSyncByte) {
            ++count_.syncBursts;
        }
        return n;
    }

  private:
    WireCount& count_;
};

// A simulated drive with the tool's link to it: shared records, the counting port
// behind COM1 and a recorder for the messages.
struct BenchDrive {
    BenchDrive(int argc, char** argv, std::vector<std::string> simArgs = {"--pace"})
        : sim(argc > 1 ? argv[1] : DriveSimPath(argv[0]), std::move(simArgs)),
          device(sim.device()),
          link(state.link, steadyClock(), [this](const std::string&) {
              return std::make_unique<CountingPort>(std::make_unique<PosixSerialPort>(device),
                                                    wire);
          }) {
        ApplyStartupValues(state);
    }

    // Opens COM1; prints why not and returns false on failure.
    bool openPort();

    SimProcess sim;
    std::string device;
    SharedState state;
    WireCount wire;
    DriveLink link;
    test::RecordingMessageSink messages;
};

inline bool BenchDrive::openPort() {
    if (link.OpenDrivePort(messages, 1) == 1) {
        return true;
    }
    std::fprintf(stderr, "cannot open the simulated drive on %s\n", device.c_str());
    return false;
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace qx::bench
