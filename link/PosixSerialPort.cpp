#include "link/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace qx {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime Now() {
    return std::chrono::steady_clock::now();
}

// Remainders shorter than this are waited for byte by byte.
constexpr std::size_t kSleepAheadMinBytes = 8;

// Waits for `events` on fd until `deadline`; returns the revents seen (0 on time-out).
short WaitFor(int fd, short events, SteadyTime deadline) {
    for (;;) {
        const auto left = deadline - Now();
        if (left <= std::chrono::nanoseconds::zero()) {
            return 0;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        pollfd p{fd, events, 0};
        const int r = ppoll(&p, 1, &ts, nullptr);
        if (r > 0) {
            return p.revents;
        }
        if (r == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return POLLERR;
        }
    }
}

// Errors of a device that has been unplugged or hung up.
bool IsDeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

// Unix 98 pseudo-terminal slaves live on majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

}  // namespace

PosixSerialPort::PosixSerialPort(std::string devicePath) : path_(std::move(devicePath)) {}

PosixSerialPort::~PosixSerialPort() {
    close();
}

void PosixSerialPort::setError(const std::string& what, int err) {
    lastError_ = path_ + ": " + what + (err ? std::string(": ") + std::strerror(err) : "");
    lastErrno_ = err;
}

OpenResult PosixSerialPort::open() {
    close();
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int err = errno;
        setError("cannot open", err);
        return err == ENOENT ? OpenResult::NotFound
                             : (err == EBUSY ? OpenResult::Busy : OpenResult::Failed);
    }
    // Exclusive use: an advisory lock that every Quendrix (and most serial tools) honour,
    // and the tty's own exclusive mode against everything else.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        setError("in use by another program", errno == EWOULDBLOCK ? 0 : errno);
        lastErrno_ = EBUSY;
        close();
        return OpenResult::Busy;
    }
    exclusive_ = ::isatty(fd_) && ::ioctl(fd_, TIOCEXCL) == 0;
    return OpenResult::Ok;
}

bool PosixSerialPort::configure(const LineSettings& s) {
    termios tio{};
    if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) {
        setError("not a serial device", errno);
        return false;
    }
    speed_t speed = B115200;
    switch (s.baudRate) {
        case 9600:
            speed = B9600;
            break;
        case 19200:
            speed = B19200;
            break;
        case 38400:
            speed = B38400;
            break;
        case 57600:
            speed = B57600;
            break;
        default:
            speed = B115200;
            break;
    }
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    // A start bit, the data, the parity bit and the stop bits.
    const uint32_t bitsPerByte = 1u + (s.dataBits == 7 ? 7u : 8u) +
                                 (s.parity != Parity::None ? 1u : 0u) + (s.stopBits == 2 ? 2u : 1u);
    const uint32_t baud = s.baudRate == 0 ? 115200u : s.baudRate;
    byteTime_ = std::chrono::nanoseconds(uint64_t{bitsPerByte} * 1'000'000'000u / baud);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    tio.c_cflag |= s.dataBits == 7 ? CS7 : CS8;
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (s.parity != Parity::None) {
        tio.c_cflag |= PARENB;
        if (s.parity == Parity::Odd) {
            tio.c_cflag |= PARODD;
        }
    }
    if (s.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    } else {
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    }
    tio.c_cflag |= CREAD | CLOCAL;
    if (s.parityCheck) {
        tio.c_iflag |= INPCK;
    } else {
        tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    }
    if (s.binary) {
        // Binary: every byte passes untouched. That includes 0x11 and 0x13, so software
        // flow control cannot stay on; hardware flow control stays as the driver set it.
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR |
                                              IGNCR | ICRNL | IXON | IXOFF | IXANY);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    hardwareFlow_ = (tio.c_cflag & CRTSCTS) != 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        const int err = errno;
        // A pseudo-terminal has no parity generator, so the C library reports the
        // unsupported parity bit as an error although everything else took effect.
        termios now{};
        const tcflag_t kept = static_cast<tcflag_t>(PARENB | PARODD);
        if (err == EINVAL && IsPseudoTerminal(fd_) && ::tcgetattr(fd_, &now) == 0 &&
            (now.c_cflag | kept) == (tio.c_cflag | kept) && now.c_iflag == tio.c_iflag &&
            now.c_lflag == tio.c_lflag) {
            return true;
        }
        setError("cannot apply the line settings", err);
        return false;
    }
    return true;
}

bool PosixSerialPort::setQueueSizes(std::size_t, std::size_t) {
    // The kernel's tty buffers are larger than the 1024 bytes asked for.
    return fd_ >= 0;
}

bool PosixSerialPort::purge() {
    return fd_ >= 0 && ::tcflush(fd_, TCIOFLUSH) == 0;
}

bool PosixSerialPort::setTimeouts(const PortTimeouts& timeouts) {
    timeouts_ = timeouts;
    return fd_ >= 0;
}

