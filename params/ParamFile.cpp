#include "params/ParamFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

namespace qx {

namespace {

namespace fs = std::filesystem;

// Symbolic links followed before a name counts as a loop (the kernel's own limit).
constexpr int kMaxLinkHops = 40;
// Unique temporary names tried before giving up.
constexpr int kTemporaryNameTries = 100;
// A new file gets what the user's umask leaves of this, as any program's new file does.
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string Failure(const char* what, const std::string& path, int error) {
    return std::string(what) + " \"" + path + "\": " + Reason(error) + ".";
}

std::string WrongSize(const std::string& path, const std::string& held) {
    return "The file \"" + path + "\" holds " + held +
           " bytes, but a parameter file holds exactly 1024 bytes. Nothing was sent to the "
           "servo.";
}

std::string NotAFile(const std::string& path, mode_t mode) {
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "a device";
    return "The file \"" + path + "\" is " + kind +
           ", not a parameter file of exactly 1024 bytes. Nothing was sent to the servo.";
}

// A descriptor closed on every path.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now: 0, or the error close reports (a write the system could not finish).
    int close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int WriteAll(int fd, const ParamImage& image) {
    std::size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The name a write finally lands on: `path` with its symbolic links followed (a link's
// target may not exist yet). 0 or the error.
int FollowLinks(std::string& path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return 0;
        }
        std::error_code ec;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) {
            return ec.value();
        }
        path = target.is_absolute() ? target.string()
                                    : (fs::path(path).parent_path() / target).string();
    }
    return ELOOP;
}

// A new file of a unique name in `folder`, created exclusively: nothing planted there,
// a symbolic link least of all, is ever opened. -1 with errno on failure.
int CreateTemporary(const fs::path& folder, const std::string& stem, std::string& name) {
    std::random_device entropy;
    std::mt19937 pick(entropy());
    for (int k = 0; k < kTemporaryNameTries; ++k) {
        name = (folder / ("." + stem + "." + std::to_string(pick()) + ".tmp")).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              kNewFileMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Writes a temporary file beside `target` and renames it over it, so a file is replaced
// whole or not at all. An existing file's permissions (and, where the system allows,
// owner and group) carry over. 0 or the error; `created` says whether the temporary
// file could be made at all.
int ReplaceWhole(const std::string& target, const struct stat* old, const ParamImage& image,
                 bool& created) {
    const fs::path folder = fs::path(target).parent_path();
    std::string temporary;
    Descriptor fd(CreateTemporary(folder.empty() ? fs::path(".") : folder,
                                  fs::path(target).filename().string(), temporary));
    created = fd.get() >= 0;
    if (!created) {
        return errno;
    }
    int error = 0;
    if (old != nullptr) {
        if (::fchown(fd.get(), old->st_uid, old->st_gid) != 0) {
            // Not ours to give away: the file becomes ours, with its permissions.
        }
        if (::fchmod(fd.get(), old->st_mode & kPermissionBits) != 0) {
            error = errno;
        }
    }
    if (error == 0) {
        error = WriteAll(fd.get(), image);
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (const int closeError = fd.close(); error == 0) {
        error = closeError;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself must survive a power cut too.
    Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return 0;
}

// A file in a folder that takes no new names: written where it is, then cut to size,
// flushed and synced. 0 or the error.
int WriteInPlace(const std::string& target, const ParamImage& image) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    int error = WriteAll(fd.get(), image);
    if (error == 0 && ::ftruncate(fd.get(), static_cast<off_t>(image.size())) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    const int closeError = fd.close();
    return error != 0 ? error : closeError;
}

// A device or FIFO is written to as it stands: replacing it by a file would destroy it.
// A FIFO nobody reads from is refused at once rather than waited on. 0 or the error.
int WriteThrough(const std::string& target, const ParamImage& image) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    // Once open, a slow reader is waited for like any other.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    const int error = WriteAll(fd.get(), image);
    const int closeError = fd.close();
    return error != 0 ? error : closeError;
}

}  // namespace

std::optional<std::string> ReadParamFile(const std::string& path, ParamImage& image) {
    // Looked at before it is opened: opening a FIFO waits for a writer, opening a
    // device may do something.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return Failure("Cannot open the parameter file", path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return NotAFile(path, st.st_mode);
    }
    // Without waiting, and looked at again: the name may have changed hands meanwhile.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return Failure("Cannot open the parameter file", path, errno);
    }
    if (::fstat(fd.get(), &st) != 0) {
        return Failure("Cannot read the parameter file", path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return NotAFile(path, st.st_mode);
    }
    if (st.st_size != static_cast<off_t>(kParamFileBytes)) {
        return WrongSize(path, std::to_string(st.st_size));
    }
    // One byte more than a parameter file holds tells a file that grew meanwhile.
    std::array<uint8_t, kParamFileBytes + 1> buffer{};
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd.get(), buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Failure("Cannot read the parameter file", path, errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (got != kParamFileBytes) {
        return WrongSize(path, got > kParamFileBytes ? "more than 1024" : std::to_string(got));
    }
    std::copy_n(buffer.begin(), kParamFileBytes, image.begin());
    return std::nullopt;
}

std::optional<std::string> WriteParamFile(const std::string& path, const ParamImage& image) {
    std::string target = path;
    if (const int error = FollowLinks(target); error != 0) {
        return Failure("Cannot write the parameter file", path, error);
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        return Failure("Cannot write the parameter file", path, EISDIR);
    }
    if (exists && !S_ISREG(st.st_mode)) {
        if (const int error = WriteThrough(target, image); error != 0) {
            return Failure("Cannot write the parameter file", path, error);
        }
        return std::nullopt;
    }
    bool created = false;
    int error = ReplaceWhole(target, exists ? &st : nullptr, image, created);
    if (!created && exists && (error == EACCES || error == EPERM)) {
        // The folder takes no new names, but the file itself may be writable.
        error = WriteInPlace(target, image);
    }
    if (error != 0) {
        return Failure(created || exists ? "Cannot write the parameter file"
                                         : "Cannot create the parameter file",
                       path, error);
    }
    return std::nullopt;
}

}  // namespace qx
