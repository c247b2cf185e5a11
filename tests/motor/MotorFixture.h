#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "motor/AutoMatchObserver.h"
#include "sim/SimMotor.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

using Bytes = std::vector<uint8_t>;

// A link to a simulated drive with a motor, connected, in virtual time. Bytes are paced
// at the wire's speed, so every exchange takes the couple of milliseconds it takes on a
// real line and the rotor moves between two reads as it would.
struct MotorLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive = std::make_shared<sim::SimDrive>();
    std::shared_ptr<sim::SimMotor> motor;
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<sim::SimPort>(drive, clock, true);
                   }};

    explicit MotorLink(const sim::SimMotorSpec& spec = {}) {
        ApplyStartupValues(state);
        motor = sim::InstallMotorFeatures(*drive, spec);
        link.OpenDrivePort(messages, 1);
        drive->clearRequestLog();
    }
};

inline Bytes PayloadOf(const Bytes& frame) {
    return Bytes(frame.begin() + 4, frame.end() - 2);
}

// The payloads of the 0xC1 requests in a log, in order.
inline std::vector<Bytes> SubCommandPayloads(const std::vector<Bytes>& log) {
    std::vector<Bytes> out;
    for (const Bytes& f : log) {
        if (f[1] == 0xC1) {
            out.push_back(PayloadOf(f));
        }
    }
    return out;
}

inline bool StartsWith(const Bytes& payload, std::initializer_list<uint8_t> prefix) {
    return payload.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), payload.begin());
}

// Records the reports and answers the direction question as told.
class ScriptedObserver final : public AutoMatchObserver {
  public:
    struct Report {
        int percent;
        std::string text;
        MotorFields fields;
    };
    std::optional<int32_t> direction;
    std::vector<Report> reports;
    int questions = 0;
    std::function<void()> onQuestion;

    void report(int percent, const MotorFields& fields) override {
        reports.push_back({percent, fields.message, fields});
    }
    std::optional<int32_t> askMagnetDirection() override {
        ++questions;
        if (onQuestion) {
            onQuestion();
        }
        return direction;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const Report& r : reports) {
            t.push_back(r.text);
        }
        return t;
    }
};

}  // namespace qx::test
