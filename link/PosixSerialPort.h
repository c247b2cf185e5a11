#pragma once

#include <chrono>
#include <string>

#include "link/SerialPort.h"

namespace qx {

// A serial device through POSIX termios: a real adapter such as /dev/ttyUSB0, or the
// slave side of a pseudo-terminal. A device that hangs up (an unplugged cable) is closed
// at once: isOpen() turns false and lastError() says why.
class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(std::string devicePath);
    ~PosixSerialPort() override;

    OpenResult open() override;
    bool configure(const LineSettings& settings) override;
    bool setQueueSizes(std::size_t inputBytes, std::size_t outputBytes) override;
    bool purge() override;
    bool setTimeouts(const PortTimeouts& timeouts) override;
    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override;
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override;
    std::size_t write(const uint8_t* data, std::size_t bytes) override;
    bool drain() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    std::string lastError() const override { return lastError_; }
    int lastErrorNumber() const override { return lastErrno_; }
    std::string deviceName() const override { return path_; }

    const std::string& devicePath() const { return path_; }

  private:
    void setError(const std::string& what, int err);
    void deviceGone(int err);
    void noteReceived(std::size_t bytes);

    std::string path_;
    int fd_ = -1;
    PortTimeouts timeouts_;
    // How long a byte takes on the line as configured.
    std::chrono::nanoseconds byteTime_{0};
    // The earliest instant the bytes written so far can have left the line.
    std::chrono::steady_clock::time_point txIdleAt_{};
    // Hardware flow control, as the driver had it: the device may hold the line.
    bool hardwareFlow_ = false;
    // Whether this port put the tty into exclusive mode.
    bool exclusive_ = false;
    std::string lastError_;
    int lastErrno_ = 0;
};

}  // namespace qx
