#pragma once

// Runs quendrix-drive-sim as a child process and reads the device paths it prints, so a
// test or a benchmark reaches the drive through the real termios port with the drive in
// a process of its own. Header-only: the benchmarks use it without the test libraries.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace qx::test {

struct DriveSimProcess {
    // How long the simulator may take to print a device path.
    static constexpr std::chrono::milliseconds kStartWait{10'000};

    // Starts `program` with `args` and waits for the first device path; throws when the
    // simulator does not start.
    DriveSimProcess(const std::string& program, std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        // Everything the child needs is made before it exists: the calling process may
        // have threads of its own.
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const int err =
            ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        pid_ = err == 0 ? pid_ : -1;
        const std::optional<std::string> first = err == 0 ? nextDevice(kStartWait) : std::nullopt;
        if (!first) {
            stopChild();
            throw std::runtime_error("quendrix-drive-sim did not start: " + program);
        }
        device_ = *first;
    }
    ~DriveSimProcess() { stopChild(); }
    DriveSimProcess(const DriveSimProcess&) = delete;
    DriveSimProcess& operator=(const DriveSimProcess&) = delete;

    const std::string& device() const { return device_; }

    // Pulls the simulated cable now (SIGUSR1), and plugs it back in (SIGUSR2).
    void unplug() const { ::kill(pid_, SIGUSR1); }
    void plugIn() const { ::kill(pid_, SIGUSR2); }

    // Waits at most `bound` for the next device path (printed when the cable comes back).
    std::optional<std::string> nextDevice(std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (char c = 0;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            pollfd p{out_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 ||
                ::read(out_, &c, 1) != 1) {
                return std::nullopt;  // a line begun stays in line_ for the next wait
            }
            if (c == '\n') {
                device_ = std::exchange(line_, {});
                return device_;
            }
            line_.push_back(c);
        }
    }

    void stopChild() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (out_ >= 0) {
            ::close(out_);
            out_ = -1;
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string device_;
    std::string line_;
};

}  // namespace qx::test
