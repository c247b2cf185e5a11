#include "params/ParamSettingCommand.h"

#include <atomic>

#include "link/ConnectDrive.h"
#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"

namespace qx {

std::optional<int> BeginParamLoad(const DriveIdentity& identity, UserParamTable& table) {
    if (identity.versionAccepted != 1) {
        return kParamLoadNotConnected;
    }
    if (!IsSupportedSoftwareVersion(identity.softwareVersion)) {
        return kParamLoadVersionMismatch;
    }
    table.highestParamNumber = kHighestParamNumber;
    table.rangeTableBase = kRangeTableBase;
    return std::nullopt;
}

ParamLoadReaction ReactToParamLoadPost(ParamLoadStage stage, int percent) {
    ParamLoadReaction r;
    switch (stage) {
        case ParamLoadStage::Ranges:
            r.progress = percent;
            r.stageText = kRangeStageText;
            break;
        case ParamLoadStage::Values:
            r.progress = percent;
            r.stageText = kValueStageText;
            break;
        case ParamLoadStage::Done:
            r.markLoaded = true;
            r.endResult = kParamLoadLoaded;
            break;
        case ParamLoadStage::Failed:
            r.endResult = kParamLoadCommFailure;
            break;
    }
    return r;
}

bool ParametersSettingCommand(const ParameterTableState& tableState, ParamSettingDialogs& dialogs,
                              MessageSink& owner) {
    if (tableState.parametersLoaded == 1) {
        dialogs.runEditor();
        return true;
    }
    switch (dialogs.runLoadingDialog()) {
        case kParamLoadLoaded:
            dialogs.runEditor();
            return true;
        case kParamLoadVersionMismatch:
            owner.show("Quendrix Mismatch the servo!", kTitleWarning);
            break;
        case kParamLoadNotConnected:
            owner.show("Please Serial Communication Channel First!", kTitleWarning);
            break;
        case kParamLoadCommFailure:
            owner.show("Communication with Servo Fails!", kTitleWarning);
            break;
        default:
            break;
    }
    return false;
}

namespace {

// Passes every report on and keeps the final one.
class FinalReport final : public ParamLoadProgress {
  public:
    explicit FinalReport(ParamLoadProgress& next) : next_(next) {}
    void post(ParamLoadStage stage, int percent) override {
        next_.post(stage, percent);
        const ParamLoadReaction r = ReactToParamLoadPost(stage, percent);
        if (r.endResult) {
            reaction = r;
        }
    }
    ParamLoadReaction reaction;

  private:
    ParamLoadProgress& next_;
};

}  // namespace

int LoadParamTableInline(DriveLink& link, SharedState& state, ParamLoadProgress& progress) {
    if (const auto early = BeginParamLoad(state.identity, state.userParamTable)) {
        return *early;
    }
    FinalReport report(progress);
    const std::atomic<bool> never{false};
    GetPnRange(link, state.userParamTable, report, never);
    if (report.reaction.markLoaded) {
        state.parameterTable.parametersLoaded = 1;
    }
    return report.reaction.endResult.value_or(kParamLoadCommFailure);
}

}  // namespace qx
