#pragma once

// Results on their way out of the tool: a write of results that fails makes the command
// fail (exit status 1) with the reason, and numbers keep every digit they have.

#include <optional>
#include <string>

namespace qx::cli {

// `value` in the fewest plain digits that read back as exactly the same number.
std::string ExactNumber(double value);

// A CSV field in double quotes, the quotes within doubled.
std::string CsvField(const std::string& text);

// Writes `text` into the file at `path`, created or emptied first, and makes sure it
// arrived (flushed, synced, closed). Returns why not, naming the file.
std::optional<std::string> WriteResultFile(const std::string& path, const std::string& text);

// The tool's last step: what went to stdout must have arrived. If not, says why on
// stderr and returns 1 in place of a success.
int FinishStandardOutput(int exitCode);

}  // namespace qx::cli
