// A loop tuning window's opening, one tuning capture and its closing, many times over a
// line with random faults and silent spells: a record that arrives is exactly what the
// drive recorded, a failed opening says so, and the worker always ends.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "capture/LoopTuner.h"
#include "link/DriveCommands.h"
#include "tests/soak/SoakRig.h"

namespace qx::test {
namespace {

class SoakCapture : public Soak {};

using Box = RecordingMessageSink::Box;
using Boxes = std::vector<Box>;

constexpr uint32_t kCaptureSeed = 0x51A4'0000;
// A capture starts over after any failed exchange and has no end of its own: it must
// complete all the same, on the rough line as well, within this much drive time.
constexpr uint64_t kCaptureBoundMs = 300'000;
// Only against a hung worker, whose virtual clock stands still.
constexpr auto kHungWorker = std::chrono::seconds(30);

// Stands in for the window: counts the records its worker announces.
class Window final : public SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++done_;
        }
        cv_.notify_all();
    }
    // Waits for a record while the worker's clock stays before `untilMs`.
    bool waitForRecord(SoakRig& rig, uint64_t untilMs) {
        const auto hung = std::chrono::steady_clock::now() + kHungWorker;
        std::unique_lock<std::mutex> lock(mutex_);
        while (done_ == 0) {
            if (rig.nowMs() > untilMs || std::chrono::steady_clock::now() > hung) {
                return false;
            }
            cv_.wait_for(lock, std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int done_ = 0;
};

// The ring's first `words` words, high byte first, as the drive holds them now.
std::vector<uint8_t> RingBytes(const sim::SimDrive& drive, int words) {
    std::vector<uint8_t> out;
    for (int k = 0; k < words; ++k) {
        const uint16_t w = drive.read(drive_address::kCaptureRingFirst + static_cast<uint32_t>(k));
        out.push_back(static_cast<uint8_t>(w >> 8));
        out.push_back(static_cast<uint8_t>(w & 0xFF));
    }
    return out;
}

bool IsStopMessage(const Box& box) {
    return box.title == "Warning" &&
           (box.text == "OrderModule Reset Fails!" || box.text == "Connection Setup Fails!" ||
            box.text == "Disable Servo Fails!");
}

TEST_P(SoakCapture, OpenCaptureOnceAndClose) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kCaptureSeed, 21, mix);
    SoakTally tally("tuning window: open, one capture, close", mix);
    uint64_t longestMs = 0;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig rig(seed);
        ASSERT_TRUE(rig.connect());
        const auto kind = static_cast<CaptureKind>(seed % 3);
        rig.misbehave(mix);

        Window window;
        RecordingMessageSink main;
        bool captured = false;
        {
            LoopTuner tuner(rig.state, rig.link, kind, rig.messages, main, window);
            const bool opened = tuner.open();
            if (opened) {
                EXPECT_TRUE(rig.messages.boxes().empty());
                const uint64_t start = rig.nowMs();
                ASSERT_TRUE(tuner.timerTick());
                captured = window.waitForRecord(rig, start + kCaptureBoundMs);
                ASSERT_TRUE(captured) << "no record after " << rig.nowMs() - start << " ms";
                longestMs = std::max(longestMs, rig.nowMs() - start);

                // The worker idles once its record is out; the drive's ring holds what its
                // last step test recorded.
                const RecordShape shape = tuner.thread()->recordShape();
                EXPECT_EQ(shape.kind, kind);
                EXPECT_EQ(shape.count, SettingsForLoop(rig.state, kind).sampleCount);
                const int words = shape.count * WordsPerPoint(kind);
                const std::vector<uint8_t> ring = RingBytes(*rig.drive, words);
                {
                    std::lock_guard<std::mutex> lock(rig.state.sampleBufferMutex);
                    ASSERT_TRUE(
                        std::equal(ring.begin(), ring.end(), rig.state.sampleBuffer.begin()))
                        << "the record is what the drive recorded";
                }
                // The gains the capture wrote are the ones the window showed.
                const LoopGains& gains = tuner.values();
                for (int k = 0; k < gains.count; ++k) {
                    EXPECT_EQ(rig.drive->read(GainAddress(kind) + static_cast<uint32_t>(k)),
                              static_cast<uint16_t>(gains.words[k]))
                        << "gain word " << k;
                }
                PlotData shown;
                tuner.sampleDone(shown, false);
                EXPECT_EQ(tuner.dataValid(), 1);
                PlotData expected;
                DecodeSamples(ring, kind, shape.count, expected);
                EXPECT_EQ(shown.trace1, expected.trace1);
                EXPECT_EQ(shown.trace2, expected.trace2);
            } else {
                // The gain read or the capture set-up failed.
                EXPECT_EQ(rig.messages.boxes(),
                          (Boxes{{"Communication with Servo Fails!", "Warning"}}));
                EXPECT_FALSE(tuner.capturing());
            }
            tuner.close();
            if (opened) {
                EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
            }
        }
        const Boxes closing = main.boxes();
        EXPECT_LE(closing.size(), 1u);
        for (const Box& box : closing) {
            EXPECT_TRUE(IsStopMessage(box)) << box.text;
        }
        tally.add(captured, rig.faults());
    }
    std::printf("[ soak     ] longest capture: %llu ms of drive time\n",
                static_cast<unsigned long long>(longestMs));
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakCapture, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
