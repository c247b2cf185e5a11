#include "capture/ScopeTexts.h"

#include <cmath>
#include <cstdio>

namespace qx {

namespace {

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// A value in the kind's resolution; one that rounds to nothing is 0, not "-0".
std::string Number(CaptureKind kind, double v) {
    const int decimals = ForKind(kind, 4, 2, 0);
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(v * scale) / scale;
    return Printf("%.*f", decimals, rounded == 0.0 ? 0.0 : rounded);
}

std::string Value(CaptureKind kind, double v) {
    return Number(kind, v) + " " + KindUnit(kind);
}

std::string Ms(double ms) {
    return std::isnan(ms) ? std::string("-") : Printf("%.2f ms", ms);
}

std::string ClockText(const TimeOfDay& t) {
    return Printf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

std::string Phase(const CaptureState& s) {
    switch (s.phase) {
        case CapturePhase::Idle:
            return s.lastRecord ? "record taken at " + ClockText(*s.lastRecord) : "idle";
        case CapturePhase::Waiting:
            if (s.armed) {
                return Printf("armed: waiting for a %s edge at %g %s",
                              s.edge == kTriggerFalling ? "falling" : "rising", s.level,
                              KindUnit(s.kind));
            }
            return "waiting for the drive";
        case CapturePhase::Restarting:
            return "no reply from the drive (restarting)";
        case CapturePhase::Starting:
        case CapturePhase::Reading:
            break;
    }
    return "capturing";
}

}  // namespace

const char* KindUnit(CaptureKind kind) {
    return ForKind(kind, "A", "rpm", "pulse");
}

std::string CaptureStateLine(const CaptureState& s) {
    if (!s.connected) {
        return "no drive connected: nothing is captured";
    }
    if (s.gainsUnread) {
        return "the drive's gains could not be read: nothing is captured";
    }
    if (!s.worker) {
        return "no capture worker: nothing is captured";
    }
    std::string line = Phase(s);
    if (s.phase != CapturePhase::Idle && s.lastRecord) {
        line += " - last record taken at " + ClockText(*s.lastRecord);
    }
    return line;
}

std::string MetricsLine(const StepMetrics& m, CaptureKind kind) {
    switch (m.status) {
        case StepStatus::NoStep:
            return "no step to measure";
        case StepStatus::StepOutsideRecord:
            return "the step lies outside the record";
        case StepStatus::TooFewPoints:
            return "too few points after the step";
        case StepStatus::Ok:
            break;
    }
    std::string settling = m.settled ? Ms(m.settlingTimeMs) : "not reached";
    if (m.oscillating) {
        settling += " (oscillating)";
    }
    return "rise " + Ms(m.riseTimeMs) + ", overshoot " + Printf("%.1f %%", m.overshootPercent) +
           ", settling " + settling + ", error " + Value(kind, m.steadyStateError) + ", peak " +
           Value(kind, m.peakValue) + " at " + Ms(m.peakTimeMs);
}

std::string CursorReadout(const PlotData& plot, const RecordShape& shape, std::optional<int> a,
                          std::optional<int> b) {
    const double msPerPoint =
        shape.baseRateHz > 0 ? 1000.0 * shape.divider / shape.baseRateHz : 0.0;
    auto at = [&](const char* name, int i) {
        return Printf("%s %.2f ms: ", name, i * msPerPoint) + Number(shape.kind, plot.trace1[i]) +
               " / " + Value(shape.kind, plot.trace2[i]);
    };
    const bool hasA = a && *a >= 0 && *a < shape.count;
    const bool hasB = b && *b >= 0 && *b < shape.count;
    std::string line;
    if (hasA) {
        line = at("A", *a);
    }
    if (hasB) {
        line += (line.empty() ? "" : "   ") + at("B", *b);
    }
    if (hasA && hasB) {
        const double dt = (*b - *a) * msPerPoint;
        line += "\n\u0394t " + Printf("%.2f ms", dt) + "   1/\u0394t " +
                (dt != 0.0 ? Printf("%.4g Hz", 1000.0 / std::abs(dt)) : std::string("-")) +
                "   \u0394 " + Number(shape.kind, plot.trace1[*b] - plot.trace1[*a]) + " / " +
                Value(shape.kind, plot.trace2[*b] - plot.trace2[*a]);
    }
    return line;
}

}  // namespace qx
