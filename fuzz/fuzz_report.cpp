// Any bytes as file names and error text in the report of a file, and as a
// path shown on a terminal: the report stays one valid JSON document, and a
// shown path one line without control characters.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/report.hpp"
#include "text/output_names.hpp"

namespace {

// The input cut at NUL bytes: at least `count` pieces.
std::vector<std::string> Pieces(std::string_view bytes, std::size_t count) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\0') {
            pieces.emplace_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    while (pieces.size() < count) pieces.emplace_back();
    return pieces;
}

void CheckShown(const std::string& shown) {
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) __builtin_trap();
    }
    // Valid UTF-8: JSON takes it without replacing anything.
    (void)nlohmann::json(shown).dump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvane;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> pieces = Pieces(bytes, 6);
    for (const auto& piece : pieces) CheckShown(DisplayPath(piece));

    FileResult result;
    result.source = pieces[0];
    result.destinations = {pieces[1]};
    result.existing = {pieces[2]};
    result.status = size % 2 == 0 ? FileStatus::kFailed : FileStatus::kConverted;
    const auto kind = static_cast<Failure>(size % (static_cast<std::size_t>(Failure::kInternal) + 1));
    result.failure = std::make_shared<const ConversionError>(kind, pieces[3], pieces[4], pieces[5], static_cast<int>(size % 140));
    result.problem = static_cast<PlanProblem>(size % 4);
    result.other_source = pieces[4];
    result.error_lines = {PlainErrorLine(pieces[5]),
                          ErrorLine{ErrorCode::kBeatGroupLength, pieces[0], pieces[5], size, pieces[4], pieces[3]}};
    result.notes = {Note{pieces[4], pieces[5], pieces[3]}};
    const std::string text = ReportText(FileReport(result, WordsOf(Conversion::kMSD2ddr)));
    // The document reads back, as what it was made from.
    const auto document = nlohmann::ordered_json::parse(text);
    if (!document.is_object()) __builtin_trap();
    return 0;
}
