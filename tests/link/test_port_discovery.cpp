// Finding the serial devices on made-up device trees, the COM ports that follow them,
// and what a port failure tells the user.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "app/ConnectionSummary.h"
#include "link/Clock.h"
#include "link/ComChoices.h"
#include "link/ComSettingsFile.h"
#include "link/DriveLink.h"
#include "link/PortFailure.h"
#include "link/PosixSerialPort.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {
namespace {

constexpr const char* kIdA = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kIdB = "usb-FTDI_FT232R_USB_UART_B7731QX2-if00-port0";

// Two FTDI adapters (B got the lower number), a real ttyS0 and three ttyS without UART.
void TwoAdaptersAndTtyS0(FakeDeviceTree& t) {
    t.addAdapter("ttyUSB1", kIdA, 1, "  FTDI ", "FT232R USB UART", "A50285BI");
    t.addAdapter("ttyUSB0", kIdB, 2, "FTDI", "FT232R USB UART", "B7731QX2");
    t.addUart("ttyS0", "4");
    t.addUart("ttyS1", "0");
    t.addUart("ttyS2", "4x");
    t.addUart("ttyS3", "");
}

std::vector<std::string> Previews(const ComMapping& m, const std::vector<SerialDevice>& found) {
    std::vector<std::string> out;
    for (int n = 1; n <= 4; ++n) {
        out.push_back(m.preview(n, found).describe());
    }
    return out;
}

TEST(PortDiscovery, DevicesAndTheComPortsThatFollowThem) {
    FakeDeviceTree t;
    TwoAdaptersAndTtyS0(t);
    // Adapters without udev's by-id link, one with a name sysfs spoils, one nameless;
    // nodes that are no serial ports.
    const std::string x128(kMaxAttributeChars, 'X');
    std::filesystem::create_symlink("../../ttyUSB1", t.byId(std::string(kIdA) + "-alias"));
    t.addAdapter("ttyACM0", "", 3, "\x01" + std::string("Acme\x7f"), "", x128 + "Y");
    t.write(t.root() / "dev" / "ttyACM1", "");
    t.write(t.root() / "dev" / "ttyUSB7", "");
    for (const char* name : {"ttyUSBx", "ttyUSB", "ttyS", "ttyUSB99999999999999999999999"}) {
        t.write(t.root() / "dev" / name, "");
    }
    t.addUart("console", "4");
    const auto found = DiscoverSerialDevices(t.roots());
    std::vector<std::string> seen;
    for (const SerialDevice& d : found) {
        seen.push_back(d.path + " " + d.kernelName + " " + d.label());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        t.byId(kIdA) + " ttyUSB1 FTDI FT232R USB UART (A50285BI)",
                        t.byId(kIdB) + " ttyUSB0 FTDI FT232R USB UART (B7731QX2)",
                        t.dev("ttyUSB7") + " ttyUSB7 USB serial adapter ttyUSB7",
                        t.dev("ttyACM0") + " ttyACM0 ?Acme? (" + x128 + ")",
                        t.dev("ttyACM1") + " ttyACM1 USB modem device ttyACM1",
                        t.dev("ttyS0") + " ttyS0 serial port ttyS0",
                    }));

    ComMapping m(t.roots());
    EXPECT_EQ(Previews(m, found),
              (std::vector<std::string>{t.byId(kIdA) + " (FTDI FT232R USB UART (A50285BI))",
                                        t.byId(kIdB) + " (FTDI FT232R USB UART (B7731QX2))",
                                        t.dev("ttyUSB7") + " (USB serial adapter ttyUSB7)",
                                        t.dev("ttyACM0") + " (?Acme? (" + x128 + "))"}));
    // The command line and the stored choices take theirs; the free ports the rest.
    PortMap line;
    line.setDevice(1, t.dev("ttyUSB0"));  // adapter B by its kernel name, winning over...
    line.setDevice(3, "sim");
    m.setCommandLine(line);
    m.setStored(1, "sim");            // ...the stored choice
    m.setStored(4, "relative/path");  // refused: automatic
    EXPECT_EQ(Previews(m, found),
              (std::vector<std::string>{
                  t.dev("ttyUSB0"), t.byId(kIdA) + " (FTDI FT232R USB UART (A50285BI))",
                  "the simulated drive", t.dev("ttyUSB7") + " (USB serial adapter ttyUSB7)"}));

    FakeDeviceTree none;
    none.addUart("ttyS0", "0");
    EXPECT_TRUE(DiscoverSerialDevices(none.roots()).empty());
    EXPECT_EQ(ComMapping(none.roots()).preview(1, {}).describe(), "none");
}

