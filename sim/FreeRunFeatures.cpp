#include "sim/FreeRunFeatures.h"

#include <algorithm>
#include <memory>

#include "sim/CaptureFeatures.h"
#include "sim/NormalOperation.h"
#include "sim/PayloadWords.h"

namespace qx::sim {

namespace {

constexpr std::size_t kStartBytes = 14;
constexpr uint64_t kUsPerTick = 1'000'000 / kTicksPerSecond;
constexpr int kAutoRun = 2;
constexpr int kFalling = 1;

struct FreeUnit {
    NormalOperation operation;
    bool active = false;
    int type = 0;
    int32_t level = 0;
    int mode = kAutoRun;
    int64_t post = 0;
    int64_t divider = 1;
    uint64_t armTick = 0;
    int64_t scanned = 0;  // next sample index to look at for the edge
    bool fired = false;
    int64_t triggerIndex = 0;
    uint64_t job = 0;

    int wordsPerPoint() const { return type == 2 ? 4 : 2; }
    int64_t ringPoints() const { return kRingWords / wordsPerPoint(); }
    // Channel 2 read back as the drive stores it (16 bits for current and speed).
    ChannelPair at(int64_t index) const {
        ChannelPair s = operation.sample(type, armTick + static_cast<uint64_t>(index * divider));
        if (type != 2) {
            s.command = static_cast<int16_t>(s.command);
            s.feedback = static_cast<int16_t>(s.feedback);
        }
        return s;
    }
    bool crosses(int64_t i) const {
        const int32_t before = at(i - 1).feedback;
        const int32_t now = at(i).feedback;
        return mode == kFalling ? (before > level && now <= level)
                                : (before < level && now >= level);
    }
};

void WriteRing(SimDrive& d, const FreeUnit& u) {
    const int64_t end = u.triggerIndex + u.post;
    const int per = u.wordsPerPoint();
    for (int64_t i = std::max<int64_t>(0, end - u.ringPoints()); i < end; ++i) {
        const auto at = static_cast<uint32_t>(kRingFirstWord + (i % u.ringPoints()) * per);
        const ChannelPair s = u.at(i);
        WriteRingPoint(d, at, per, s.command, s.feedback);
    }
    d.write(kTriggerPositionWord,
            static_cast<uint16_t>(kRingFirstWord + (u.triggerIndex % u.ringPoints()) * per));
}

}  // namespace

void InstallFreeRunFeatures(SimDrive& drive) {
    auto unit = std::make_shared<FreeUnit>();
    drive.setSubCommandHandler(
        kSubStartFreeCapture, [unit](SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
            if (p.size() != kStartBytes) {
                return Answer::NotAcknowledged();
            }
            FreeUnit& u = *unit;
            const int type = Word(p, 2);
            const int mode = Word(p, 8);
            const int64_t post = Word(p, 10);
            const int64_t divider = Word(p, 12);
            if (type > 2 || mode > kAutoRun || divider == 0 || post == 0) {
                return Answer::NotAcknowledged();
            }
            u.type = type;
            if (post > u.ringPoints()) {
                return Answer::NotAcknowledged();
            }
            u.level = static_cast<int32_t>(uint32_t{Word(p, 4)} << 16 | Word(p, 6));
            u.mode = mode;
            u.post = post;
            u.divider = divider;
            u.armTick = nowUs / kUsPerTick;
            u.active = true;
            u.job = d.startJob();
            u.fired = mode == kAutoRun;
            u.triggerIndex = 0;
            // Edges count only once the ring holds a full history before them.
            u.scanned = std::max<int64_t>(1, u.ringPoints() - post);
            return Answer::Ok();
        });

    SimDrive::PollHandler before = drive.pollHandler();
    drive.setPollHandler([unit, before](SimDrive& d, uint64_t nowUs) {
        FreeUnit& u = *unit;
        // A job started since ends this capture: it never records into the ring again.
        u.active = u.active && d.isLastJob(u.job);
        if (!u.active) {
            return before ? before(d, nowUs) : Answer::Ok();
        }
        const uint64_t now = nowUs / kUsPerTick;
        const int64_t available =
            now < u.armTick ? 0 : static_cast<int64_t>((now - u.armTick) / u.divider) + 1;
        for (; !u.fired && u.scanned < available; ++u.scanned) {
            if (u.crosses(u.scanned)) {
                u.fired = true;
                u.triggerIndex = u.scanned;
            }
        }
        if (!u.fired || available < u.triggerIndex + u.post) {
            return Answer::NotAcknowledged();
        }
        WriteRing(d, u);
        u.active = false;
        return Answer::Ok();
    });
}

}  // namespace qx::sim
