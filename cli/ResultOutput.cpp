#include "cli/ResultOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/CliContext.h"

namespace qx::cli {

std::string ExactNumber(double value) {
    // Plain digits, never an exponent: the longest double in them has some 330.
    char text[400];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
    return std::string(text, end);
}

std::string CsvField(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::optional<std::string> WriteResultFile(const std::string& path, const std::string& text) {
    const auto failure = [&path](int error) {
        return "cannot write " + path + ": " + std::strerror(error);
    };
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure(errno);
    }
    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            error = n == 0 ? EIO : errno;
        }
    }
    // A device or pipe has nothing to sync; a file must be on its disk.
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? std::nullopt : std::optional<std::string>(failure(error));
}

int FinishStandardOutput(int exitCode) {
    // A write that failed earlier left its reason here, as nothing has run since that
    // could have failed otherwise: stdio drops what it could not write and only keeps
    // the error flag.
    int error = errno;
    std::cout.flush();
    if (std::fflush(stdout) != 0) {
        error = errno;
    } else if (!std::ferror(stdout) && !std::cout.fail()) {
        // Closing a copy: a file system that writes on close reports its error here. A
        // stdout that was closed from the start had nothing written to it.
        const int copy = ::dup(STDOUT_FILENO);
        if (copy < 0 || ::close(copy) == 0) {
            return exitCode;
        }
        error = errno;
    }
    std::cerr << "quendrix-cli: cannot write the results: "
              << (error != 0 ? std::strerror(error) : "output error") << std::endl;
    return exitCode == kExitOk ? kExitDriveFailure : exitCode;
}

}  // namespace qx::cli
