// The simulated drive on a pseudo-terminal with its cable pulled and plugged back in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "link/DriveLink.h"
#include "sim/PtyDriveServer.h"
#include "sim/SimOptions.h"

namespace qx::sim {
namespace {

using std::chrono::milliseconds;

// Reads what arrives within `bound`, at most `want` bytes; stops early once `want`
// arrived. Also reports whether the line hung up.
std::vector<uint8_t> ReadFor(int fd, std::size_t want, milliseconds bound, bool* hungUp = nullptr) {
    std::vector<uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (got.size() < want) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        std::array<uint8_t, 512> buf{};
        const ssize_t n = ::read(fd, buf.data(), std::min(buf.size(), want - got.size()));
        if (n <= 0) {
            if (hungUp != nullptr) {
                *hungUp = (p.revents & POLLHUP) != 0;
            }
            break;
        }
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    }
    return got;
}

std::vector<uint8_t> Request(uint8_t command, uint8_t selector, std::vector<uint8_t> payload) {
    std::vector<uint8_t> frame(payload.size() + 6);
    BuildFrame(command, selector, payload, frame);
    return frame;
}

class PulledCable : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/quendrix-pty-server-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
        link_ = dir_ + "/com1";
        server_ = std::make_unique<PtyDriveServer>(MakeSimDrive(SimOptions{}, 0), true);
        server_->setLinkPath(link_);
        server_->setReplugListener([this](const std::string& path) {
            std::lock_guard<std::mutex> lock(mutex_);
            replugged_ = path;
            cv_.notify_all();
        });
        ASSERT_TRUE(server_->start()) << server_->error();
        thread_ = std::thread([this] { server_->run(); });
    }
    void TearDown() override {
        ::close(fd_);
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
        server_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    int openLink() {
        ::close(fd_);
        return fd_ = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    void send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string waitReplug() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, milliseconds(5000), [&] { return !replugged_.empty(); });
        return replugged_;
    }

    std::string dir_, link_, replugged_;
    std::unique_ptr<PtyDriveServer> server_;
    std::thread thread_;
    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable cv_;
};

const std::vector<uint8_t> kProbe = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
constexpr std::size_t kProbeReplyBytes = 8;

// What was on the wire when the cable came out never reaches the new device: neither the
// rest of a reply under way nor a request half sent.
TEST_F(PulledCable, HangsUpAndComesBackAsANewDeviceWithACleanLine) {
    const std::string first = std::filesystem::read_symlink(link_).string();
    ASSERT_GE(openLink(), 0);
    send(kProbe);
    ASSERT_EQ(ReadFor(fd_, kProbeReplyBytes, milliseconds(2000)).size(), kProbeReplyBytes);

    // 120 words take some 25 ms on the paced wire: pull once the first bytes are in.
    send(Request(0xC1, 1, {0x00, 0x91, 0x02, 0x00, 0x00, 120}));
    ASSERT_FALSE(ReadFor(fd_, 4, milliseconds(2000)).empty());
    send({0xAA, 0xC1, 0x02});  // the next request, half sent
    std::this_thread::sleep_for(milliseconds(20));
    server_->unplugNow();

    bool hungUp = false;
    ReadFor(fd_, 1024, milliseconds(2000), &hungUp);
    EXPECT_TRUE(hungUp);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)))
        << "no link while unplugged";

    server_->plugIn();
    const std::string second = waitReplug();
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link_).string(), second);
    EXPECT_NE(second, first) << "a new device";
    ASSERT_GE(openLink(), 0);
    EXPECT_TRUE(ReadFor(fd_, 1, milliseconds(100)).empty()) << "bytes from before the pull";
    send(kProbe);
    const std::vector<uint8_t> reply = ReadFor(fd_, 64, milliseconds(300));
    ASSERT_EQ(reply.size(), kProbeReplyBytes) << "the first request after the pull is answered";
    EXPECT_EQ(reply[0] << 8 | reply[1], 0xAACF) << "a reset acknowledged";
}

}  // namespace
}  // namespace qx::sim
