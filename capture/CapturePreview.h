#pragma once

#include <cstdint>
#include <vector>

namespace qx {

inline constexpr int kPreviewLevelPx = 70;
inline constexpr int kPreviewPeriodPx = 140;
inline constexpr int kPreviewStretchLimitPx = 210;
inline constexpr int kPreviewStretchClampPx = 220;

struct PreviewColour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};
inline constexpr PreviewColour kPreviewExcitationColour{0, 128, 0};
inline constexpr PreviewColour kPreviewStretchColour{0, 0, 255};

enum class PreviewPen {
    Excitation,    // solid, 3 pixels, dark green
    Continuation,  // dotted, 1 pixel, dark green
    Stretch,       // solid, 1 pixel, blue
};

struct PreviewLine {
    PreviewPen pen = PreviewPen::Excitation;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const PreviewLine&) const = default;
};

// The small picture of a capture setting dialog: the two-level excitation and the
// stretch of it that will be sampled, in pixels of the preview frame's client area.
struct CapturePreview {
    int s = 0;                // start offset of the sampled stretch
    int w = 0;                // its width
    bool hasStretch = false;  // false while no sample rate is known
    std::vector<PreviewLine> lines;
};

// `left`..`bottom` is the frame's client rectangle.
CapturePreview ComputeCapturePreview(int left, int top, int right, int bottom, float samplePosition,
                                     int sampleCount, int sampleRateHz, int lastingTimeMs);

}  // namespace qx
