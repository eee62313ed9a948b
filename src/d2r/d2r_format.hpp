#pragma once
// The d2r line format, for both directions: the banner, the keys, and step
// lines as the writer makes them and the reader takes them apart.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "msd/header.hpp"
#include "msd/panels.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// Every chart section of a d2r file begins with this line.
inline constexpr std::string_view kD2rSeparator = "*----------------------";
// The marker lines around a chart's step lines.
inline constexpr std::string_view kD2rMusicStart = "MUSICSTART";
inline constexpr std::string_view kD2rMusicEnd = "MUSICEND";
// A step line of one 32nd-note unit on which neither pad is stepped on.
inline constexpr std::string_view kD2rRestUnit = "8.:    :    :";

// The four banner lines of a d2r file, naming `caption`.
void WriteD2rBanner(LineSink& out, std::string_view caption);

// ---------------------------------------------------------------------------
// Limits

// A header value that asks for a longer lead-in than this many "0" (8th
// notes) is refused as out of range: a few bytes of gap or START would
// otherwise ask for megabytes of rests.
inline constexpr long long kMaxLeadIn = 1'000'000;

// A START below 4 costs nothing but measures added to the gap, 256 each;
// below this one the gap would no longer fit 64 bits.
inline constexpr long long kMinStart = -(1LL << 52);

// ---------------------------------------------------------------------------
// Timing

// START counts the measures of the lead-in: a file without it starts at 4,
// and MSD to d2r writes 4 down to 1.
inline constexpr long long kD2rDefaultStart = 4;
inline constexpr long long kD2rFewestStart = 1;
// MSD to d2r moves DELAY by whole beats until it lies within -150 .. 150.
inline constexpr double kD2rDelayLimit = 150;
// d2r to MSD raises the first chart's lead-in by whole measures until it is
// longer than this: a measure more than the games' own.
inline constexpr long long kD2rLeadInFloor = kGameLeadIn + kPositionsPerMeasure;

// The largest START that a file may hold: it becomes a lead-in of
// kGameLeadIn and a measure more for each above kD2rDefaultStart, which may
// not pass `max_lead_in`.
[[nodiscard]] constexpr long long MaxStart(long long max_lead_in) {
    return (max_lead_in - kGameLeadIn) / kPositionsPerMeasure + kD2rDefaultStart;
}
inline constexpr long long kMaxStart = MaxStart(kMaxLeadIn);

// ---------------------------------------------------------------------------
// Keys

// The song keys that carry MSD header text, in the order in which the MSD
// reader writes them for a tag; the read-back ones go back into MSD tags.
inline constexpr std::array<HeaderKey, 5> kD2rHeaderKeys = {{
    {kFileTag, "MUSIC=", true},
    {kFileTag, "SHORTCUT=", false},
    {kTitleTag, "TITLE=", true},
    {kArtistTag, "ARTIST=", true},
    {kMsdTag, "* MSD:", false},
}};

// The other keys, each read or written by a rule of its own.
inline constexpr std::string_view kD2rTempoKey = "TEMPO10=";
inline constexpr std::string_view kD2rDelayKey = "DELAY=";
inline constexpr std::string_view kD2rStartKey = "START=";
inline constexpr std::string_view kD2rLevelKey = "LEVEL=";
inline constexpr std::string_view kD2rModeKey = "MODE=";
inline constexpr std::string_view kD2rPlayerKey = "PLAYER=";

// A line that begins with one of the eight keys that the reader knows.
[[nodiscard]] bool IsD2rKeyLine(std::string_view line);

// A line that belongs to a step block: it begins with "4", "8", "T" or "*".
[[nodiscard]] constexpr bool IsD2rStepBlockLine(std::string_view line) {
    return !line.empty() && (line[0] == '4' || line[0] == '8' || line[0] == 'T' || line[0] == '*');
}

// ---------------------------------------------------------------------------
// Step lines as the writer makes them

// The pad field of each MSD step character: four columns, "L", "D", "U", "R"
// or a blank each. Any character that names no panel gives four blanks.
inline constexpr auto kD2rPadFields = [] {
    std::array<std::array<char, 4>, 256> fields{};
    for (std::size_t c = 0; c < fields.size(); ++c) {
        const int panels = kStepPanels[c];
        fields[c] = {' ', ' ', ' ', ' '};
        if (panels <= 0) continue;
        if (panels & kLeft) fields[c][0] = 'L';
        if (panels & kDown) fields[c][1] = 'D';
        if (panels & kUp) fields[c][2] = 'U';
        if (panels & kRight) fields[c][3] = 'R';
    }
    return fields;
}();

