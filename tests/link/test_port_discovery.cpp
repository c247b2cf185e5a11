// Finding the serial devices on made-up device trees, the COM ports that follow them,
// the stored choices, and what a port failure tells the user.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "link/ComChoices.h"
#include "link/ComSettingsFile.h"
#include "link/PortFailure.h"
#include "link/PosixSerialPort.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kIdA = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kIdB = "usb-FTDI_FT232R_USB_UART_B7731QX2-if00-port0";

// Two FTDI adapters (B got the lower number), a real ttyS0 and three ttyS without UART.
void TwoAdaptersAndTtyS0(FakeDeviceTree& t) {
    t.addAdapter("ttyUSB1", kIdA, 1, "  FTDI ", "FT232R USB UART", "A50285BI");
    t.addAdapter("ttyUSB0", kIdB, 2, "FTDI", "FT232R USB UART", "B7731QX2");
    for (const auto& [name, type] :
         {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS2", "4x"}, {"ttyS3", ""}}) {
        t.addUart(name, type);
    }
}

// What `quendrix-cli devices` says: the devices in the order COM ports take them, then
// what each COM port reaches and why.
TEST(PortDiscovery, DevicesFoundAndWhatEachComPortReaches) {
    FakeDeviceTree t;
    TwoAdaptersAndTtyS0(t);
    // Adapters without udev's by-id link, one with a name sysfs spoils, one nameless;
    // nodes that are no serial ports.
    const std::string x128(kMaxAttributeChars, 'X');
    std::filesystem::create_symlink("../../ttyUSB1", t.byId(std::string(kIdA) + "-alias"));
    t.addAdapter("ttyACM0", "", 3, "\x01" + std::string("Acme\x7f"), "", x128 + "Y");
    for (const char* name :
         {"ttyACM1", "ttyUSB7", "ttyUSBx", "ttyUSB", "ttyS", "ttyUSB99999999999999999999999"}) {
        t.write(t.root() / "dev" / name, "");
    }
    // A tty whose USB device lies `up` folders above its own: named up to six folders up.
    for (const auto& [kernel, up] : {std::pair{"ttyACM2", kMaxUsbAncestors}, {"ttyACM3", 7}}) {
        auto usb = t.root() / "sys" / "devices" / kernel;
        t.write(usb / "idVendor", "0403\n");
        t.write(usb / "product", "Deep\n");
        for (int k = 1; k < up; ++k) {
            usb /= "x";
        }
        std::filesystem::create_directories(usb / kernel);
        t.write(t.root() / "dev" / kernel, "");
        t.write(t.root() / "sys" / "class" / "tty" / kernel / "type", "");
        std::filesystem::create_symlink(usb / kernel,
                                        t.root() / "sys" / "class" / "tty" / kernel / "device");
    }
    t.addUart("console", "4");
    const auto found = DiscoverSerialDevices(t.roots());
    const std::string a = t.byId(kIdA) + " (FTDI FT232R USB UART (A50285BI))";
    const std::string acm = t.dev("ttyACM0") + " (?Acme? (" + x128 + "))";
    const Lines devices = {t.byId(kIdA) + "  ttyUSB1  FTDI FT232R USB UART (A50285BI)",
                           t.byId(kIdB) + "  ttyUSB0  FTDI FT232R USB UART (B7731QX2)",
                           t.dev("ttyUSB7") + "  ttyUSB7  USB serial adapter ttyUSB7",
                           t.dev("ttyACM0") + "  ttyACM0  ?Acme? (" + x128 + ")",
                           t.dev("ttyACM1") + "  ttyACM1  USB modem device ttyACM1",
                           t.dev("ttyACM2") + "  ttyACM2  Deep",
                           t.dev("ttyACM3") + "  ttyACM3  USB modem device ttyACM3",
                           t.dev("ttyS0") + "  ttyS0  serial port ttyS0"};
    auto report = [&](const ComMapping& m, Lines ports) {
        ports.insert(ports.begin(), devices.begin(), devices.end());
        EXPECT_EQ(DevicesReport(found, m), ports);
    };
    ComMapping m(t.roots());
    report(m, {"COM1: " + a + ", automatic",
               "COM2: " + t.byId(kIdB) + " (FTDI FT232R USB UART (B7731QX2)), automatic",
               "COM3: " + t.dev("ttyUSB7") + " (USB serial adapter ttyUSB7), automatic",
               "COM4: " + acm + ", automatic"});
    // The command line wins over the stored choices; the free ports take the rest.
    PortMap line;
    line.setDevice(1, t.dev("ttyUSB0"));  // adapter B by its kernel name
    line.setDevice(4, "sim");
    m.setCommandLine(line);
    m.setStored(1, "sim");
    m.setStored(2, "relative/path");  // refused: automatic
    m.setStored(3, "/dev/serial/by-id/usb-gone");
    report(m,
           {"COM1: " + t.dev("ttyUSB0") + ", from the command line", "COM2: " + a + ", automatic",
            "COM3: /dev/serial/by-id/usb-gone, as set in Port Settings, not present",
            "COM4: the simulated drive, from the command line"});
    FakeDeviceTree none;
    none.addUart("ttyS0", "0");
    EXPECT_EQ(
        DevicesReport(DiscoverSerialDevices(none.roots()), ComMapping(none.roots())),
        (Lines{"No serial device found.", "COM1: none", "COM2: none", "COM3: none", "COM4: none"}));

    // "Port Settings...": a device's text stands for its path, anything typed must be one.
    const auto items = ComChoiceItems(found);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[1].text, "FTDI FT232R USB UART (A50285BI) - " + t.byId(kIdA));
    const std::string longest = "/" + std::string(kMaxDevicePathChars - 1, 'a');
    const std::pair<std::string, std::string> choices[] = {
        {items[1].text, t.byId(kIdA)},      {"Simulated drive", "sim"}, {"  ", ""},
        {" /dev/ttyACM7 ", "/dev/ttyACM7"}, {longest, longest},         {longest + "a", "refused"},
        {"/dev/\x7f", "refused"},           {"ttyUSB0", "refused"},     {"/dev/\ttab", "refused"}};
    for (const auto& [text, choice] : choices) {
        EXPECT_EQ(ComChoiceFromText(text, items).value_or("refused"), choice) << text;
    }
}

