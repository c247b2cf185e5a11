#pragma once

#include <array>
#include <cstddef>

namespace qx {

inline constexpr std::size_t kTracePoints = 1024;

// The two traces of a capture window in display units (A, rpm, pulses) and the scale
// the last drawing used.
struct PlotData {
    std::array<float, kTracePoints> trace1{};  // channel 1
    std::array<float, kTracePoints> trace2{};  // channel 2
    float plotCentre = 0.0f;
    float plotSpan = 0.0f;
    float xScale = 0.0f;
    float yScale = 0.0f;
};

}  // namespace qx
