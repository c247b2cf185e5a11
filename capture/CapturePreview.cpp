#include "capture/CapturePreview.h"

namespace qx {

CapturePreview ComputeCapturePreview(int left, int top, int right, int bottom, float samplePosition,
                                     int sampleCount, int sampleRateHz, int lastingTimeMs) {
    CapturePreview p;
    const int l = left;
    const int t = top;
    const int r = right;
    const int b = bottom;
    const int m = (t + b) / 2;
    auto line = [&](PreviewPen pen, int x0, int y0, int x1, int y1) {
        p.lines.push_back({pen, x0, y0, x1, y1});
    };
    constexpr PreviewPen kE = PreviewPen::Excitation;
    line(kE, l + 40, m, r - 50, m);
    line(kE, r - 50, m, r - 55, m + 5);
    line(kE, r - 50, m, r - 55, m - 5);
    line(kE, l + 40, t + 20, l + 40, b - 20);
    line(kE, l + 40, t + 20, l + 35, t + 25);
    line(kE, l + 40, t + 20, l + 45, t + 25);
    line(kE, l + 40, m - 60, l + 110, m - 60);
    line(kE, l + 110, m - 60, l + 110, m + 60);
    line(kE, l + 110, m + 60, l + 180, m + 60);
    line(kE, l + 180, m + 60, l + 180, m - 60);
    line(kE, l + 180, m - 60, l + 250, m - 60);
    line(kE, l + 250, m - 60, l + 250, m + 60);
    line(PreviewPen::Continuation, l + 250, m + 60, l + 300, m + 60);

    // Without a rate (no drive accepted yet) the sampled stretch has no length.
    if (sampleRateHz <= 0 || lastingTimeMs <= 0) {
        return p;
    }
    p.hasStretch = true;
    // In double precision: a position held as a float just below a whole pixel must
    // stay below it (0.95 gives 132, not 133).
    p.s = static_cast<int>(static_cast<double>(samplePosition) * kPreviewPeriodPx);
    const double sampledMs = sampleCount * (1000.0 / sampleRateHz);
    p.w = static_cast<int>(sampledMs / lastingTimeMs * kPreviewLevelPx);
    if (p.s + p.w > kPreviewStretchLimitPx) {
        p.w = kPreviewStretchClampPx - p.s;
    }
    const int x1 = l + 40 + p.s;
    const int x2 = x1 + p.w;
    constexpr PreviewPen kS = PreviewPen::Stretch;
    line(kS, x1, m + 120, x1, m - 120);
    line(kS, x2, m + 120, x2, m - 120);
    line(kS, x1, m - 100, x2, m - 100);
    line(kS, x1, m - 100, x1 + 5, m - 95);
    line(kS, x1, m - 100, x1 + 5, m - 105);
    line(kS, x2, m - 100, x2 - 5, m - 95);
    line(kS, x2, m - 100, x2 - 5, m - 105);
    return p;
}

}  // namespace qx
