#include "capture/CaptureControl.h"

#include "link/DriveCommands.h"

namespace qx {

uint32_t SetupCapture(DriveLink& link, SharedState& state) {
    Session session(link);
    uint32_t status = session.open();
    if (status != kStatusOk) {
        return status;
    }
    const LoopCaptureRequest& r = state.loopCaptureRequest;
    CaptureSetupArgs args;
    args.loopKind = static_cast<uint8_t>(r.loopKind);
    args.excitationTicks = static_cast<uint16_t>(r.excitationTicks);
    args.excitationAmplitude = static_cast<uint32_t>(r.excitationAmplitude);
    args.constA = static_cast<uint16_t>(r.constA);
    args.constB = static_cast<uint16_t>(r.constB);
    args.maxValue = r.maxValue;
    args.minValue = r.minValue;
    status = CaptureSetup(link, session.next(), args, kBudgetShortMs);
    if (status == kStatusOk) {
        state.link.driveConnected = 1;
    }
    return status;
}

uint32_t StopCapture(DriveLink& link, SharedState& state, MessageSink& mainWindow) {
    link.SyncLine();
    uint32_t status = ResetRequest(link, kBudgetShortMs);
    if (status != kStatusOk) {
        mainWindow.show("OrderModule Reset Fails!", kTitleWarning);
        return status;
    }
    status = ConnectionSetupRequest(link, 0, kBudgetShortMs);
    if (status != kStatusOk) {
        mainWindow.show("Connection Setup Fails!", kTitleWarning);
        return status;
    }
    status = ServoControl(link, 1, kServoOffWord, kBudgetShortMs);
    if (status != kStatusOk && status != kStatusNoAck) {
        mainWindow.show("Disable Servo Fails!", kTitleWarning);
    }
    if (status == kStatusOk) {
        state.link.driveConnected = 1;
    }
    return status;
}

}  // namespace qx
