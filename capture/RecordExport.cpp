#include "capture/RecordExport.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "capture/ScopeTexts.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace qx {

namespace {

template <typename T>
void Append(std::string& out, T value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, ec == std::errc{} ? end : text);
}

// A JSON number, or null for one not measured.
void AppendJson(std::string& out, double value) {
    if (std::isfinite(value)) {
        Append(out, value);
    } else {
        out += "null";
    }
}

double MsPerPoint(const RecordShape& shape) {
    return shape.baseRateHz > 0 ? 1000.0 * shape.divider / shape.baseRateHz : 0.0;
}

int Points(const RecordShape& shape) {
    return std::clamp(shape.count, 0, static_cast<int>(kTracePoints));
}

const char* StatusName(StepStatus status) {
    switch (status) {
        case StepStatus::NoStep:
            return "no step";
        case StepStatus::StepOutsideRecord:
            return "step outside the record";
        case StepStatus::TooFewPoints:
            return "too few points";
        case StepStatus::Ok:
            break;
    }
    return "ok";
}

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

}  // namespace

std::string RecordCsv(const PlotData& plot, const RecordShape& shape) {
    const std::string unit = KindUnit(shape.kind);
    std::string out = "time_ms,command_" + unit + ",feedback_" + unit + "\n";
    const double period = MsPerPoint(shape);
    for (int i = 0; i < Points(shape); ++i) {
        Append(out, i * period);
        out += ',';
        Append(out, plot.trace1[i]);
        out += ',';
        Append(out, plot.trace2[i]);
        out += '\n';
    }
    return out;
}

std::string StepRecordJson(const PlotData& plot, const RecordShape& shape, const TuningStep& step,
                           const StepMetrics& m) {
    std::string out = "{\"loop\":\"";
    out += ForKind(shape.kind, "current", "speed", "position");
    out += "\",\"unit\":\"";
    out += KindUnit(shape.kind);
    out += "\",\"sample_period_ms\":";
    AppendJson(out, MsPerPoint(shape));
    out += ",\"step\":{\"time_ms\":";
    AppendJson(out, step.known ? step.stepTimeMs : NAN);
    out += ",\"end_ms\":";
    AppendJson(out, step.known ? step.endTimeMs : NAN);
    out += ",\"from\":";
    AppendJson(out, step.known ? step.initialLevel : NAN);
    out += ",\"to\":";
    AppendJson(out, step.known ? step.finalLevel : NAN);
    out += "},\"metrics\":{\"status\":\"";
    out += StatusName(m.status);
    const std::pair<const char*, double> figures[] = {
        {"rise_time_ms", m.riseTimeMs},
        {"overshoot_percent", m.overshootPercent},
        {"settling_time_ms", m.settlingTimeMs},
        {"steady_state_error", m.steadyStateError},
        {"final_value", m.finalValue},
        {"peak", m.peakValue},
        {"peak_time_ms", m.peakTimeMs},
        {"abs_error_integral_ms", m.absErrorIntegralMs},
        {"noise", m.noise},
    };
    out += "\"";
    for (const auto& [name, value] : figures) {
        out += ",\"";
        out += name;
        out += "\":";
        AppendJson(out, value);
    }
    out += m.settled ? ",\"settled\":true" : ",\"settled\":false";
    out += m.oscillating ? ",\"oscillating\":true" : ",\"oscillating\":false";
    out += "},\"samples\":{\"time_ms\":[";
    const double period = MsPerPoint(shape);
    const int n = Points(shape);
    for (int i = 0; i < n; ++i) {
        out += i > 0 ? "," : "";
        AppendJson(out, i * period);
    }
    out += "],\"command\":[";
    for (int i = 0; i < n; ++i) {
        out += i > 0 ? "," : "";
        Append(out, plot.trace1[i]);
    }
    out += "],\"feedback\":[";
    for (int i = 0; i < n; ++i) {
        out += i > 0 ? "," : "";
        Append(out, plot.trace2[i]);
    }
    out += "]}}\n";
    return out;
}

std::string MetricsReport(const StepMetrics& m, CaptureKind kind) {
    if (m.status != StepStatus::Ok) {
        return std::string("step: ") + StatusName(m.status) + "\n";
    }
    const char* unit = KindUnit(kind);
    auto ms = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f ms", v);
        return std::isnan(v) ? std::string("-") : std::string(text);
    };
    char text[128];
    std::snprintf(text, sizeof text, "overshoot: %.2f %%\n", m.overshootPercent);
    std::string out = "rise time: " + ms(m.riseTimeMs) + "\n" + text;
    out += "settling time: " + (m.settled ? ms(m.settlingTimeMs) : std::string("not reached")) +
           (m.oscillating ? " (oscillating)\n" : "\n");
    std::snprintf(text, sizeof text, "steady-state error: %.6g %s\npeak: %.6g %s at ",
                  m.steadyStateError, unit, m.peakValue, unit);
    out += text + ms(m.peakTimeMs) + "\n";
    return out;
}

std::optional<std::string> WriteFileWhole(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".writing";
    auto failure = [&](const char* what, const std::string& name, int error) {
        return std::string(what) + " \"" + name + "\": " + Reason(error) + ".";
    };
#if defined(_WIN32)
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        return failure("Cannot create", temporary, errno);
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        const int error = errno;
        std::remove(temporary.c_str());
        return failure("Cannot write", temporary, error);
    }
#else
    // A name left from an earlier attempt, or planted there, is removed (a link itself,
    // never what it points to); the new file must then be one this call creates.
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return failure("Cannot create", temporary, errno);
    }
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return failure("Cannot write", temporary, error);
    }
#endif
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        std::remove(temporary.c_str());
        return failure("Cannot replace", path, renameError);
    }
    return std::nullopt;
}

}  // namespace qx