// Opens COM n through the mapping, as a COM pick does; returns the box's detail.
std::string PickFails(ComMapping& m, int n, const std::string& expectedText) {
    VirtualClock clock{1'000'000};
    SharedState state;
    RecordingMessageSink messages;
    DriveLink link(state.link, clock, MakeMappedPortFactory(m, nullptr));
    EXPECT_EQ(link.OpenDrivePort(messages, n), 0);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{expectedText});
    return messages.details().empty() ? std::string() : messages.details().front();
}

TEST(PortDiscovery, AnAdapterUnpluggedBetweenTwoPicksIsReportedGoneThenFollowed) {
    FakeDeviceTree t;
    TwoAdaptersAndTtyS0(t);
    ComMapping m(t.roots());
    EXPECT_EQ(m.pick(1).device, t.byId(kIdA));
    EXPECT_EQ(m.pick(2).device, t.byId(kIdB));
    t.unplug("ttyUSB1", kIdA);
    EXPECT_EQ(PickFails(m, 1, "Create COM1 Fails!"),
              "Device: " + t.byId(kIdA) +
                  " (FTDI FT232R USB UART (A50285BI))\n"
                  "Reason: the device is not there (was the adapter unplugged?)\n"
                  "Remedy: plug the adapter in and pick COM1 again, or choose the device in COM > "
                  "Port Settings... (quendrix-cli: --port or --com)");
    // COM2 keeps adapter B; COM1 follows what is left: ttyS0.
    EXPECT_EQ(m.pick(1).device, t.dev("ttyS0"));
    EXPECT_EQ(m.pick(2).device, t.byId(kIdB));

    // A stored choice whose adapter is absent stays, and says so at every pick.
    m.setStored(3, t.byId(kIdA));
    for (int pick = 0; pick < 2; ++pick) {
        EXPECT_NE(PickFails(m, 3, "Create COM3 Fails!").find("Device: " + t.byId(kIdA) + "\n"),
                  std::string::npos);
    }
    EXPECT_EQ(PickFails(m, 4, "Create COM4 Fails!"),
              "Device: none\nReason: no serial adapter, and no serial port with a UART behind it, "
              "was found for COM4\nRemedy: plug the adapter in and pick COM4 again, or choose the "
              "device in COM > Port Settings... (quendrix-cli: --port or --com)");
}