// Opens COM n through the mapping, as a COM pick does; gives the box and its detail.
std::string PickFails(ComMapping& m, int n) {
    ScriptedLink s;
    DriveLink link(s.state.link, s.clock, MakeMappedPortFactory(m, nullptr));
    EXPECT_EQ(link.OpenDrivePort(s.messages, n), 0);
    return s.messages.texts().at(0) + "\n" + s.messages.details().at(0);
}

TEST(PortDiscovery, AnAdapterUnpluggedBetweenTwoPicksIsReportedGoneThenFollowed) {
    FakeDeviceTree t;
    TwoAdaptersAndTtyS0(t);
    ComMapping m(t.roots());
    EXPECT_EQ(m.pick(1).device, t.byId(kIdA));
    EXPECT_EQ(m.pick(2).device, t.byId(kIdB));
    t.unplug("ttyUSB1", kIdA);
    // The whole detail of an adapter gone, its Reason and Remedy: devices_over_pty.sh.
    EXPECT_NE(PickFails(m, 1).find("Device: " + t.byId(kIdA) +
                                   " (FTDI FT232R USB UART (A50285BI))\nReason: the device is not"),
              std::string::npos);
    // COM2 keeps adapter B; COM1 follows what is left: ttyS0.
    EXPECT_EQ(m.pick(1).device, t.dev("ttyS0"));
    EXPECT_EQ(m.pick(2).device, t.byId(kIdB));
    // A stored choice whose adapter is absent stays, and says so at every pick.
    m.setStored(3, t.byId(kIdA));
    for (int pick = 0; pick < 2; ++pick) {
        EXPECT_NE(PickFails(m, 3).find("Device: " + t.byId(kIdA) + "\n"), std::string::npos);
    }
    EXPECT_EQ(PickFails(m, 4),
              "Create COM4 Fails!\nDevice: none\nReason: no serial adapter, and "
              "no serial port with a UART behind it, was found for COM4\nRemedy: "
              "plug the adapter in and pick COM4 again, or choose the device in COM > Port "
              "Settings... (quendrix-cli: --port or --com)");
}

