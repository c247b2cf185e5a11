// A record written for other programs: numbers that read back exactly (the files' layout
// is the capture scripts'), and files written whole, never through something planted.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "capture/RecordExport.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RecordExport, NumbersReadBackExactlyAndFilesAreWrittenWhole) {
    PlotData plot;
    plot.trace1 = {0.1f, 3.0e-7f};
    plot.trace2 = {16777216.0f, 1.0f / 3.0f};
    // 307 Hz: 13 base periods of 4000 Hz, 3.25 ms a point.
    EXPECT_EQ(RecordCsv(plot, {CaptureKind::Current, 2, 13, 4000}),
              "time_ms,command_A,feedback_A\n0,0.1,16777216\n3.25,3e-07,0.33333334\n");
    const std::string json = StepRecordJson(plot, {CaptureKind::Speed, 1, 4, 4000}, {}, {});
    EXPECT_NE(json.find("\"step\":{\"time_ms\":null,\"end_ms\":null,\"from\":null,\"to\":null},"),
              std::string::npos);
    EXPECT_NE(json.find("\"samples\":{\"time_ms\":[0],\"command\":[0.1],\"feedback\":[16777216]}"),
              std::string::npos);
    const fs::path dir = fs::temp_directory_path() / ("qx-export-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "target";
    std::ofstream(target) << "keep";

    struct Case {
        const char* name;
        std::function<void(const fs::path&)> plant;
    };
    const Case cases[] = {
        {"a file", [](const fs::path& p) { std::ofstream(p) << "old and longer"; }},
        {"a link", [&](const fs::path& p) { fs::create_symlink(target, p); }},
        {"a pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"a link at the new file's name",
         [&](const fs::path& p) { fs::create_symlink(target, p.string() + ".writing"); }},
    };
    for (const Case& c : cases) {
        const fs::path p = dir / "out.csv";
        fs::remove(p);
        c.plant(p);
        EXPECT_EQ(WriteFileWhole(p, "a,b\n"), std::nullopt) << c.name;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p))) << c.name;
        EXPECT_EQ(Read(p), "a,b\n") << c.name;
        EXPECT_EQ(Read(target), "keep") << c.name;
    }
    const std::optional<std::string> refused = WriteFileWhole(dir.string(), "x");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->rfind("Cannot replace \"" + dir.string() + "\": ", 0), 0u) << *refused;
    EXPECT_FALSE(fs::exists(dir.string() + ".writing")) << "nothing left behind";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qx
