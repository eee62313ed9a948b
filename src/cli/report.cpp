#include "cli/report.hpp"

#include "text/error_codes.hpp"
#include "batch/sources.hpp"
#include "text/output_names.hpp"
#include "text/sjis.hpp"

namespace torvane {

std::string_view ConversionName(Conversion conversion) { return RowOf(conversion).name; }

CommandWords WordsOf(Conversion conversion) {
    return {std::string(ConversionName(conversion)), std::string(SourceExtension(conversion))};
}

std::string EnglishFileReason(const FileResult& result, const CommandWords& words) {
    switch (result.problem) {
        case PlanProblem::kNoSourceInFolder: return "no " + words.sources + " file in it";
        case PlanProblem::kSameDestination: return words.same_destination + DisplayPath(result.other_source.string());
        case PlanProblem::kDestinationExists:
            return "skipped: " + (result.existing.empty() ? std::string() : DisplayPath(result.existing.front().string())) +
                   " exists";
        case PlanProblem::kUnreadableFolder:
        case PlanProblem::kBrokenLink:
        case PlanProblem::kNotARegularFile:
        case PlanProblem::kNone: break;
    }
    if (result.failure == nullptr) return {};
    const ConversionError& failure = *result.failure;
    // The line names the source already; another file (a destination) is named.
    if (failure.File().empty() || failure.File() == result.source) return EnglishReason(failure);
    return DisplayPath(failure.File().string()) + ": " + EnglishReason(failure);
}

nlohmann::ordered_json ReasonReport(const FileResult& result, const CommandWords& words) {
    if (result.problem == PlanProblem::kNone && result.failure == nullptr) return nullptr;
    nlohmann::ordered_json reason;
    reason["message"] = EnglishFileReason(result, words);
    if (result.problem != PlanProblem::kNone) {
        reason["code"] = PlanProblemCode(result.problem);
        if (result.problem == PlanProblem::kSameDestination) reason["other_source"] = DisplayPath(result.other_source.string());
        return reason;
    }
    const ConversionError& failure = *result.failure;
    reason["code"] = FailureCode(failure.Kind());
    reason["file"] = DisplayPath(failure.File().string());
    reason["key"] = Cp932ToUtf8(failure.Key());
    reason["text"] = Cp932ToUtf8(failure.Text());
    reason["errno"] = failure.SystemError();
    return reason;
}

nlohmann::ordered_json ErrorLineReport(const ErrorLine& line) {
    nlohmann::ordered_json entry = {{"code", ErrorCodeRowOf(line.code).name},
                                    {"message", Cp932ToUtf8(ErrorMessage(line.code))},
                                    {"text", Cp932ToUtf8(line.text)},
                                    {"line", Cp932ToUtf8(RenderErrorLine(line))}};
    if (line.source_line != 0) entry["source_line"] = line.source_line;
    if (!line.chart.empty()) entry["chart"] = Cp932ToUtf8(line.chart);
    if (!line.at.empty()) entry["at"] = line.at;
    return entry;
}

nlohmann::ordered_json FileReport(const FileResult& result, const CommandWords& words) {
    nlohmann::ordered_json file;
    file["source"] = DisplayPath(result.source.string());
    file["status"] = FileStatusCode(result.status);
    nlohmann::ordered_json destinations = nlohmann::ordered_json::array();
    for (const auto& destination : result.destinations) destinations.push_back(DisplayPath(destination.string()));
    file["destinations"] = std::move(destinations);
    nlohmann::ordered_json existing = nlohmann::ordered_json::array();
    for (const auto& destination : result.existing) existing.push_back(DisplayPath(destination.string()));
    file["left_alone"] = std::move(existing);
    file["encoding"] = EncodingCode(result.encoding);
    file["reason"] = ReasonReport(result, words);

    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (const ErrorLine& line : result.error_lines) lines.push_back(ErrorLineReport(line));
    file["error_lines"] = std::move(lines);
    nlohmann::ordered_json notes = nlohmann::ordered_json::array();
    for (const Note& note : result.notes) {
        notes.push_back({{"code", note.code},
                         {"chart", Cp932ToUtf8(note.chart)},
                         {"value", Cp932ToUtf8(note.value)},
                         {"says", NoteDescription(note.code)}});
    }
    file["notes"] = std::move(notes);
    return file;
}

std::string ReportText(const nlohmann::ordered_json& report) {
    return report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace torvane
