#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "motor/AutoMatchObserver.h"
#include "sim/SimMotor.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

using Bytes = std::vector<uint8_t>;

// A link to a simulated drive with a motor (given in the --sim-motor syntax), connected,
// in virtual time. Bytes are paced at the wire's speed, so every exchange takes the
// couple of milliseconds it takes on a real line and the rotor moves between two reads.
struct MotorLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive = std::make_shared<sim::SimDrive>();
    std::shared_ptr<sim::SimMotor> motor = sim::InstallMotorFeatures(*drive);
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<sim::SimPort>(drive, clock, true);
                   }};

    explicit MotorLink(const std::string& spec = "") {
        ApplyStartupValues(state);
        sim::SimMotorSpec s;
        EXPECT_EQ(sim::ParseMotorSpec(spec, s), std::nullopt) << spec;
        motor->setSpec(s);
        link.OpenDrivePort(messages, 1);
        drive->clearRequestLog();
    }
};

// Records the reports (with their virtual time) and answers the direction question.
class ScriptedObserver final : public AutoMatchObserver {
  public:
    explicit ScriptedObserver(Clock& clock, std::optional<int32_t> answer = 0)
        : clock_(clock), direction(answer) {}
    void report(int percent, const MotorFields&) override {
        reports.push_back({percent, clock_.nowUs()});
    }
    std::optional<int32_t> askMagnetDirection() override {
        ++questions;
        if (onQuestion) {
            onQuestion();
        }
        return direction;
    }

    struct Report {
        int percent;
        uint64_t us;
    };
    Clock& clock_;
    std::optional<int32_t> direction;
    std::vector<Report> reports;
    int questions = 0;
    std::function<void()> onQuestion;
};

}  // namespace qx::test
