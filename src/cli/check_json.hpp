#pragma once
// What check found in one source, for the JSON report.

#include <nlohmann/json.hpp>

#include "preview/chart_check.hpp"

namespace torvane {

// Adds "changed", "charts" (each with its label) and "round_trips" (each
// way's charts with every step change, its error lines and any failure) to
// the source's entry of the report.
void AddCheckReport(const SourceCheck& check, nlohmann::ordered_json& entry);

}  // namespace torvane
