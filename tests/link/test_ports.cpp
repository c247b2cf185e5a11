// COM port mapping, and the termios port on real pseudo-terminals and devices.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "link/PortMap.h"
#include "link/PosixSerialPort.h"

namespace qx {
namespace {

// Assignments as --com takes them, applied in turn; what each COM port then reaches and
// what the factory makes of it ("sim": the simulated drive; "-": nothing).
TEST(PortMap, AssignmentsAndWhatEachPortMakes) {
    PortMap map;
    for (const char* bad : {"5=/dev/x", "0=sim", "=sim", "1=", "1", "12=sim", "x=sim", "COM5=x",
                            "CO1=/dev/x", "ABC1=/dev/x"}) {
        EXPECT_TRUE(map.assign(bad)) << bad;
    }
    for (const char* good : {"1=/dev/ttyUSB0", "COM3=sim", "4=/dev/ttyS1"}) {
        EXPECT_FALSE(map.assign(good)) << good;
    }
    int simulated = 0;
    const PortFactory factory = MakePortFactory(map, [&]() -> std::unique_ptr<SerialPort> {
        ++simulated;
        return std::make_unique<PosixSerialPort>("");
    });
    std::string seen;
    for (const char* name :
         {"COM1", "COM2", "COM3", "COM4", "COM5", "COM0", "com1", "COM10", "COM"}) {
        const auto port = factory(name);
        const int n = PortMap::portNumberOf(name);
        seen += std::to_string(n) + ":" + map.device(n) + (port ? "" : "-") + " ";
    }
    EXPECT_EQ(seen,
              "1:/dev/ttyUSB0 2:- 3:sim 4:/dev/ttyS1 0:/dev/ttyUSB0- 0:/dev/ttyUSB0- "
              "0:/dev/ttyUSB0- 0:/dev/ttyUSB0- 0:/dev/ttyUSB0- ");
    EXPECT_EQ(simulated, 1);
    EXPECT_EQ(MakePortFactory(map, nullptr)("COM3"), nullptr) << "no simulated drive to make";
}

// A pseudo-terminal: the port opens its slave, the test plays the drive on the master.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        slave = ::ptsname(master);
    }
    ~Pty() { hangUp(); }
    // The other end goes away, as when the cable of a USB adapter is pulled.
    void hangUp() { ::close(std::exchange(master, -1)); }
    int master = -1;
    std::string slave;
};