TEST(PortDiscovery, FailureDetailNamesTheReasonAndTheRemedy) {
    // Stage, errno and the port's reason in; the Reason line and a part of the Remedy out.
    const std::tuple<PortStage, int, std::string, std::string, std::string> cases[] = {
        {PortStage::Create, EACCES, "", "Permission denied",
         "dialout group: add your user to it (sudo adduser $USER dialout), log out and in again, "
         "then pick COM2 again"},
        {PortStage::Create, EPERM, "x", "x", "dialout"},
        {PortStage::Create, EBUSY, "in use; held by minicom (pid 7)",
         "in use; held by minicom (pid 7)", "ModemManager"},
        {PortStage::Create, ENXIO, "", "No such device or address", "plug the adapter in"},
        {PortStage::Create, EIO, "", "Input/output error", ""},
        {PortStage::Create, 0, "", "the port could not be opened", ""},
        {PortStage::Setup, ENOTTY, "", "Inappropriate ioctl for device", "no serial port"},
        {PortStage::Setup, 0, "", "the line settings were refused", "no serial port"},
        {PortStage::Probe, 0, "", "no valid reply to the probe request within 1000 ms",
         "115200 baud, 8 data bits, odd parity, 2 stop bits"},
    };
    for (const auto& [stage, error, reason, expectReason, expectRemedy] : cases) {
        const std::string d = PortFailureDetail({stage, "COM2", "/dev/ttyUSB0", error, reason});
        const std::string head = "Device: /dev/ttyUSB0\nReason: " + expectReason;
        EXPECT_EQ(d.substr(0, head.size() + 9), head + (expectRemedy.empty() ? "" : "\nRemedy: "));
        EXPECT_NE(d.find(expectRemedy, head.size()), std::string::npos) << d;
    }
}

TEST(PortDiscovery, HoldersOfABusyDeviceAndStoredChoicesFromTheSettingsFile) {
    // Adapter A is a pseudo-terminal that a port of this process holds.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const std::string pty = ::ptsname(master);
    FakeDeviceTree t;
    t.addAdapter("ttyUSB0", kIdA, 1, "FTDI", "FT232R USB UART", "A50285BI", pty);
    PosixSerialPort holder(pty);
    ASSERT_EQ(holder.open(), OpenResult::Ok);
    const auto proc = t.root() / "proc";
    // Two holders; a process holding another device; "self" and this process.
    for (const auto& [pid, device] :
         std::vector<std::pair<std::string, std::string>>{{"4240", pty},
                                                          {"52", pty},
                                                          {"17", "/dev/null"},
                                                          {"self", pty},
                                                          {std::to_string(::getpid()), pty}}) {
        t.write(proc / pid / "comm", (pid == "52" ? "ModemManager\n" : "minicom\n"));
        std::filesystem::create_directories(proc / pid / "fd");
        std::filesystem::create_symlink(device, proc / pid / "fd" / "3");
    }
    ComMapping m(t.roots());
    EXPECT_NE(PickFails(m, 1, "Create COM1 Fails!")
                  .find("; held by ModemManager (pid 52), minicom (pid 4240)\nRemedy: another"),
              std::string::npos);
    holder.close();
    ::close(master);

    const auto file = t.root() / "Quendrix.conf";
    t.write(file,
            "[Recent%20File%20List]\nFile1=/home/a/x.par\nCOM1=/wrong/group\n"
            "[Ports]\r\nCOM1=\"/dev/serial/by-id/usb-A;B, C\"\r\nCOM2 = sim\nCOM3=/dev/x\\\n"
            "COM4=/dev/a\\\\b ; comment\nCOM5=/dev/ttyS4\n[Other]\nCOM2=/x\n");
    EXPECT_EQ(ReadStoredComChoices(file),
              (std::array<std::string, 4>{"/dev/serial/by-id/usb-A;B, C", "sim", "", "/dev/a\\b"}));
    t.write(file, "[Ports]\nCOM4=ttyUSB0\n");
    EXPECT_EQ(ReadStoredComChoices(file), (std::array<std::string, 4>{}));
    ASSERT_EQ(::mkfifo((t.root() / "fifo.conf").c_str(), 0600), 0);
    EXPECT_EQ(ReadStoredComChoices(t.root() / "fifo.conf"), (std::array<std::string, 4>{}));

    // Where the window keeps its settings: $XDG_CONFIG_HOME when it is absolute, else ~/.config.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/q", 1);
    for (const auto& [xdg, path] : {std::pair{"/x", "/x"}, std::pair{"x", "/home/q/.config"}}) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(ComSettingsPath(),
                  std::string(path) + "/Local AppWizard-Generated Applications/Quendrix.conf");
    }
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

