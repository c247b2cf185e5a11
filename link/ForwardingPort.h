#pragma once

#include <memory>
#include <string>

#include "link/SerialPort.h"

namespace qx {

// A serial port that hands every call to the port it wraps: the base of a port that
// watches or steers another (counting its bytes, pulling its cable in a test) and
// overrides only the calls it cares about.
class ForwardingPort : public SerialPort {
  public:
    explicit ForwardingPort(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

    OpenResult open() override { return port_->open(); }
    bool configure(const LineSettings& s) override { return port_->configure(s); }
    bool setQueueSizes(std::size_t in, std::size_t out) override {
        return port_->setQueueSizes(in, out);
    }
    bool purge() override { return port_->purge(); }
    bool setTimeouts(const PortTimeouts& t) override { return port_->setTimeouts(t); }
    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override {
        return port_->read(buffer, maxBytes);
    }
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override {
        return port_->readAvailable(buffer, maxBytes);
    }
    std::size_t write(const uint8_t* data, std::size_t bytes) override {
        return port_->write(data, bytes);
    }
    bool drain() override { return port_->drain(); }
    void close() override { port_->close(); }
    bool isOpen() const override { return port_->isOpen(); }
    std::string lastError() const override { return port_->lastError(); }
    int lastErrorNumber() const override { return port_->lastErrorNumber(); }
    std::string deviceName() const override { return port_->deviceName(); }

  private:
    std::unique_ptr<SerialPort> port_;
};

}  // namespace qx