// The line settings as the tty holds them afterwards. A pseudo-terminal keeps 8 data bits
// and drops the parity enable bit itself, so odd parity shows as PARODD alone.
std::string Describe(const termios& t) {
    std::string s = "?";
    for (const auto& [code, text] : {std::pair<speed_t, const char*>{B9600, "9600"},
                                     {B19200, "19200"},
                                     {B38400, "38400"},
                                     {B57600, "57600"},
                                     {B115200, "115200"}}) {
        s = cfgetospeed(&t) == code && cfgetispeed(&t) == code ? text : s;
    }
    s += (t.c_cflag & CSIZE) == CS8 ? " 8" : " ?";
    s += t.c_cflag & PARODD ? " odd" : "";
    s += t.c_cflag & CSTOPB ? " 2" : " 1";
    s += t.c_iflag & INPCK ? " check" : "";
    // Of the seven flags a raw line clears, how many are set.
    const int n = std::popcount(t.c_iflag & (ICRNL | IXON)) + std::popcount(t.c_oflag & OPOST) +
                  std::popcount(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    s += n == 0 ? " raw" : (n == 7 ? " cooked" : " half-raw");
    s += t.c_cflag & CLOCAL ? "" : " modem";
    return s + (t.c_cflag & CRTSCTS ? " rtscts" : "");
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

std::string Hex(const uint8_t* bytes, std::size_t n) {
    std::string s = std::to_string(n) + (n > 0 ? ":" : "");
    for (std::size_t k = 0; k < n; ++k) {
        s += "0123456789ABCDEF"[bytes[k] >> 4];
        s += "0123456789ABCDEF"[bytes[k] & 15];
    }
    return s;
}

// 200 bytes arrive 4 at a time, as off a line: the read sleeps through most of it and still
// returns every byte in order ("whole"), within a silence a busy machine cannot fake.
std::string Trickle(PosixSerialPort& p, int master) {
    p.setTimeouts(PortTimeouts{.readIntervalMs = 50});
    std::vector<uint8_t> got(256), sent(200);
    std::iota(sent.begin(), sent.end(), 0);
    std::thread line([&] {
        for (std::size_t k = 0; k < sent.size(); k += 4) {
            EXPECT_EQ(::write(master, &sent[k], 4), 4);
            std::this_thread::sleep_for(std::chrono::microseconds(400));
        }
    });
    got.resize(p.read(got.data(), got.size()));
    line.join();
    return got == sent ? "whole" : std::to_string(got.size());
}

// Takes `steps` (words) on a port of `device` ("pty": a fresh pseudo-terminal whose
// other end the test holds); gives each step's result, then whether the port is still
// open and its error.
std::string RunSteps(std::string device, const std::string& steps) {
    Pty pty;
    device = device == "pty" ? pty.slave : device;
    // The test's own view of the tty, with the modem lines honoured as a driver may start.
    const int probe = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(probe, &t);
    t.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
    ::tcsetattr(probe, TCSANOW, &t);
    t.c_cflag |= CRTSCTS;
    const std::map<std::string, LineSettings> lines = {
        {"configure", {}},
        {"9600-7E1-nocheck", {9600, 7, Parity::Even, 1, true, false}},
        {"19200-8N1", {19200, 8, Parity::None, 1, true, true}},
        {"38400-8O1-nocheck", {38400, 8, Parity::Odd, 1, true, false}},
        {"57600-8O2-cooked", {57600, 8, Parity::Odd, 2, false, true}},
        {"4800-8O2", {4800, 8, Parity::Odd, 2, true, true}}};
    PosixSerialPort p(device);
    const uint8_t request[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
    // XON, XOFF, CR and LF among them: a binary line passes them untouched.
    const uint8_t reply[] = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0xFF};
    const std::vector<uint8_t> burst(255, 0x01), lots(1 << 20);
    uint8_t b[256] = {};
    // A device that answers each burst at once shows it has left, so many exchanges do
    // not add up to line time for the next drain to sleep through: "fast" within 300 ms.
    auto answered = [&] {
        for (int i = 0; i < 40; ++i) {
            p.write(burst.data(), burst.size());
            const bool taken = ::read(pty.master, b, sizeof b) == ssize_t(burst.size());
            if (!taken || ::write(pty.master, reply, 1) != 1 || p.read(b, 1) != 1) {
                return "lost";
            }
        }
        const auto start = std::chrono::steady_clock::now();
        const bool drained = p.drain();
        const bool fast = std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300);
        return drained && fast ? "fast" : "slow";
    };
    std::istringstream words(steps);
    std::string out, w;
    while (words >> w) {
        const char* opened[] = {"Ok", "NotFound", "Busy", "Failed"};
        int excl = -1;
        std::size_t n = 0;
        out += w == "open"       ? opened[static_cast<int>(p.open())]
               : lines.count(w)  ? std::to_string(p.configure(lines.at(w)))
               : w == "rtscts"   ? std::to_string(::tcsetattr(probe, TCSANOW, &t))
               : w == "settings" ? (::tcgetattr(probe, &t), Describe(t))
               : w == "read"     ? Hex(b, p.read(b, 8))
               : w == "read1"    ? Hex(b, p.read(b, 1))
               : w == "avail"    ? Hex(b, p.readAvailable(b, sizeof b))
               : w == "write"    ? std::to_string(p.write(request, sizeof request))
               : w == "burst"    ? std::to_string(p.write(burst.data(), burst.size()))
               : w == "drain"    ? std::to_string(p.drain())
               : w == "purge"    ? std::to_string(p.purge())
               : w == "answered" ? answered()
               : w == "trickle"  ? Trickle(p, pty.master)
               : w == "feed"     ? std::to_string(::write(pty.master, reply, sizeof reply))
               : w == "seen"     ? Hex(b, std::max<ssize_t>(0, ::read(pty.master, b, sizeof b)))
               : w == "lock"     ? std::to_string(::flock(probe, LOCK_EX | LOCK_NB))
               : w == "excl"     ? std::to_string(::ioctl(probe, TIOCGEXCL, &excl) + excl)
               : w == "flood"
                   ? (p.setTimeouts({.writeTotalPerByteMs = 0, .writeTotalConstantMs = 30}),
                      n = p.write(lots.data(), lots.size()),
                      n > 0 && n < lots.size() ? "part" : std::to_string(n))
               : w == "hangup" ? (pty.hangUp(), "-")
               : w == "eio"    ? (errno = EIO, "-")  // left by an earlier call
               : w == "close"  ? (p.close(), "-")
                               : "?" + w;
        out += " ";
    }
    ::close(probe);
    const char* name = p.lastErrorNumber() ? strerrorname_np(p.lastErrorNumber()) : "";
    const std::string error =
        p.lastError().substr(std::min(p.lastError().size(), device.size() + 2));
    out += p.isOpen() ? "| open" : "| closed";
    out += std::string(name[0] ? " " : "") + name + (error.empty() ? "" : ": " + error);
    EXPECT_TRUE(p.isOpen() || DescriptorsOn(device) == 0) << "a closed port let go of " << device;
    return out;
}

// What this thread has run on a processor. Every wait of the port sleeps or blocks: the
// steps of a case use next to none, however long they take.
double CpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
constexpr double kMostCpuMs = 25;

// The port on devices that misbehave, where what it does can be seen: a hung-up device
// is let go at once (which frees its name for the adapter's return), a dead one is waited
// out, never spun on, and every failure says why.
TEST(PosixSerialPort, StepsAndWhatTheyGive) {
    const struct {
        const char* device;
        const char* steps;
        const char* gives;
        int atLeastMs;
    } cases[] = {
        // A reply shorter than the read comes back once the line has gone silent.
        {"pty", "open configure write seen feed read read excl close excl",
         "Ok 1 6 6:AACF0003017C 6 6:11130D0A03FF 0 1 - 0 | closed", 54},
        // The line settings change only what they name; flow control stays as it was.
        {"pty", "open 57600-8O2-cooked settings configure settings 9600-7E1-nocheck settings",
         "Ok 1 57600 8 odd 2 check cooked 1 115200 8 odd 2 check raw 1 9600 8 1 raw | open", 0},
        {"pty", "rtscts open 38400-8O1-nocheck settings 19200-8N1 settings",
         "0 Ok 1 38400 8 odd 1 raw rtscts 1 19200 8 1 check raw rtscts | open", 0},
        {"pty", "open 4800-8O2 settings", "Ok 1 115200 8 odd 2 check raw | open", 0},
        {"/dev/quendrix-no-such-port", "open",
         "NotFound | closed ENOENT: cannot open: No such file or directory", 0},
        {"/tmp", "open", "Failed | closed EISDIR: cannot open: Is a directory", 0},
        {"pty", "lock open", "0 Busy | closed EBUSY: in use by another program", 0},
        {"pty", "open open", "Ok Ok | open", 0},
        {"pty", "read avail write drain", "0 0 0 0 | closed", 0},
        {"/dev/null", "open configure",
         "Ok 0 | open ENOTTY: not a serial device: Inappropriate ioctl for device", 0},
        {"/dev/null", "open read purge", "Ok 0 0 | open", 58},
        {"/dev/null", "open eio avail", "Ok - 0 | open", 0},  // an end of file is no hang-up
        {"/dev/full", "open write", "Ok 0 | open ENOSPC: write failed: No space left on device", 0},
        {"/dev/null", "open drain",
         "Ok 0 | open ENOTTY: cannot wait for the output to leave: Inappropriate ioctl for device",
         0},
        {"pty", "open configure flood", "Ok 1 part | open", 30},
        // Two bursts of 255 bytes of 12 bits at 115200 baud: 53.1 ms on the line.
        {"pty", "open configure burst burst drain", "Ok 1 255 255 1 | open", 53},
        {"pty", "rtscts open configure burst drain", "0 Ok 1 255 1 | open", 26},
        {"pty", "open configure answered", "Ok 1 fast | open", 0},
        {"pty", "open configure trickle", "Ok 1 whole | open", 0},
        {"pty", "open configure feed read1 avail avail", "Ok 1 6 1:11 5:130D0A03FF 0 | open", 0},
        {"pty", "open configure feed eio avail", "Ok 1 6 - 6:11130D0A03FF | open", 0},
        {"pty", "open configure hangup read write avail drain",
         "Ok 1 - 0 0 0 0 | closed: the device has gone (hang-up)", 0},
        {"pty", "open configure hangup write",
         "Ok 1 - 0 | closed EIO: the device has gone (hang-up): Input/output error", 0},
        {"pty", "open configure hangup drain",
         "Ok 1 - 0 | closed EIO: the device has gone (hang-up): Input/output error", 0},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = CpuMs();
        EXPECT_EQ(RunSteps(c.device, c.steps), c.gives) << c.device << ": " << c.steps;
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.atLeastMs))
            << c.steps;
        EXPECT_LT(CpuMs() - cpu, kMostCpuMs) << c.steps << ": a wait spun";
    }
}

}  // namespace
}  // namespace qx
