// A parameter file of any length and contents through "Parameters Download..." as the
// File menu and the command-line tool run it, against the simulated drive. A file of
// other than 1024 bytes is refused with the size message and nothing reaches the drive.
// A 1024-byte file goes out as it stands, bar the drive's own head words.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "sim/ParamFeatures.h"
#include "tests/fuzz/FuzzPort.h"
#include "tests/support/LinkFixture.h"

namespace {

namespace fs = std::filesystem;
using Box = qx::test::RecordingMessageSink::Box;
using qx::fuzz::Check;

// One file per fuzzing process, in memory where the system has it (the save syncs).
struct Scratch {
    fs::path dir = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string file = (dir / ("qx_fuzz_" + std::to_string(::getpid()) + ".par")).string();
    ~Scratch() {
        std::error_code ec;
        fs::remove(file, ec);
    }
};

const Scratch& Files() {
    static const Scratch scratch;
    return scratch;
}

// A connected simulated drive with its parameters, in virtual time. One serves every
// input: building and connecting a drive costs more than the download itself, and what
// an input leaves behind (the words it downloaded, an unlocked drive) changes nothing
// that the next one checks.
struct Rig : qx::test::SimLink {
    Rig() {
        qx::sim::InstallParameterFeatures(*drive);
        Check(qx::ChooseComPort(link, state.identity, messages, 1) == 1);
        messages.clear();
        drive->clearRequestLog();
    }
};

// The data bytes of every block write the drive received, in order.
std::vector<uint8_t> BlockBytes(const qx::sim::SimDrive& drive) {
    std::vector<uint8_t> bytes;
    for (const auto& f : drive.requestLog()) {
        // Header (4), sub-command (2), address (2), count (2), the words, checksum (2).
        const bool block = f.size() >= 12 && f[1] == qx::kCmdSubCommand &&
                           (f[4] << 8 | f[5]) == static_cast<int>(qx::SubCommand::WriteBlock);
        if (block) {
            bytes.insert(bytes.end(), f.begin() + 10, f.end() - 2);
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace qx;
    const Scratch& files = Files();
    {
        std::ofstream out(files.file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Check(out.good());
    }

    static Rig rig;
    rig.messages.clear();
    rig.drive->clearRequestLog();
    ParamImage& image = rig.state.parameterImage;
    image.fill(0x5A);
    const ParamImage before = image;
    std::array<uint8_t, kParamImageHeadBytes> head{};
    for (std::size_t k = 0; k < head.size(); k += 2) {
        const uint16_t word = rig.drive->read(static_cast<uint32_t>(kParamImageFirstWord + k / 2));
        head[k] = static_cast<uint8_t>(word >> 8);
        head[k + 1] = static_cast<uint8_t>(word & 0xFF);
    }

    std::string lastPath;
    const CommandOutcome outcome = ParametersDownloadCommand(
        rig.link, image, rig.messages, [&]() { return std::optional(files.file); }, lastPath);
    Check(lastPath == files.file);

    if (size != kParamFileBytes) {
        const Box refusal{"The file \"" + files.file + "\" holds " + std::to_string(size) +
                              " bytes, but a parameter file holds exactly 1024 bytes. Nothing "
                              "was sent to the servo.",
                          kTitleWarning};
        Check(outcome == CommandOutcome::Failed);
        Check(rig.messages.boxes() == std::vector<Box>{refusal});
        Check(rig.drive->requestLog().empty());
        Check(image == before);
        return 0;
    }

    Check(outcome == CommandOutcome::Succeeded);
    Check(rig.messages.boxes() == std::vector<Box>{{"Downloading Parameters Succeeds!", "Note"}});
    // The image is the drive's head and then the file; the drive got exactly the image.
    Check(std::equal(head.begin(), head.end(), image.begin()));
    Check(
        std::equal(image.begin() + kParamImageHeadBytes, image.end(), data + kParamImageHeadBytes));
    const std::vector<uint8_t> sent = BlockBytes(*rig.drive);
    Check(std::equal(sent.begin(), sent.end(), image.begin(), image.end()));

    return 0;
}
