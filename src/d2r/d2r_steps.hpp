#pragma once
// The named steps of the two d2r conversions, each callable on its own so that
// tests can pin every rule. Not part of the engine's public interface.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// ---------------------------------------------------------------------------
// The d2r format

// Every chart section of a d2r file begins with this line.
inline constexpr std::string_view kD2rSeparator = "*----------------------";
// A step line of one 32nd-note unit on which neither pad is stepped on.
inline constexpr std::string_view kD2rRestUnit = "8.:    :    :";

// The four banner lines of a d2r file, naming `caption`.
void WriteD2rBanner(LineSink& out, std::string_view caption);

// The pad field of each MSD step character: four columns, "L", "D", "U", "R"
// or a blank each. Any character that names no panel gives four blanks.
inline constexpr auto kD2rPadFields = [] {
    std::array<std::array<char, 4>, 256> fields{};
    for (auto& field : fields) field = {' ', ' ', ' ', ' '};
    const auto set = [&fields](char step, std::string_view columns) {
        for (std::size_t i = 0; i < 4; ++i) fields[static_cast<unsigned char>(step)][i] = columns[i];
    };
    set('1', "LD  ");
    set('2', " D  ");
    set('3', " D R");
    set('4', "L   ");
    set('6', "   R");
    set('7', "L U ");
    set('8', "  U ");
    set('9', "  UR");
    set('A', " DU ");
    set('B', "L  R");
    return fields;
}();

[[nodiscard]] inline std::string_view PadField(char step) {
    return {kD2rPadFields[static_cast<unsigned char>(step)].data(), 4};
}

// ---------------------------------------------------------------------------
// MSD to d2r

// The length codes of step lines, in the order in which merging doubles them:
// "8." (a 32nd note), "4.", "4p", "4P" (a quarter note), and "T" (a third of
// a triplet beat).
enum class D2rLength : std::uint8_t { k32nd, k16th, k8th, kQuarter, kTriplet };

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
[[nodiscard]] inline D2rStepLine MakeD2rStepLine(D2rLength length, char pad1, char pad2) {
    const auto step = [](char c) { return PadField(c) == "    " ? '0' : c; };
    return {length, step(pad1), step(pad2)};
}

// A line that a merge can join to the line before it: not a triplet line,
// both pads silent.
[[nodiscard]] inline bool IsD2rRestLine(D2rStepLine line) {
    return line.length != D2rLength::kTriplet && line.pad1 == '0' && line.pad2 == '0';
}

// The longest step line text: "8.:" and two fields each followed by ":".
inline constexpr std::size_t kD2rStepLineSize = 13;

// Writes the line's text (without a line end) into `buffer` and returns it.
std::string_view FormatD2rStepLine(D2rStepLine line, std::array<char, kD2rStepLineSize>& buffer);
[[nodiscard]] std::string D2rStepLineText(D2rStepLine line);

// A header value that asks for a longer lead-in than this many "0" (8th
// notes) is refused as out of range: a few bytes of gap or START would
// otherwise ask for megabytes of rests.
inline constexpr long long kMaxLeadIn = 1'000'000;
// Gaps and tempos whose whole part no longer fits a double exactly.
inline constexpr double kMaxWholeDouble = 9007199254740992.0;  // 2^53

struct GapRuleResult {
    long long delay = 0;    // the "DELAY=" value
    int start = 4;          // the "START=" value, 1 to 4
    long long lead_in = 0;  // the new lead-in L
};

// The gap rule for one "#GAP:" line: shifts `gap` toward -150 .. 150 in steps
// of 64 while moving the lead-in by 2 8th notes per step, then trades whole
// measures of lead-in for START. The loops are evaluated in closed form, so a
// huge gap costs no time; `gap` must lie within +-kMaxWholeDouble.
[[nodiscard]] GapRuleResult ApplyD2rGapRule(long long lead_in, double gap);

// Opens the section of one chart line (which begins with a chart tag): closes
// an open section, writes the separator, "PLAYER=", "MODE=" and "LEVEL=" and
// "MUSICSTART". Returns what is left of the line: the start of the chart data.
[[nodiscard]] std::string BeginD2rSection(std::string_view chart_line, bool& section_open, LineSink& out);

struct D2rPadTexts {
    std::string pad1;
    std::string pad2;
};

