#include "capture/DecodeSamples.h"

#include <algorithm>
#include <mutex>

namespace qx {

namespace {

int16_t Signed16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}

int32_t Signed32(const uint8_t* p) {
    const uint32_t u = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    return static_cast<int32_t>(u);
}

}  // namespace

RecordShape CurrentRecordShape(const SharedState& state) {
    const int32_t rate = state.identity.baseSampleRateHz.load();
    if (state.loopCaptureRun.tuningActive.load() == 1) {
        return {KindOf(state.loopCaptureRequest.loopKind), state.loopCaptureRun.sampleCount,
                state.loopCaptureRun.sampleDivider, rate};
    }
    return {KindOf(state.freeRunRequest.monitorType), state.freeRunRequest.sampleCount,
            state.freeRunRequest.sampleDivider, rate};
}

bool CapturedWith(const RecordShape& shape, const LoopGains& gains) {
    if (shape.gainCount != gains.count) {
        return false;
    }
    for (int k = 0; k < gains.count; ++k) {
        const auto word = static_cast<uint16_t>(static_cast<uint32_t>(gains.words[k]) & 0xFFFF);
        if (shape.gains[static_cast<std::size_t>(k)] != word) {
            return false;
        }
    }
    return true;
}

void DecodeSamples(std::span<const uint8_t> record, CaptureKind kind, int count, PlotData& plot) {
    const std::size_t pointBytes = 2u * static_cast<std::size_t>(WordsPerPoint(kind));
    const std::size_t fits = std::min(record.size() / pointBytes, kTracePoints);
    const std::size_t n = count > 0 ? std::min(static_cast<std::size_t>(count), fits) : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const uint8_t* p = record.data() + i * pointBytes;
        switch (kind) {
            case CaptureKind::Current:
                plot.trace1[i] = static_cast<float>(Signed16(p)) / kCurrentRawPerAmp;
                plot.trace2[i] = static_cast<float>(Signed16(p + 2)) / kCurrentRawPerAmp;
                break;
            case CaptureKind::Speed:
                plot.trace1[i] = static_cast<float>(Signed16(p)) / kSpeedRawPerRpm;
                plot.trace2[i] = static_cast<float>(Signed16(p + 2)) / kSpeedRawPerRpm;
                break;
            case CaptureKind::Position:
                plot.trace1[i] = static_cast<float>(Signed32(p));
                plot.trace2[i] = static_cast<float>(Signed32(p + 4));
                break;
        }
    }
}

void DecodeSamples(SharedState& state, PlotData& plot, int decoding) {
    if (decoding != 1) {
        plot.trace1.fill(0.0f);
        plot.trace2.fill(0.0f);
        return;
    }
    const RecordShape shape = CurrentRecordShape(state);
    std::lock_guard<std::mutex> lock(state.sampleBufferMutex);
    DecodeSamples(state.sampleBuffer, shape.kind, shape.count, plot);
}

}  // namespace qx
