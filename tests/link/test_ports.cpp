// COM port mapping and the termios port on a real pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "link/PortMap.h"
#include "link/PosixSerialPort.h"

namespace qx {
namespace {

TEST(PortMap, DefaultsOverridesAndBadAssignments) {
    PortMap map;
    EXPECT_EQ(map.device(1), "");
    EXPECT_EQ(map.device(4), "");
    EXPECT_FALSE(map.assign("1=/dev/ttyUSB0"));
    EXPECT_FALSE(map.assign("COM3=sim"));
    EXPECT_EQ(map.device(1), "/dev/ttyUSB0");
    EXPECT_EQ(map.device(3), "sim");
    for (const char* bad : {"5=/dev/x", "0=sim", "=sim", "1=", "1", "12=sim", "x=sim"}) {
        EXPECT_TRUE(map.assign(bad)) << bad;
    }
    EXPECT_EQ(map.device(1), "/dev/ttyUSB0") << "a refused assignment changes nothing";
    EXPECT_EQ(PortMap::portNumberOf("COM4"), 4);
    EXPECT_EQ(PortMap::portNumberOf("COM5"), 0);
    EXPECT_EQ(PortMap::portNumberOf("com1"), 0);
}

TEST(PortMap, FactoryGivesNothingForAnUnknownName) {
    PortMap map;
    map.setDevice(2, "sim");
    int simulated = 0;
    const PortFactory factory = MakePortFactory(map, [&]() -> std::unique_ptr<SerialPort> {
        ++simulated;
        return nullptr;
    });
    EXPECT_EQ(factory("COM7"), nullptr);
    factory("COM2");
    EXPECT_EQ(simulated, 1);
    EXPECT_EQ(factory("COM1"), nullptr) << "a port the command line left alone";
    map.setDevice(1, "/dev/ttyUSB0");
    EXPECT_NE(MakePortFactory(map, nullptr)("COM1"), nullptr);
}

class PseudoTerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        slave_ = ::ptsname(master_);
    }
    void TearDown() override {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    // The other end goes away, as when the cable of a USB adapter is pulled.
    void hangUp() {
        ::close(master_);
        master_ = -1;
    }
    int master_ = -1;
    std::string slave_;
};

TEST_F(PseudoTerminal, OpensExclusivelyConfiguresAndMovesBytes) {
    const int probe = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    PosixSerialPort port(slave_);
    ASSERT_EQ(port.open(), OpenResult::Ok);
    EXPECT_TRUE(port.configure(LineSettings{}));
    port.setTimeouts(PortTimeouts{});

    PosixSerialPort second(slave_);
    EXPECT_EQ(second.open(), OpenResult::Busy);
    EXPECT_FALSE(second.lastError().empty());

    const uint8_t request[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
    EXPECT_EQ(port.write(request, sizeof request), sizeof request);
    uint8_t seen[16] = {};
    EXPECT_EQ(::read(master_, seen, sizeof seen), static_cast<ssize_t>(sizeof request));
    EXPECT_EQ(seen[5], 0x7C);

    // Binary: 0x11 and 0x13 (XON, XOFF), CR and LF pass untouched.
    const uint8_t reply[] = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0xFF};
    ASSERT_EQ(::write(master_, reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
    uint8_t got[128] = {};
    ASSERT_EQ(port.read(got, sizeof got), sizeof reply);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 6), std::vector<uint8_t>(reply, reply + 6));

    // Silence: the read gives up after its total time with nothing.
    EXPECT_EQ(port.read(got, 4), 0u);

    // A drained burst has had its time on the line (255 bytes of 12 bits at 115200 baud).
    const std::vector<uint8_t> burst(255, 0x01);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(port.write(burst.data(), burst.size()), burst.size());
    EXPECT_TRUE(port.drain());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(26'562));

    // A device that answers at once shows each burst has left, so many exchanges do not
    // add up to a second of line time for the next drain to sleep through.
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(port.write(burst.data(), burst.size()), burst.size());
        std::vector<uint8_t> taken(burst.size());
        ASSERT_EQ(::read(master_, taken.data(), taken.size()), static_cast<ssize_t>(burst.size()));
        ASSERT_EQ(::write(master_, reply, 1), 1);
        ASSERT_EQ(port.read(got, 1), 1u);
    }
    const auto drained = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.drain());
    EXPECT_LT(std::chrono::steady_clock::now() - drained, std::chrono::milliseconds(300));

