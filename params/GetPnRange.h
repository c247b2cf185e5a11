#pragma once

#include <atomic>
#include <cstdint>

#include "link/DriveLink.h"
#include "params/ParamLoadProgress.h"
#include "params/UserParamTable.h"

namespace qx {

// A stage of the load gives up once an attempt fails this long after its last success.
inline constexpr uint32_t kParamLoadLimitMs = 3000;
inline constexpr int kRangeStageEndPercent = 80;
inline constexpr int kValueStagePercent = 20;
inline constexpr int kLoadDonePercent = 100;
// The range pair read per gather, and the values read per request.
inline constexpr int kRangesPerGather = 2;
inline constexpr int kValuesPerRead = 8;

// The loading worker's body: reads the minimum and maximum of Pn 0 to
// table.highestParamNumber from the range table at table.rangeTableBase, then their
// values, into `table`. A failed request opens a new session that resumes where the
// load stopped. Posts a Ranges or Values report after every successful step, then Done
// or Failed. Returns 1 when everything was loaded, 0 otherwise. A set `stop` makes it
// give up after the request in progress.
int GetPnRange(DriveLink& link, UserParamTable& table, ParamLoadProgress& progress,
               const std::atomic<bool>& stop);

}  // namespace qx
