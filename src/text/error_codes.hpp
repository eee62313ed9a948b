#pragma once
// What error lines and notes say, one row per code: the stable code that
// reports give scripts, the message of the error line, and the words for
// people. Codes are stable; scripts read them from reports.

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// The problem an error line reports. kNone is a line of no known message:
// the window's own lines, which are whole texts.
enum class ErrorCode {
    kBeatGroupLength,
    kCommandGroup,
    kTwoBeatGroup,
    kTripletMismatch,
    kPanelField,
    kOption,
    kTripletOffBeat,
    kDdrSlot,
    kUnterminatedChart,
    kUnknownDifficulty,
    kChartStartsBeforeGap,
    kNoCp932Form,
    kNone,
};

struct ErrorCodeRow {
    ErrorCode code;
    std::string_view name;     // "beat-group-length"
    std::string_view message;  // UTF-8, beginning with "："; empty for kNone
    std::string_view english;
    bool text_is_chart;  // the offending text is the chart's label
};

// Every error code, in the order of the enum.
[[nodiscard]] const std::vector<ErrorCodeRow>& ErrorCodeRows();
[[nodiscard]] const ErrorCodeRow& ErrorCodeRowOf(ErrorCode code);
// The message of an error line, code page 932 (converted once).
[[nodiscard]] const std::string& ErrorMessage(ErrorCode code);

struct NoteRow {
    std::string_view code;
    std::string_view english;
    std::string_view japanese;  // UTF-8; for the window
};

// Every note code (text/note_codes.hpp) with what it says.
[[nodiscard]] const std::vector<NoteRow>& NoteRows();
// The English words of a note code; empty for an unknown code.
[[nodiscard]] std::string_view NoteDescription(std::string_view code);
// The Japanese sentence of a note code, UTF-8; empty for an unknown code.
[[nodiscard]] std::string_view NoteDescriptionJapanese(std::string_view code);

}  // namespace torvane
