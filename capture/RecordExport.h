#pragma once

// A record as text for other programs, and writing a file whole or not at all.

#include <optional>
#include <string>
#include <string_view>

#include "capture/DecodeSamples.h"
#include "capture/PlotData.h"
#include "capture/StepMetrics.h"
#include "capture/TuningStep.h"

namespace qx {

// "time_ms,command_A,feedback_A" (rpm, pulse), then one line per point. Every number is
// written in the shortest form that reads back to exactly the value held.
std::string RecordCsv(const PlotData& plot, const RecordShape& shape);

// One JSON object: the loop, the unit, the sample period, the step, its metrics (null
// for a figure not measured) and the samples.
std::string StepRecordJson(const PlotData& plot, const RecordShape& shape, const TuningStep& step,
                           const StepMetrics& metrics);

// The metrics as lines of "name: value unit", for a terminal.
std::string MetricsReport(const StepMetrics& metrics, CaptureKind kind);

// Writes `bytes` to a new file beside `path` and renames it over `path`: an existing
// file is replaced whole or not at all, and a link, pipe or device planted at either
// name is replaced or refused, never written through. Returns the text to show on
// failure.
std::optional<std::string> WriteFileWhole(const std::string& path, std::string_view bytes);

}  // namespace qx