// Splits chart data (its `chart_lead_in` leading "0" characters already
// removed) into the two pads' MSD texts, each with its lead-in moved by
// `lead_in` - `reference_lead_in`.
[[nodiscard]] D2rPadTexts BuildD2rPadTexts(std::string_view chart_data, long long chart_lead_in,
                                           long long lead_in, long long reference_lead_in);

// Aligns the other pad's expanded text with a triplet beat of this pad. The
// other pad's unread text begins at `next`; `taken` is its character read
// together with the "T". On success the other pad's beat "x0000000" becomes
// "x00" and `next` points at the "x" put back; returns false (text unchanged)
// when that beat has steps after its first cell.
[[nodiscard]] bool AlignPadToTriplet(std::string& other, std::size_t& next, char taken);

// Turns the two pads' expanded step texts (their final ";" removed) into d2r
// step lines of one unit each, three "T:" lines per triplet beat. Each
// triplet that the other pad cannot follow adds an error line. The lines run
// to the end of pad 1, or further, with pad 1 silent, to pad 2's last
// character that is not "0"; a triplet under way is always finished. Pad 2's
// trailing "0" beyond pad 1 give no lines.
[[nodiscard]] std::vector<D2rStepLine> BuildD2rStepLines(std::string pad1, std::string pad2,
                                                         std::string_view file_name, ErrorList& errors);

// One merging pass: a rest line joins the line before it when both have the
// same length; after a pair that cannot merge the pass skips a beat's worth of
// lines. Works in place: the merged list is never longer than what it read.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLines(std::vector<D2rStepLine> lines);

// Merging passes until one changes nothing.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLinesFully(std::vector<D2rStepLine> lines);

// The same result as repeating MergeD2rStepLines until it changes nothing, in
// time close to linear also for charts that need a pass for every few lines.
[[nodiscard]] std::vector<D2rStepLine> MergeD2rStepLinesByWalking(std::vector<D2rStepLine> lines);

// The step lines of one chart: pad texts, decoding, building and merging.
// `chart_data` has its `chart_lead_in` leading "0" characters removed.
[[nodiscard]] std::vector<D2rStepLine> ConvertChartToD2rStepLines(std::string_view chart_data,
                                                                  long long chart_lead_in, long long lead_in,
                                                                  long long reference_lead_in,
                                                                  std::string_view file_name, ErrorList& errors);

// ---------------------------------------------------------------------------
// d2r to MSD

// The DELAY value that says that the "#GAP:" line has been written.
inline constexpr long long kGapWritten = 999999;
// The largest START: it becomes a lead-in line of 18 "0" and 8 more per
// measure above 4, which may not pass kMaxLeadIn.
inline constexpr long long kMaxStart = (kMaxLeadIn - 18) / 8 + 4;
// A START below 4 costs nothing but measures added to the gap, 256 each;
// below this one the gap would no longer fit 64 bits.
inline constexpr long long kMinStart = -(1LL << 52);

// A line that belongs to a step block: it begins with "4", "8", "T" or "*".
[[nodiscard]] bool IsD2rStepBlockLine(std::string_view line);

// The step list of one block: a line per 32nd-note unit, as the pads read
// them. A unit of rest costs four bytes, any other line four bytes and its
// text with a five-byte head (a long chart is mostly rests). While the pads
// are read, a line that pad 1 takes into a triplet gets a "#" in front, and
// one that pad 2 takes becomes "&".
class D2rStepList {
public:
    // Adds the line `head` + `tail`. Throws std::length_error when the block's
    // stored text would pass 4 GB.
    void Add(std::string_view head, std::string_view tail = {});
    void AddRestUnit() { entries_.push_back(kRest); }
    void Clear();
    [[nodiscard]] std::size_t Size() const { return entries_.size(); }
    // How many units of rest, never taken into a triplet, follow from `i` on.
    [[nodiscard]] std::size_t RestsAt(std::size_t i) const {
        std::size_t end = i;
        while (end < entries_.size() && entries_[end] == kRest) ++end;
        return end - i;
    }
    // The line as it reads now; valid until the next Add.
    [[nodiscard]] std::string_view Line(std::size_t i) const {
        switch (entries_[i]) {
            case kRest: return kD2rRestUnit;
            case kRestTakenByPad1: return "#8.:    :    :";
            case kTakenByPad2: return "&";
            default: break;
        }
        const std::size_t at = entries_[i];
        std::uint32_t length = 0;
        std::memcpy(&length, text_.data() + at, kLengthBytes);
        const std::size_t mark = at + kLengthBytes;
        return text_[mark] == '#' ? std::string_view(text_).substr(mark, length + 1)
                                  : std::string_view(text_).substr(mark + 1, length);
    }
    void MarkTakenByPad1(std::size_t i);
    void MarkTakenByPad2(std::size_t i) { entries_[i] = kTakenByPad2; }
    [[nodiscard]] std::vector<std::string> Lines() const;

private:
    static constexpr std::uint32_t kRest = UINT32_MAX;
    static constexpr std::uint32_t kRestTakenByPad1 = UINT32_MAX - 1;
    static constexpr std::uint32_t kTakenByPad2 = UINT32_MAX - 2;
    static constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

