#include "params/ParamChangeLog.h"

#include <chrono>

namespace qx {

ParamChangeLog::ParamChangeLog()
    : now_([]() {
          return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
      }) {}

void ParamChangeLog::record(int pn, int32_t oldValue, int32_t newValue) {
    entries_.push_back({now_(), pn, oldValue, newValue});
}

void ParamChangeLog::clear() {
    entries_.clear();
    storedCount_ = 0;
}

std::string ChangeLogSummary(const ParamChangeLog& log) {
    if (log.entries().empty()) {
        return "No parameter was written since the drive was connected.";
    }
    const std::size_t unstored = log.unstoredCount();
    if (unstored == 0) {
        return "Every write is stored in the drive's EEPROM.";
    }
    return std::to_string(unstored) + (unstored == 1 ? " write comes" : " writes come") +
           " after the last \"Save to EEPROM\": switching the drive off would lose " +
           (unstored == 1 ? "it." : "them.");
}

}  // namespace qx