// The length codes of step lines, in the order in which merging doubles them:
// "8." (a 32nd note), "4.", "4p", "4P" (a quarter note), and "T" (a third of
// a triplet beat).
enum class D2rLength : std::uint8_t { k32nd, k16th, k8th, kQuarter, kTriplet };

// As many step lines of `length` as fill one beat. A switch, not a table:
// merging steps through the lines by it, and a branch that the processor
// predicts does not wait for the line to be loaded.
[[nodiscard]] constexpr std::uint32_t D2rLinesPerBeat(D2rLength length) {
    switch (length) {
        case D2rLength::k32nd: return 8;
        case D2rLength::k16th: return 4;
        case D2rLength::k8th: return 2;
        default: return 1;
    }
}

// One step line as the converter builds it, in three bytes: its length and
// the MSD step character of each pad, "0" when the pad is silent there. Its
// text is "8.:", "4.:", "4p:", "4P:" or "T:", then each pad's field and ":".
struct D2rStepLine {
    D2rLength length = D2rLength::k32nd;
    char pad1 = '0';
    char pad2 = '0';
    bool operator==(const D2rStepLine&) const = default;
};

// The line of `length` for two MSD step characters; a character that names no
// panel is a silent pad.
[[nodiscard]] constexpr D2rStepLine MakeD2rStepLine(D2rLength length, char pad1, char pad2) {
    const auto step = [](char c) { return PanelsOfStep(c) > 0 ? c : '0'; };
    return {length, step(pad1), step(pad2)};
}

// A line that a merge can join to the line before it: not a triplet line,
// both pads silent.
[[nodiscard]] constexpr bool IsD2rRestLine(D2rStepLine line) {
    return line.length != D2rLength::kTriplet && line.pad1 == '0' && line.pad2 == '0';
}

// The longest step line text: "8.:" and two fields each followed by ":".
inline constexpr std::size_t kD2rStepLineSize = 13;

// Writes the line's text (without a line end) into `buffer` and returns it.
std::string_view FormatD2rStepLine(const D2rStepLine& line, std::array<char, kD2rStepLineSize>& buffer);
// The same at `at`, which has room for kD2rStepLineSize bytes; returns how
// many the text takes. Inline: the writer formats every step line of every
// chart here.
inline std::size_t FormatD2rStepLineAt(const D2rStepLine& line, char* at) {
    // Each code padded to four bytes, so that every piece is a copy of a
    // fixed size.
    static constexpr char kCodes[][4] = {"8.:", "4.:", "4p:", "4P:", "T: "};
    const auto length = static_cast<std::size_t>(line.length);
    const std::size_t code_size = line.length == D2rLength::kTriplet ? 2 : 3;
    std::memcpy(at, kCodes[length], 3);
    at += code_size;
    std::memcpy(at, kD2rPadFields[static_cast<unsigned char>(line.pad1)].data(), 4);
    at[4] = ':';
    std::memcpy(at + 5, kD2rPadFields[static_cast<unsigned char>(line.pad2)].data(), 4);
    at[9] = ':';
    return code_size + 10;
}

// ---------------------------------------------------------------------------
// Step lines as the reader takes them apart

// The MSD step character of the pad field of `line` that begins at
// `field_at`. Decodes only when `head` is "8.:", "#T:" or " T:"; otherwise
// gives nothing and reports nothing. A field with three or more panels (or
// letters out of place that add up so), or one that a double-byte character
// reaches into (its second byte may look like a letter), adds an error line
// naming `line` and gives "0".
[[nodiscard]] std::optional<char> DecodeD2rPanels(std::string_view line, std::size_t field_at, std::string_view head,
                                                  std::string_view file_name, ErrorList& errors);

// A "T" as the 13th or 14th character of a step line asks for an option
// that cannot be converted; the second byte of a double-byte character there
// is no "T".
[[nodiscard]] bool AsksForD2rOption(std::string_view line);

// A step list line with a step on either pad: not both pad fields four blanks.
[[nodiscard]] bool D2rLineBearsStep(std::string_view line);

// Characters `from` .. `from` + `count` - 1 of `line`, as many as it has.
[[nodiscard]] constexpr std::string_view D2rLinePart(std::string_view line, std::size_t from, std::size_t count) {
    return from >= line.size() ? std::string_view() : line.substr(from, count);
}

}  // namespace torvane