    // Each stored line: its length (4 bytes), a mark byte (" " or "#"), its text.
    std::string text_;
    // Per line: a k... value above, or where its record begins in text_.
    std::vector<std::uint32_t> entries_;
};

// Normalises one line of a step block into the step list: "8." and "T" lines
// stay, "4.", "4p" and "4P" lines become an "8." line followed by 1, 3 or 7
// rest units, and comments and lines without a length code are dropped.
void CollectD2rStepLine(std::string_view line, D2rStepList& step_list);

// The MSD step character of one pad field. Decodes only when `head` is "8.:",
// "#T:" or " T:"; otherwise gives nothing and reports nothing. A field with
// three or more panels (or letters out of place that add up so), or one that
// holds a Shift-JIS double-byte character (whose second byte may look like a
// letter), adds an error line naming `line` and gives "0".
[[nodiscard]] std::optional<char> DecodeD2rPanels(std::string_view field, std::string_view head,
                                                  std::string_view line, std::string_view file_name,
                                                  ErrorList& errors);

// A step list line with a step on either pad: not both pad fields four blanks.
[[nodiscard]] bool D2rLineBearsStep(std::string_view line);

// The MSD text of one pad while it is being built from units. A beat group
// is compacted as it closes (compacting a group depends on nothing around
// it), so that "(40000000)" is kept as "40".
struct MsdPadText {
    std::string text;
    bool group_open = false;
    int units = 0;  // step characters in the open beat group
};

// Adds one unit: opens a beat group when none is open, closes and compacts it
// at eight.
void AddD2rUnit(MsdPadText& pad, char step);

// Adds `count` silent units, as AddD2rUnit would one by one.
void AddD2rRests(MsdPadText& pad, std::size_t count);

// Fills the open beat group with "0" and closes it.
void CloseD2rBeat(MsdPadText& pad);

// Makes room for a triplet beat: a triplet may start on a beat, or after a
// half beat whose last three units are silent (that half beat becomes a plain
// 8th note). Anywhere else the open beat is filled with silence and an error
// line naming `first_line_head` is added.
void StartD2rTriplet(MsdPadText& pad, std::string_view first_line_head, std::string_view file_name,
                     ErrorList& errors);

// Splits the lead-in off a pad: returns the compacted text of the whole beats
// before the first step and keeps only the open part of the current beat (its
// silent units) in `pad`, so that the first step keeps its place in the beat.
[[nodiscard]] std::string TakeD2rLeadIn(MsdPadText& pad);

struct MsdGap {
    long long gap = 0;      // the "#GAP:" value
    long long lead_in = 0;  // L, the first lead-in line's length
};

// The "#GAP:" value and the lead-in of the first chart: the raw lead-in
// (`raw_length` characters, `raw_is_silent` when all "0") plus 18 and 8 per
// measure of START above 4, raised by whole measures past 26, each measure
// adding 256 to DELAY. Throws ConversionError when DELAY + 256 n overflows.
[[nodiscard]] MsdGap ComputeMsdGap(bool raw_is_silent, long long raw_length, long long start, long long delay,
                                   std::string_view delay_text, const std::filesystem::path& source);

// What the d2r-to-MSD conversion carries from one chart to the next.
struct D2rToMsdState {
    long long start = 4;
    long long delay = 0;
    std::string delay_text = "0";
    std::string style;
    std::string mode;
    std::string level;
    long long first_lead_in = 0;     // L1
    long long first_raw_length = 0;  // R1
    bool first_raw_silent = true;    // R1 is a run of "0" only
};

// Writes one chart from its normalised step list: the "#GAP:" line before the
// first chart, the chart line, and per pad its lead-in lines and step line.
// Marks the step list's triplet lines while it goes.
void WriteMsdChartFromD2r(D2rStepList& step_list, D2rToMsdState& state, LineSink& out,
                          const std::filesystem::path& source, ErrorList& errors);

}  // namespace torvane