std::size_t PosixSerialPort::read(uint8_t* buffer, std::size_t maxBytes) {
    if (fd_ < 0 || maxBytes == 0) {
        return 0;
    }
    // The end of a reply is a 1 ms silence: the kernel's default 50 us timer slack on
    // every such wait would cost the link several per cent of its speed.
    static thread_local const bool precise = ::prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    (void)precise;
    using std::chrono::milliseconds;
    const SteadyTime start = Now();
    const SteadyTime total =
        start + milliseconds(timeouts_.readTotalConstantMs +
                             timeouts_.readTotalPerByteMs * static_cast<uint32_t>(maxBytes));
    std::size_t got = 0;
    // What has arrived already; the rest comes no faster than the line carries it, so
    // a long remainder is slept through rather than woken for every few bytes. The
    // sleep ends before the last of them can be here, so the read returns no later.
    if (const ssize_t r = ::read(fd_, buffer, maxBytes); r > 0) {
        got = static_cast<std::size_t>(r);
    }
    if (const std::size_t missing = maxBytes - got; missing > kSleepAheadMinBytes) {
        std::this_thread::sleep_until(
            std::min(total, Now() + byteTime_ * static_cast<int64_t>(missing - 1)));
    }
    while (got < maxBytes) {
        SteadyTime deadline = total;
        if (got > 0) {
            deadline = std::min(total, Now() + milliseconds(timeouts_.readIntervalMs));
        }
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (ev == 0) {
            break;
        }
        int err = 0;
        if (ev & POLLIN) {
            const ssize_t r = ::read(fd_, buffer + got, maxBytes - got);
            if (r > 0) {
                got += static_cast<std::size_t>(r);
                continue;
            }
            err = r < 0 ? errno : 0;
            if (err == EAGAIN || err == EINTR) {
                continue;
            }
        }
        if ((ev & POLLHUP) || IsDeviceGone(err)) {
            // Whatever the device had sent came before the hang-up and is in `got`.
            deviceGone(err);
            break;
        }
        // An error with nothing to read: the line is dead until the deadline, and
        // sleeping it out keeps a misbehaving device from spinning the caller.
        std::this_thread::sleep_until(deadline);
        break;
    }
    noteReceived(got);
    return got;
}

std::size_t PosixSerialPort::readAvailable(uint8_t* buffer, std::size_t maxBytes) {
    if (fd_ < 0 || maxBytes == 0) {
        return 0;
    }
    const ssize_t r = ::read(fd_, buffer, maxBytes);  // the descriptor never blocks
    if (r < 0 && IsDeviceGone(errno)) {
        deviceGone(errno);
    }
    const std::size_t got = r > 0 ? static_cast<std::size_t>(r) : 0;
    noteReceived(got);
    return got;
}

void PosixSerialPort::noteReceived(std::size_t bytes) {
    // A reply means the request has left. The estimate of when the line falls idle
    // counts bytes at the line's speed, but a device that answers faster than that (a
    // pseudo-terminal) would let it run ahead of the clock by every exchange.
    if (bytes > 0) {
        txIdleAt_ = std::min(txIdleAt_, Now());
    }
}

std::size_t PosixSerialPort::write(const uint8_t* data, std::size_t bytes) {
    if (fd_ < 0) {
        return 0;
    }
    using std::chrono::milliseconds;
    const SteadyTime deadline =
        Now() + milliseconds(timeouts_.writeTotalConstantMs +
                             timeouts_.writeTotalPerByteMs * static_cast<uint32_t>(bytes));
    const SteadyTime start = Now();
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t r = ::write(fd_, data + done, bytes - done);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR) {
            const int err = errno;
            if (IsDeviceGone(err)) {
                deviceGone(err);
            } else {
                setError("write failed", err);
            }
            break;
        }
        const short ev = WaitFor(fd_, POLLOUT, deadline);
        if (!(ev & POLLOUT)) {
            break;
        }
    }
    txIdleAt_ = std::max(start, txIdleAt_) + byteTime_ * static_cast<int64_t>(done);
    return done;
}

bool PosixSerialPort::drain() {
    if (fd_ < 0) {
        return false;
    }
    if (!hardwareFlow_) {
        // Nothing can hold the line, so the driver's wait ends with the bytes it holds.
        while (::tcdrain(fd_) != 0) {
            const int err = errno;
            if (err == EINTR) {
                continue;
            }
            if (IsDeviceGone(err)) {
                deviceGone(err);
            } else {
                setError("cannot wait for the output to leave", err);
            }
            return false;
        }
    } else {
        // A device that never clears the line to send would block tcdrain for ever:
        // watch the driver's queue instead, within the write time-out.
        const SteadyTime deadline =
            std::max(Now(), txIdleAt_) + std::chrono::milliseconds(timeouts_.writeTotalConstantMs);
        int queued = 0;
        while (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
            if (Now() >= deadline) {
                setError("the output did not leave in time", 0);
                return false;
            }
            std::this_thread::sleep_for(std::max<std::chrono::nanoseconds>(
                byteTime_ * queued, std::chrono::milliseconds(1)));
        }
    }
    // A pseudo-terminal, and an adapter that buffers beyond its driver, say the bytes
    // are gone once handed on; the line cannot have carried them sooner than this.
    std::this_thread::sleep_until(txIdleAt_);
    return true;
}

void PosixSerialPort::deviceGone(int err) {
    // A hung-up line never comes back. Letting go of it at once frees the device's
    // name, so an adapter plugged back in returns under the same one instead of the next,
    // and from here on the link waits out its time-outs without touching a dead device.
    close();
    setError("the device has gone (hang-up)", err);
}

void PosixSerialPort::close() {
    if (fd_ >= 0) {
        // The tty keeps its exclusive mode past our descriptor (a pseudo-terminal whose
        // other end stays open): cleared, so the next program of an ordinary user can
        // open it again. Only ours: a port refused as busy leaves the holder's mode be.
        if (exclusive_) {
            ::ioctl(fd_, TIOCNXCL);
            exclusive_ = false;
        }
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace qx
