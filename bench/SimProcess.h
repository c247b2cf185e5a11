#pragma once

// Starts quendrix-drive-sim as a child process and reads the pseudo-terminal it serves,
// so a benchmark measures the tool through its real termios port with the drive in a
// process of its own.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace qx::bench {

class SimProcess {
  public:
    SimProcess(const std::string& program, std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (std::string& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        ::close(out[0]);
        if (line.empty()) {
            throw std::runtime_error("quendrix-drive-sim did not start: " + program);
        }
        device_ = line;
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& device() const { return device_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    std::string device_;
};

// The drive simulator beside this benchmark's binary, as CMake builds them.
inline std::string DriveSimPath(const char* argv0) {
    std::string self(argv0);
    const auto slash = self.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
    return dir + "/../quendrix-drive-sim";
}

}  // namespace qx::bench