TEST(PortDiscovery, ChoicesTheDevicesReportAndTheConnectionSummary) {
    FakeDeviceTree t;
    TwoAdaptersAndTtyS0(t);
    const auto found = DiscoverSerialDevices(t.roots());
    const auto items = ComChoiceItems(found);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[1].text, "FTDI FT232R USB UART (A50285BI) - " + t.byId(kIdA));
    for (const auto& [text, choice] : std::vector<std::pair<std::string, std::string>>{
             {items[1].text, t.byId(kIdA)},
             {"Simulated drive", "sim"},
             {"  ", ""},
             {" /dev/ttyACM7 ", "/dev/ttyACM7"},
             {"/" + std::string(kMaxDevicePathChars - 1, 'a'),
              "/" + std::string(kMaxDevicePathChars - 1, 'a')},
             {"/" + std::string(kMaxDevicePathChars, 'a'), "<refused>"},
             {"/dev/\x7f", "<refused>"},
             {"ttyUSB0", "<refused>"},
             {"/dev/\ttab", "<refused>"}}) {
        EXPECT_EQ(ComChoiceFromText(text, items).value_or("<refused>"), choice) << text;
    }

    ComMapping m(t.roots());
    PortMap line;
    line.setDevice(4, "sim");
    m.setCommandLine(line);
    m.setStored(2, "/dev/serial/by-id/usb-gone");
    EXPECT_EQ(DevicesReport(found, m),
              (std::vector<std::string>{
                  t.byId(kIdA) + "  ttyUSB1  FTDI FT232R USB UART (A50285BI)",
                  t.byId(kIdB) + "  ttyUSB0  FTDI FT232R USB UART (B7731QX2)",
                  t.dev("ttyS0") + "  ttyS0  serial port ttyS0",
                  "COM1: " + t.byId(kIdA) + " (FTDI FT232R USB UART (A50285BI)), automatic",
                  "COM2: /dev/serial/by-id/usb-gone, as set in Port Settings, not present",
                  "COM3: " + t.byId(kIdB) + " (FTDI FT232R USB UART (B7731QX2)), automatic",
                  "COM4: the simulated drive, from the command line"}));
    EXPECT_EQ(DevicesReport({}, ComMapping(t.roots())).front(), "No serial device found.");

    SharedState s;
    EXPECT_EQ(ConnectionSummary(s, "", "", ""),
              (std::vector<std::string>{"Port: none picked yet (COM menu)", "Drive: not connected",
                                        "Versions: none read yet", "Last operation: none yet"}));
    s.link.portOpen = 1;
    s.link.driveConnected = 1;
    s.identity.bootRomVersion = 101;
    s.identity.softwareVersion = 913;
    s.identity.fpgaVersion = 258;
    s.identity.versionAccepted = 1;
    EXPECT_EQ(
        ConnectionSummary(s, "COM1", "/dev/ttyUSB0 (FTDI)",
                          "Notes: Connectting with servo succeeds!"),
        (std::vector<std::string>{"Port: COM1 on /dev/ttyUSB0 (FTDI)", "Drive: connected",
                                  "Versions: boot ROM 101, software 913, FPGA 258",
                                  "Last operation: Notes: Connectting with servo succeeds!"}));
    s.link.driveConnected = 0;
    s.identity.versionAccepted = 0;
    s.identity.softwareVersion = 1004;
    EXPECT_EQ(ConnectionSummary(s, "COM2", "none", "Warning: Quendrix mismatchs the servo!")[1],
              "Drive: not connected (the port is open)");
    EXPECT_EQ(ConnectionSummary(s, "COM3", "", "")[0], "Port: COM3, no device found for it");
    EXPECT_EQ(ConnectionSummary(s, "COM2", "none", "")[2],
              "Versions: boot ROM 101, software 1004, FPGA 258 (software version not supported) "
              "(the drive identified last)");
}

}  // namespace
}  // namespace qx::test
