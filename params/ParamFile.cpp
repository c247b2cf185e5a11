#include "params/ParamFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qx {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string Failure(const char* what, const std::string& path, int error) {
    return std::string(what) + " \"" + path + "\": " + Reason(error) + ".";
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) {
        return false;
    }
#if defined(_WIN32)
    return _commit(_fileno(f)) == 0;
#else
    return ::fsync(fileno(f)) == 0;
#endif
}

}  // namespace

std::optional<std::string> ReadParamFile(const std::string& path, ParamImage& image) {
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return Failure("Cannot open the parameter file", path, errno);
    }
    // One byte more than a parameter file holds tells a long file from a right one.
    std::array<uint8_t, kParamFileBytes + 1> buffer{};
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (std::ferror(file.get())) {
        return Failure("Cannot read the parameter file", path, errno);
    }
    if (got != kParamFileBytes) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        const std::string held =
            ec ? (got > kParamFileBytes ? "more than 1024" : std::to_string(got))
               : std::to_string(size);
        return "The file \"" + path + "\" holds " + held +
               " bytes, but a parameter file holds exactly 1024 bytes. Nothing was sent to "
               "the servo.";
    }
    std::copy_n(buffer.begin(), kParamFileBytes, image.begin());
    return std::nullopt;
}

std::optional<std::string> WriteParamFile(const std::string& path, const ParamImage& image) {
    const std::string temporary = path + ".writing";
    errno = 0;
    File file(std::fopen(temporary.c_str(), "wb"));
    if (!file) {
        return Failure("Cannot create the parameter file", temporary, errno);
    }
    errno = 0;
    const bool written = std::fwrite(image.data(), 1, image.size(), file.get()) == image.size() &&
                         FlushToDisk(file.get());
    const int writeError = errno;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        const int error = written ? errno : writeError;
        std::remove(temporary.c_str());
        return Failure("Cannot write the parameter file", temporary, error);
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::remove(temporary.c_str());
        return "Cannot replace the parameter file \"" + path + "\": " + ec.message() + ".";
    }
    return std::nullopt;
}

}  // namespace qx
