#pragma once

// The writes of the Parameter Table window. Each parameter goes to the drive through
// SetUserParam, the function behind the editor's "Set": one exchange sequence per
// parameter, its one message on failure, logged only once the drive took it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/ParamChangeLog.h"
#include "params/ParamValues.h"
#include "params/UserParamTable.h"

namespace qx {

// What the Parameter Table writes with: the link, the cache and the log.
struct ParamWriteTarget {
    DriveLink& link;
    UserParamTable& table;
    ParamChangeLog& log;
    MessageSink& owner;
};

// A value typed into the table for Pn `pn`: read as the editor reads it, clamped to the
// range, written. An empty text or a lone "-" writes nothing, and so does a value equal
// to the cached one. Returns 0 when nothing failed; ParamEditor::kSetRefused after
// "Invalid input value!".
uint32_t WriteTypedParam(const ParamWriteTarget& target, int pn, std::string_view text);

// "Write File Values": the compared file's value of each chosen Pn that differs from
// the cache, clamped to its range as the editor clamps, in ascending order but Pn 2
// last, so that a protection code from the file cannot lock the drive before the rest
// is written. Stops at the first failure and returns its status.
uint32_t WriteFileValues(const ParamWriteTarget& target, const ParamValues& file,
                         const std::vector<int>& pns);

// "Revert": writes back the old value of each chosen log entry, newest first, so that
// several changes of one Pn end at the oldest value. An entry whose old value the cache
// already holds sends nothing. Stops at the first failure and returns its status.
uint32_t RevertChanges(const ParamWriteTarget& target, const std::vector<std::size_t>& entries);

}  // namespace qx