TEST(PortDiscovery, FailureDetailNamesTheReasonAndTheRemedy) {
    // Stage and errno in; the Reason line and the Remedy's start out (a device not there:
    // devices_over_pty.sh).
    const std::tuple<PortStage, int, std::string> cases[] = {
        {PortStage::Create, EACCES,
         "Permission denied\nRemedy: serial devices belong to the dialout group: add your user to "
         "it (sudo adduser $USER dialout), log out and in again, then pick COM2 again"},
        {PortStage::Create, 0, "the port could not be opened"},
        {PortStage::Setup, 0, "the line settings were refused\nRemedy: the device takes no"},
        {PortStage::Probe, 0,
         "no valid reply to the probe request within 1000 ms\nRemedy: check that the drive is "
         "powered"},
    };
    for (const auto& [stage, error, expected] : cases) {
        const std::string d = PortFailureDetail({stage, "COM2", "/dev/ttyUSB0", error, ""});
        const std::string head = "Device: /dev/ttyUSB0\nReason: " + expected;
        // Without a remedy known, the detail ends with the reason.
        EXPECT_EQ(
            d.substr(0, expected.find("Remedy") == std::string::npos ? d.size() : head.size()),
            head);
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
    // Two holders; a process holding another device; "self" and this process.
    const std::string me = std::to_string(::getpid());
    for (const std::string pid : {"4240", "52", "17", "self", me.c_str()}) {
        t.write(t.root() / "proc" / pid / "comm", pid == "52" ? "ModemManager\n" : "minicom\n");
        std::filesystem::create_directories(t.root() / "proc" / pid / "fd");
        std::filesystem::create_symlink(pid == "17" ? "/dev/null" : pty,
                                        t.root() / "proc" / pid / "fd" / "3");
    }
    ComMapping m(t.roots());
    EXPECT_NE(PickFails(m, 1).find("; held by ModemManager (pid 52), minicom (pid 4240)\n"),
              std::string::npos);
    holder.close();
    ::close(master);

    const auto file = t.root() / "Quendrix.conf";
    t.write(file,
            "[Recent%20File%20List]\nFile1=/home/a/x.par\nCOM1=/wrong/group\n"
            "[Ports]\r\nCOM1=\"/dev/serial/by-id/usb-A;B, C\"\r\nCOM2 = sim\nCOM3=/dev/x\\y\n"
            "COM4=/dev/a\\\\b ; comment\nCOM5=/dev/ttyS4\n[Other]\nCOM2=/x\n");
    EXPECT_EQ(ReadStoredComChoices(file),
              (std::array<std::string, 4>{"/dev/serial/by-id/usb-A;B, C", "sim", "", "/dev/a\\b"}));
    for (const char* refused : {"[Ports]\nCOM4=ttyUSB0\n", "[Ports]\nCOM4=/dev/x\\\n"}) {
        t.write(file, refused);
        EXPECT_EQ(ReadStoredComChoices(file), (std::array<std::string, 4>{})) << refused;
    }
    ASSERT_EQ(::mkfifo((t.root() / "fifo.conf").c_str(), 0600), 0);
    EXPECT_EQ(ReadStoredComChoices(t.root() / "fifo.conf"), (std::array<std::string, 4>{}));

    // Where the window keeps its settings: $XDG_CONFIG_HOME when it is absolute, else ~/.config
    // (each test runs in a process of its own).
    ::setenv("HOME", "/home/q", 1);
    for (const auto& [xdg, path] : {std::pair{"/x", "/x"}, std::pair{"x", "/home/q/.config"}}) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(ComSettingsPath(),
                  std::string(path) + "/Local AppWizard-Generated Applications/Quendrix.conf");
    }
}

}  // namespace
}  // namespace qx::test
