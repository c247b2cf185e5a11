#include "tests/capture/CaptureRig.h"

#include "capture/CaptureControl.h"

namespace qx::test {

void CaptureRig::SetUpDrive(CaptureKind kind, int32_t amplitude, int32_t ticks) {
    state.loopCaptureRequest.loopKind = static_cast<int32_t>(kind);
    state.loopCaptureRequest.excitationAmplitude = amplitude;
    state.loopCaptureRequest.excitationTicks = ticks;
    SetupCapture(link, state);
    drive->clearRequestLog();
}

}  // namespace qx::test
