#pragma once

namespace qx {

// Stage codes the loading worker posts, with the percentage that goes with them.
enum class ParamLoadStage : int {
    Ranges = 0,  // 0 to 80
    Values = 1,  // 80 to 100
    Done = 2,    // 100: everything is loaded
    Failed = 16  // 0: the worker gave up
};

// Where the loading worker reports. It is called on the worker's thread; the dialog's
// implementation hands each report to the user-interface thread by a queued call.
class ParamLoadProgress {
  public:
    virtual ~ParamLoadProgress() = default;
    virtual void post(ParamLoadStage stage, int percent) = 0;
};

}  // namespace qx
