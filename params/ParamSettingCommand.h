#pragma once

#include <optional>
#include <string>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/ParamLoadProgress.h"

namespace qx {

// Results of the loading dialog.
enum : int {
    kParamLoadLoaded = 1,
    kParamLoadVersionMismatch = 241,
    kParamLoadNotConnected = 242,
    kParamLoadCommFailure = 255,
};

// What the loading dialog checks before it starts the worker. Returns the result to end
// the dialog with (242, 241), or nothing when the load may start; in that case the
// table's highest number and range-table base are set.
std::optional<int> BeginParamLoad(const DriveIdentity& identity, UserParamTable& table);

// How the loading dialog reacts to one report of the worker.
struct ParamLoadReaction {
    std::optional<int> progress;  // new position of the bar
    std::optional<std::string> stageText;
    std::optional<int> endResult;  // end the dialog with this result
    bool markLoaded = false;       // set parametersLoaded before ending
};
ParamLoadReaction ReactToParamLoadPost(ParamLoadStage stage, int percent);

inline constexpr const char* kRangeStageText = "Loading user parameters' range...";
inline constexpr const char* kValueStageText = "Loading user parameters' value...";
inline constexpr const char* kCreateLoaderFailedText = "Create GetPnRange Thread Fails!";

// The two dialogs of "Parameters Setting...", as the GUI or the command line runs them.
class ParamSettingDialogs {
  public:
    virtual ~ParamSettingDialogs() = default;
    // Runs the loading dialog to its end and returns its result.
    virtual int runLoadingDialog() = 0;
    virtual void runEditor() = 0;
};

// "Parameters Setting...": the editor at once when the table is loaded, otherwise the
// loading dialog first and, by its result, the editor or a message to `owner`. Returns
// true when the editor was run.
bool ParametersSettingCommand(const ParameterTableState& tableState, ParamSettingDialogs& dialogs,
                              MessageSink& owner);

// The loading dialog without a window, for the command line and benchmarks: the checks,
// then the worker's body on the calling thread, then what the dialog does with the
// final report. `progress` sees every report. Returns the dialog's result.
int LoadParamTableInline(DriveLink& link, SharedState& state, ParamLoadProgress& progress);

}  // namespace qx
