#pragma once

// A simulated servo drive: answers the requests the tool sends the way a real drive
// does, holds a word memory (FPGA words, the parameter image, the exchange area, the
// capture ring) and 32-bit memory cells, and can misbehave on purpose.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace qx::sim {

struct DriveConfig {
    uint16_t softwareVersion = 913;
    uint16_t bootRomVersion = 101;
    uint16_t fpgaVersion = 258;
};

enum class Fault {
    Silence,        // no reply at all
    BadChecksum,    // the checksum's low byte is off by one
    NoAck,          // a well-formed reply without 0xAA 0x55
    TrailingBytes,  // two bytes more after a valid reply
    WrongEcho,      // the selector is not the one asked for
    Truncate,       // the last three bytes never come
};

// Which requests a fault hits: -1 matches anything.
struct FaultRule {
    Fault fault = Fault::Silence;
    int command = -1;
    int subCommand = -1;  // for command 0xC1
    int address = -1;     // the word after the sub-command (a start address for most)
    int skip = 0;         // matching requests to let through first
    int count = 1;        // how many to hit; -1 for all that follow
};

inline constexpr std::size_t kFaultKinds = 6;
static_assert(static_cast<std::size_t>(Fault::Truncate) + 1 == kFaultKinds);

// A silent spell lasts from 1 to 2 s.
inline constexpr uint64_t kSilentSpellMinUs = 1'000'000;
inline constexpr uint64_t kSilentSpellMaxUs = 2'000'000;

// How often the drive misbehaved: injected faults by kind (indexed by Fault), silent
// spells begun, and requests that went unanswered because a spell was under way.
struct FaultTally {
    std::array<uint64_t, kFaultKinds> faults{};
    uint64_t spells = 0;
    uint64_t silencedBySpells = 0;
    uint64_t total() const;
};

// A reply frame as the drive sends it; empty for silence.
using Frame = std::vector<uint8_t>;

// What a sub-command handler answers: the data words after the acknowledgement, or no
// acknowledgement at all ("busy", "refused").
struct Answer {
    bool ack = true;
    std::vector<uint16_t> words;
    static Answer Ok(std::vector<uint16_t> w = {}) { return Answer{true, std::move(w)}; }
    static Answer NotAcknowledged() { return Answer{false, {}}; }
};

std::optional<Fault> ParseFault(const std::string& name);
std::string FaultName(Fault fault);

class SimDrive {
  public:
    using SubCommandHandler =
        std::function<Answer(SimDrive&, std::span<const uint8_t> payload, uint64_t nowUs)>;
    using PollHandler = std::function<Answer(SimDrive&, uint64_t nowUs)>;

    explicit SimDrive(const DriveConfig& config = {});

    // A complete, checksum-correct request frame arrived at `nowUs`. Returns the reply.
    Frame handleRequest(std::span<const uint8_t> frame, uint64_t nowUs);

    // Memory. Addresses below 0x10000 are drive words; others are 32-bit cells.
    uint16_t read(uint32_t address) const;
    void write(uint32_t address, uint16_t value);

    void setVersions(const DriveConfig& config);
    DriveConfig config() const;

    // Faults.
    void addFault(const FaultRule& rule);
    void clearFaults();
    // Each request meets a random fault of any kind with this probability.
    void setRandomFaults(double probability, uint32_t seed);
    // Each request that reaches a working drive begins a silent spell with this
    // probability: that request and every one within the next 1 to 2 s (drawn at random)
    // go unanswered. The seed gives the same spells for the same requests.
    void setSilentSpells(double probability, uint32_t seed);
    FaultTally faultTally() const;
    // Silent for `durationUs` from the next request on: the drive went away.
    void goAwayFor(uint64_t durationUs);
    // Silent between the two instants.
    void goAwayBetween(uint64_t fromUs, uint64_t untilUs);

    // Extension points for the features each subsystem needs from the drive.
    void setSubCommandHandler(uint16_t subCommand, SubCommandHandler handler);
    void setPollHandler(PollHandler handler);
    // The handlers in place (empty when none), so a feature can wrap them and pass on
    // what is not its own.
    SubCommandHandler subCommandHandler(uint16_t subCommand) const;
    // The handler installed so far, so that a feature can answer the polls that concern
    // it and hand the others on.
    PollHandler pollHandler() const;

    // The drive has one pending job, the one started last, and a poll request concerns
    // that job only. A feature that starts a job (a step test, a free-running capture,
    // the pole-pair test) takes a ticket and answers polls while its ticket is the last.
    uint64_t startJob();
    bool isLastJob(uint64_t ticket) const;

    // What arrived, for tests: every request frame in order.
    std::vector<std::vector<uint8_t>> requestLog() const;
    void clearRequestLog();
    uint64_t requestCount() const;

    // Runs `fn` with the drive locked (for handlers that need several memory operations
    // to look atomic to the tool).
    template <typename Fn>
    auto locked(Fn&& fn) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return fn(*this);
    }

  private:
    Answer dispatch(uint8_t command, std::span<const uint8_t> payload, uint64_t nowUs);
    std::optional<Fault> pickFault(uint8_t command, int subCommand, int address);
    bool inSilentSpell(uint64_t nowUs);
    void installBasicCommands();

    mutable std::recursive_mutex mutex_;
    DriveConfig config_;
    std::vector<uint16_t> words_;
    std::map<uint32_t, uint16_t> cells_;
    std::map<uint16_t, SubCommandHandler> handlers_;
    PollHandler pollHandler_;
    std::vector<FaultRule> rules_;
    double randomProbability_ = 0.0;
    std::mt19937 rng_;
    double spellProbability_ = 0.0;
    std::mt19937 spellRng_;
    uint64_t spellUntilUs_ = 0;
    FaultTally tally_;
    std::optional<uint64_t> awayDurationUs_;
    uint64_t awayFromUs_ = 0;
    uint64_t awayUntilUs_ = 0;
    std::vector<std::vector<uint8_t>> log_;
    uint64_t requests_ = 0;
    uint64_t jobs_ = 0;
};

// Builds a reply frame: header, acknowledgement (or two zero bytes), data, checksum.
Frame BuildReply(uint8_t command, uint8_t selector, const Answer& answer);

// Cuts the byte stream that reaches the drive into request frames, skipping the sync
// burst and anything that is not a well-formed frame.
class FrameAssembler {
  public:
    // Feeds one byte; returns true when it completed a checksum-correct frame.
    bool feed(uint8_t byte);
    std::span<const uint8_t> frame() const { return frame_; }
    void reset() { frame_.clear(); }

  private:
    std::vector<uint8_t> frame_;
};

}  // namespace qx::sim
