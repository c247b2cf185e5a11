#pragma once

// A made-up /dev, /sys and /proc in a temporary folder, for port discovery and mapping.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/SerialDevices.h"

namespace qx::test {

struct FakeDeviceTree {
    FakeDeviceTree() {
        char dir[] = "/tmp/quendrix-devices-XXXXXX";
        root_ = ::mkdtemp(dir);
        std::filesystem::create_directories(root_ / "dev" / "serial" / "by-id");
        std::filesystem::create_directories(root_ / "sys" / "class" / "tty");
    }
    ~FakeDeviceTree() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    DeviceRoots roots() const { return DeviceRoots::Under(root_); }
    const std::filesystem::path& root() const { return root_; }
    std::string dev(const std::string& name) const { return (root_ / "dev" / name).string(); }
    std::string byId(const std::string& name) const {
        return (root_ / "dev" / "serial" / "by-id" / name).string();
    }

    // A USB adapter on usb bus `bus`: its device node (a link to `target`, or an empty
    // file), its by-id link (unless `byIdName` is empty) and its USB device in sysfs.
    void addAdapter(const std::string& kernel, const std::string& byIdName, int bus,
                    const std::string& vendor, const std::string& product,
                    const std::string& serial, const std::string& target = {}) {
        namespace fs = std::filesystem;
        if (target.empty()) {
            write(root_ / "dev" / kernel, "");
        } else {
            fs::create_symlink(target, root_ / "dev" / kernel);
        }
        if (!byIdName.empty()) {
            fs::create_symlink("../../" + kernel, root_ / "dev" / "serial" / "by-id" / byIdName);
        }
        const fs::path usb = root_ / "sys" / "devices" / ("usb" + std::to_string(bus)) / "1-1";
        write(usb / "idVendor", "0403\n");
        write(usb / "manufacturer", vendor + "\n");
        write(usb / "product", product + "\n");
        write(usb / "serial", serial + "\n");
        fs::create_directories(usb / "1-1:1.0" / kernel);
        fs::create_directories(root_ / "sys" / "class" / "tty" / kernel);
        fs::create_symlink(usb / "1-1:1.0" / kernel,
                           root_ / "sys" / "class" / "tty" / kernel / "device");
    }
    // A ttyS port whose sysfs "type" says which UART is behind it ("0": none).
    void addUart(const std::string& name, const std::string& type) {
        write(root_ / "dev" / name, "");
        write(root_ / "sys" / "class" / "tty" / name / "type", type + "\n");
    }
    // The adapter is pulled: udev removes its node and its by-id link.
    void unplug(const std::string& kernel, const std::string& byIdName) {
        std::filesystem::remove(root_ / "dev" / kernel);
        std::filesystem::remove(root_ / "dev" / "serial" / "by-id" / byIdName);
    }
    static void write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    std::filesystem::path root_;
};

}  // namespace qx::test