    // The tty's exclusive mode goes with the port, or nobody but root could open it again
    // while its other end stays open.
    int exclusive = -1;
    EXPECT_TRUE(::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive == 1);
    port.close();
    EXPECT_TRUE(::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    ::close(probe);
    EXPECT_EQ(second.open(), OpenResult::Ok) << "closing releases the port";
}

// A long reply arrives a few bytes at a time, as off a line: the read sleeps through
// most of it and still returns every byte in order; one that stops short returns what
// came once the line has gone silent.
TEST_F(PseudoTerminal, ALongReplyTricklingInIsReadWholeAndAShortOneEndsWithTheSilence) {
    PosixSerialPort port(slave_);
    ASSERT_EQ(port.open(), OpenResult::Ok);
    ASSERT_TRUE(port.configure(LineSettings{}));
    // A silence long enough that a busy machine's scheduling cannot fake one.
    port.setTimeouts(PortTimeouts{.readIntervalMs = 50});

    auto trickle = [this](std::size_t count) {
        return std::thread([this, count] {
            for (std::size_t k = 0; k < count; k += 4) {
                uint8_t batch[4];
                for (std::size_t j = 0; j < 4; ++j) {
                    batch[j] = static_cast<uint8_t>(k + j);
                }
                ASSERT_EQ(::write(master_, batch, 4), 4);
                std::this_thread::sleep_for(std::chrono::microseconds(400));
            }
        });
    };
    std::vector<uint8_t> got(200);
    std::thread whole = trickle(200);
    EXPECT_EQ(port.read(got.data(), got.size()), got.size());
    whole.join();
    for (std::size_t k = 0; k < got.size(); ++k) {
        ASSERT_EQ(got[k], static_cast<uint8_t>(k)) << k;
    }

    std::thread shortOne = trickle(48);
    EXPECT_EQ(port.read(got.data(), got.size()), 48u);
    shortOne.join();
    EXPECT_EQ(got[47], 47);
}

// Descriptors of this process open on `device`; a hung-up one shows as "(deleted)".
int DescriptorsOn(const std::string& device) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        n += !ec && (target == device || target == device + " (deleted)") ? 1 : 0;
    }
    return n;
}

// A hung-up line never comes back: the port lets go of it at once, which frees the
// device's name for the adapter's return, and says why.
TEST_F(PseudoTerminal, AHungUpDeviceIsLetGoWhenReadFrom) {
    PosixSerialPort port(slave_);
    ASSERT_EQ(port.open(), OpenResult::Ok);
    ASSERT_TRUE(port.configure(LineSettings{}));
    port.setTimeouts(PortTimeouts{});
    hangUp();

    uint8_t got[16] = {};
    EXPECT_EQ(port.read(got, sizeof got), 0u);
    EXPECT_FALSE(port.isOpen());
    EXPECT_NE(port.lastError().find("the device has gone"), std::string::npos) << port.lastError();
    EXPECT_EQ(DescriptorsOn(slave_), 0);
    const uint8_t request[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
    EXPECT_EQ(port.write(request, sizeof request), 0u);
    EXPECT_EQ(port.readAvailable(got, sizeof got), 0u);
}

TEST_F(PseudoTerminal, AHungUpDeviceIsLetGoWhenWrittenTo) {
    PosixSerialPort port(slave_);
    ASSERT_EQ(port.open(), OpenResult::Ok);
    ASSERT_TRUE(port.configure(LineSettings{}));
    port.setTimeouts(PortTimeouts{});
    hangUp();

    const uint8_t request[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
    EXPECT_EQ(port.write(request, sizeof request), 0u);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(DescriptorsOn(slave_), 0);
}

TEST(PosixSerialPort, AbsentDeviceAndNonTerminalAreRefused) {
    PosixSerialPort absent("/dev/quendrix-no-such-port");
    EXPECT_EQ(absent.open(), OpenResult::NotFound);
    PosixSerialPort notTty("/dev/null");
    ASSERT_EQ(notTty.open(), OpenResult::Ok);
    EXPECT_FALSE(notTty.configure(LineSettings{}));
    EXPECT_NE(notTty.lastError().find("not a serial device"), std::string::npos);
}

}  // namespace
}  // namespace qx
