#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qx {

// One parameter write the drive took: when, which Pn, the value before and after.
struct ParamChange {
    int64_t timeSecs = 0;  // seconds since 1970, UTC
    int pn = 0;
    int32_t oldValue = 0;
    int32_t newValue = 0;
    bool operator==(const ParamChange&) const = default;
};

// The parameter writes of this connection, oldest first, and how many of them the drive
// has stored in its EEPROM since: the writes after that mark are what switching the
// drive off would lose. Only the user-interface thread touches it.
class ParamChangeLog {
  public:
    using TimeSource = std::function<int64_t()>;

    ParamChangeLog();

    // Tests give the log a clock of their own.
    void setTimeSource(TimeSource now) { now_ = std::move(now); }

    void record(int pn, int32_t oldValue, int32_t newValue);
    // The drive stored its parameters: every write so far is in its EEPROM.
    void markStoredInEeprom() { storedCount_ = entries_.size(); }
    // Another connection: nothing of this log concerns the drive behind it.
    void clear();

    const std::vector<ParamChange>& entries() const { return entries_; }
    // Whether entry `index` was written before the drive last stored its parameters.
    bool storedInEeprom(std::size_t index) const { return index < storedCount_; }
    std::size_t unstoredCount() const { return entries_.size() - storedCount_; }

  private:
    std::vector<ParamChange> entries_;
    std::size_t storedCount_ = 0;
    TimeSource now_;
};

// One line on the log for the engineer: what switching the drive off would lose.
std::string ChangeLogSummary(const ParamChangeLog& log);

}  // namespace qx
