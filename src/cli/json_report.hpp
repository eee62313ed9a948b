#pragma once
// What the preview and check commands share: the JSON report and the
// wording of a failure.

#include <filesystem>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace torvane {

// Writes `report` to `file`, or to `out` when `file` is "-". A file is
// written safely, as every destination is. Reports a failure on `err` and
// returns false.
bool WriteJsonReport(const nlohmann::json& report, const std::string& file, std::ostream& out, std::ostream& err);

// The reason of a failure without the file's name that messages of the
// engine begin with, since the failure line shows it already.
[[nodiscard]] std::string_view FailureReason(std::string_view reason, const std::filesystem::path& source);

}  // namespace torvane
