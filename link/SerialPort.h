#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qx {

enum class Parity { None, Odd, Even };

struct LineSettings {
    uint32_t baudRate = 115200;
    uint8_t dataBits = 8;
    Parity parity = Parity::Odd;
    uint8_t stopBits = 2;
    bool binary = true;
    bool parityCheck = true;
};

// Read time-outs in the serial driver's sense: a read returns when the buffer is full,
// when the line has been silent for `readIntervalMs` after a byte, or after
// `readTotalPerByteMs` x requested bytes + `readTotalConstantMs`.
struct PortTimeouts {
    uint32_t readIntervalMs = 1;
    uint32_t readTotalPerByteMs = 1;
    uint32_t readTotalConstantMs = 50;
    uint32_t writeTotalPerByteMs = 1;
    uint32_t writeTotalConstantMs = 50;
};

enum class OpenResult { Ok, NotFound, Busy, Failed };

// A serial port as the drive link needs it. One thread uses a port at a time.
class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Opens the device exclusively: a port in use by anyone else is Busy.
    virtual OpenResult open() = 0;
    // Reads the current line settings, changes those given and writes them back.
    virtual bool configure(const LineSettings& settings) = 0;
    virtual bool setQueueSizes(std::size_t inputBytes, std::size_t outputBytes) = 0;
    // Discards pending input and output.
    virtual bool purge() = 0;
    virtual bool setTimeouts(const PortTimeouts& timeouts) = 0;
    // Reads at most `maxBytes` under the time-outs; returns the count read (0 on silence).
    virtual std::size_t read(uint8_t* buffer, std::size_t maxBytes) = 0;
    // Takes what has already arrived, up to `maxBytes`, without waiting.
    virtual std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) = 0;
    // Writes a block; returns the count written. The bytes may still be queued.
    virtual std::size_t write(const uint8_t* data, std::size_t bytes) = 0;
    // Waits until what was written has left the port (a pause on the line must follow
    // the bytes, not their queueing). False when it could not be sure they did.
    virtual bool drain() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The operating system's reason for the last failure, for the terminal and logs of
    // a failure the user must understand ("Permission denied", "not a serial device").
    virtual std::string lastError() const { return {}; }
    // The system's error number behind lastError() (errno), 0 when it gave none.
    virtual int lastErrorNumber() const { return 0; }
    // The device as the user knows it: its path and, for an adapter, its name.
    virtual std::string deviceName() const { return {}; }
};

// Makes the port object for a COM port name ("COM1" to "COM4"). Returns null when the
// name maps to nothing.
using PortFactory = std::function<std::unique_ptr<SerialPort>(const std::string& portName)>;

}  // namespace qx
