// A loop tuning window's opening, one tuning capture and its closing, many times over a
// line with random faults and silent spells: a record that arrives is exactly what the
// drive recorded, a failed opening says so, and the worker always ends.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "capture/LoopTuner.h"
#include "link/DriveCommands.h"
#include "tests/soak/SoakRig.h"

namespace qx::test {
namespace {

class SoakCapture : public Soak {};

using Boxes = std::vector<RecordingMessageSink::Box>;

// A capture starts over after any failed exchange and has no end of its own: it must
// complete all the same, on the rough line as well, within this much drive time.
constexpr uint64_t kCaptureBoundMs = 300'000;

// Stands in for the window: notes the record its worker announces.
struct Window final : SampleDoneListener {
    void sampleDone() override { done = true; }
    std::atomic<bool> done{false};
};

TEST_P(SoakCapture, OpenCaptureOnceAndClose) {
    soak("tuning window: open, one capture, close", 0x51A4'0000, 21, true, [](SoakRig& rig) {
        const auto kind = static_cast<CaptureKind>(rig.seed % 3);
        Window window;
        RecordingMessageSink main;
        LoopTuner tuner(rig.state, rig.link, kind, rig.messages, main, window);
        const bool opened = tuner.open();
        // A failed gain read or capture set-up says so; an opened window captures.
        EXPECT_EQ(rig.messages.boxes(),
                  (opened ? Boxes{} : Boxes{{"Communication with Servo Fails!", "Warning"}}));
        EXPECT_EQ(tuner.capturing(), opened);
        if (opened) {
            const uint64_t start = rig.nowMs();
            ASSERT_TRUE(tuner.timerTick());
            // A hung worker, whose virtual clock stands still, is given up after 30 s.
            const auto hung = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!window.done && rig.nowMs() <= start + kCaptureBoundMs &&
                   std::chrono::steady_clock::now() < hung) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_TRUE(window.done) << "no record after " << rig.nowMs() - start << " ms";
            // The worker idles once its record is out: the record is what the drive's
            // ring holds from its last step test.
            const RecordShape shape = tuner.thread()->recordShape();
            EXPECT_EQ(shape.kind, kind);
            EXPECT_EQ(shape.count, SettingsForLoop(rig.state, kind).sampleCount);
            std::vector<uint8_t> ring;
            for (int k = 0; k < shape.count * WordsPerPoint(kind); ++k) {
                const uint16_t w = rig.drive->read(drive_address::kCaptureRingFirst + k);
                ring.insert(ring.end(), {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)});
            }
            {
                std::lock_guard<std::mutex> lock(rig.state.sampleBufferMutex);
                ASSERT_TRUE(std::equal(ring.begin(), ring.end(), rig.state.sampleBuffer.begin()));
            }
            // The gains the capture wrote are the ones the window showed.
            const LoopGains& gains = tuner.values();
            for (int k = 0; k < gains.count; ++k) {
                EXPECT_EQ(rig.drive->read(GainAddress(kind) + static_cast<uint32_t>(k)),
                          static_cast<uint16_t>(gains.words[k]))
                    << "gain word " << k;
            }
        }
        tuner.close();
        EXPECT_TRUE(!opened || rig.state.workerSync.sampleThreadEnded.load() == 1) << "it ended";
        // Closing says at most that the servo could not be stopped.
        const Boxes closing = main.boxes();
        EXPECT_LE(closing.size(), 1u);
        for (const auto& box : closing) {
            EXPECT_TRUE(box.text == "OrderModule Reset Fails!" ||
                        box.text == "Connection Setup Fails!" || box.text == "Disable Servo Fails!")
                << box.text;
        }
        rig.succeeded = opened;
    });
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakCapture, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
