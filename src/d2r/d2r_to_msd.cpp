// d2r to MSD: d2r keys become MSD tags, and every step block becomes one
// chart whose pads are rebuilt on a grid of 32nd-note units and compacted.

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "d2r/d2r.hpp"
#include "d2r/d2r_notes.hpp"
#include "d2r/d2r_to_msd.hpp"
#include "msd/chart_section.hpp"
#include "msd/header.hpp"
#include "msd/pad_builder.hpp"
#include "msd/styles.hpp"
#include "msd/writer.hpp"
#include "text/fixed_texts.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// The first pass: the first START value other than 0, or 0 when there is none.
long long ReadD2rStart(LineSource& input, const std::filesystem::path& source, long long max_start) {
    std::string_view line;
    while (input.ReadLineView(line)) {
        // Any line that begins with "START", read from its seventh character.
        if (!line.starts_with("START")) continue;
        const std::string_view text = D2rLinePart(line, 6, std::string_view::npos);
        const long long start = ReadWholeNumber(text, source, "START");
        if (start == 0) continue;
        if (start > max_start || start < kMinStart) ThrowNumberOutOfRange(text, source, "START");
        return start;
    }
    return 0;
}

// What came before a pad's first step becomes the "#GAP:" line (once per
// file), the chart line (once per chart) and the pad's lead-in lines. A pad
// that would have to start before the first chart's pad, which the one gap of
// the file cannot give it, starts with its first step and is reported.
void WriteD2rLeadIn(MsdPadBuilder& pad, D2rToMsdState& state, LineSink& out, const std::filesystem::path& source,
                    std::string_view chart_line, std::string_view file_name, ErrorList& errors) {
    const std::string raw = pad.TakeWholeBeats();
    const auto raw_length = static_cast<long long>(raw.size());
    const bool silent = IsAllZero(raw);
    if (state.delay != kGapWritten) {
        const MsdGap gap = ComputeMsdGap(silent, raw_length, state.start, state.delay, state.delay_text, source);
        out.WriteLine(std::string(kGapTag) + std::to_string(gap.gap) + ";");
        state.first_lead_in = gap.lead_in;
        state.first_raw_length = raw_length;
        state.first_raw_silent = silent;
        state.delay = kGapWritten;
    }
    if (!state.style.empty()) {
        out.WriteLine(chart_line);
        state.style.clear();
    }
    // Every pad starts where the first one did. A silent raw lead-in is
    // written as part of the line of "0", one with steps on a line of its own
    // after it, so each counts toward that line only when it is silent.
    const long long start_of_pads = state.first_lead_in - (state.first_raw_silent ? state.first_raw_length : 0);
    const long long zeros = start_of_pads + (silent ? raw_length : 0);
    if (zeros < 0) errors.Add(file_name, ErrorCode::kChartStartsBeforeGap, ChartLabel(chart_line));
    if (zeros > 0) WriteZeroLine(out, static_cast<std::size_t>(zeros));
    if (!silent) out.WriteLine(raw);
}

// The pads convert a block that the reader has passed: what they report
// stands on the source line of the unit they are at, which the list asks for
// only when a line is added.
class UnitPlace final : public SourcePlace {
public:
    UnitPlace(D2rStepList& step_list, ErrorList& errors) : step_list_(step_list), errors_(errors) {
        errors_.PlaceBy(this);
    }
    ~UnitPlace() { errors_.PlaceBy(nullptr); }
    UnitPlace(const UnitPlace&) = delete;
    UnitPlace& operator=(const UnitPlace&) = delete;

    void At(std::size_t unit) { unit_ = unit; }
    [[nodiscard]] std::size_t SourceLine() override { return step_list_.SourceLineOf(unit_); }

private:
    D2rStepList& step_list_;
    ErrorList& errors_;
    std::size_t unit_ = 0;
};

// The triplet that begins at step_list[first] and takes the two lines
// after it, whatever they hold; lines past the end of the list are silent.
void AddD2rTriplet(D2rStepList& step_list, std::size_t first, int pad_number, MsdPadBuilder& pad,
                   std::string_view file_name, ErrorList& errors, UnitPlace& place) {
    // The pads' place is still at `first`.
    if (!pad.StartTriplet()) {
        errors.Add(file_name, ErrorCode::kTripletOffBeat, D2rLinePart(step_list.Line(first), 0, 3));
    }
    char steps[3] = {'0', '0', '0'};
    for (std::size_t at = first; at < first + 3 && at < step_list.Size(); ++at) {
        place.At(at);
        const std::string_view line = step_list.Line(at);
        std::optional<char> step;
        if (pad_number == 1) {
            // The pad-1 field of an unmarked triplet line begins a column
            // early; it decodes under the head " T:".
            std::string head = " ";
            head.append(D2rLinePart(line, 0, 2));
            step = DecodeD2rPanels(line, 2, head, file_name, errors);
            step_list.MarkTakenByPad1(at);
        } else {
            step = DecodeD2rPanels(line, 8, D2rLinePart(line, 0, 3), file_name, errors);
            step_list.MarkTakenByPad2(at);
        }
        steps[at - first] = step.value_or('0');
    }
    pad.AddTriplet(steps[0], steps[1], steps[2]);
}

// Most lines of a step block: they begin with a length code, which no key
// does, and are never dropped.
constexpr bool BeginsWithD2rLengthCode(std::string_view line) {
    if (line.size() < 2) return false;
    switch (line[0]) {
        case '8': return line[1] == '.';
        case '4': return line[1] == '.' || line[1] == 'p' || line[1] == 'P';
        case 'T': return line[1] == ':';
        default: return false;
    }
}

// A triplet whose three lines are triplet lines of well-formed fields, as
// the pad before left them, and whose fields of this pad have a step
// character: most triplets, which decode without a word.
struct PlainTriplet {
    std::array<char, 3> steps{};
    bool bears_step = false;  // the first line, on either pad
};

std::optional<PlainTriplet> PlainD2rTriplet(const D2rStepList& step_list, std::size_t first, int pad_number) {
    if (step_list.Size() - first < 3) return std::nullopt;
    PlainTriplet triplet;
    for (std::size_t k = 0; k < 3; ++k) {
        // Pad 2 finds them marked by pad 1.
        const int masks = step_list.TripletLinePanels(first + k, pad_number == 2);
        if (masks < 0) return std::nullopt;
        const char step = StepOfPanels(pad_number == 1 ? masks >> 4 : masks & 15);
        if (step == 0) return std::nullopt;
        triplet.steps[k] = step;
        if (k == 0) triplet.bears_step = masks != 0;
    }
    return triplet;
}

class D2rToMsd {
public:
    D2rToMsd(const std::filesystem::path& source, ErrorList& errors, LineSource& input, LineSink& out)
        : source_(source), file_name_(FileNameForErrorLine(source)), errors_(errors), input_(input), out_(out) {}

    void Run(long long start) {
        // Without a START line the file starts at 4.
        start_found_ = start != 0;
        state_.start = start_found_ ? start : kD2rDefaultStart;
        std::string_view line;
        bool have_line = input_.ReadLineView(line);
        while (have_line) {
            // Keys are tried first: "TITLE=" and "TEMPO10=" begin with "T" too.
            if (!KeyLine(line) && IsD2rStepBlockLine(line)) {
                have_line = StepBlock(line);
            } else {
                have_line = input_.ReadLineView(line);
            }
        }
    }

private:
    // Handles a comment or key line; false for any other line.
    bool KeyLine(std::string_view line) { return line.starts_with("*") || Key(line); }

    // Handles a line that begins with one of the keys; false for any other line.
    bool Key(std::string_view line) {
        for (const HeaderKey& row : kD2rHeaderKeys) {
            if (row.read_back && line.starts_with(row.key)) {
                out_.WriteLine(HeaderLineToMsd(row, line));
                return true;
            }
        }
        if (line.starts_with(kD2rTempoKey)) {
            const double tempo = ReadDecimal(line.substr(kD2rTempoKey.size()), source_, kD2rTempoKey) / 10;
            out_.WriteLine(std::string(kBpmTag) + FormatGeneral(tempo, 7) + ";");
        } else if (line.starts_with(kD2rDelayKey)) {
            state_.delay = ReadWholeNumber(line.substr(kD2rDelayKey.size()), source_, kD2rDelayKey);
            state_.delay_text.assign(line.substr(kD2rDelayKey.size()));
            delay_found_ = true;
        } else if (line.starts_with(kD2rLevelKey)) {
            TranslateHeaderLine("", kD2rLevelKey.size(), line, 0, state_.level);
        } else if (line.starts_with(kD2rModeKey)) {
            TranslateHeaderLine("", kD2rModeKey.size(), line, 0, state_.mode);
        } else if (line.starts_with(kD2rPlayerKey)) {
            TranslateHeaderLine("#", kD2rPlayerKey.size(), line, 0, state_.style);
        } else {
            return false;
        }
        return true;
    }

    // Writes the chart of the block collected, with the notes of what it lost.
    void WriteChart() {
        const D2rToMsdState before = state_;
        WriteMsdChartFromD2r(step_list_, state_, out_, source_, errors_);
        NoteD2rChart(before, state_, start_found_, delay_found_, errors_);
    }

    // Collects the block that `line` begins, converts it, and leaves the line
    // after the block's end in `line`; false when the file has ended.
    bool StepBlock(std::string_view& line) {
        step_list_.Clear(errors_.SourceLine());
        NoteD2rBlockLine(line, errors_);
        CollectD2rStepLine(line, step_list_);
        bool have_line = input_.ReadLineView(line);
        // "TITLE=" and "TEMPO10=" begin with "T", but a key line is never a
        // step line: the writer puts the keys that follow a chart right after
        // its step lines.
        while (have_line) {
            if (!BeginsWithD2rLengthCode(line)) {
                if (!IsD2rStepBlockLine(line) || IsD2rKeyLine(line)) break;
                NoteD2rBlockLine(line, errors_);
            }
            CollectD2rStepLine(line, step_list_);
            have_line = input_.ReadLineView(line);
        }
        if (!have_line) {
            WriteChart();
            return false;
        }
        if (IsD2rKeyLine(line)) {
            // Read after the chart is written: a "PLAYER=" is the next chart's.
            WriteChart();
            (void)Key(line);
            return input_.ReadLineView(line);
        }
        // Any other line that ends the block is consumed with it. "MUSICEND"
        // is the format's own end of a block; anything else is worth a
        // message unless it is the file's last or followed by an empty line.
        const std::string block_end(line);
        const std::size_t block_end_line = errors_.SourceLine();
        have_line = input_.ReadLineView(line);
        if (have_line && !line.empty() && !block_end.starts_with(kD2rMusicEnd)) {
            errors_.AddOnLine(block_end_line, file_name_, ErrorCode::kOption, block_end);
        }
        WriteChart();
        return have_line;
    }

    const std::filesystem::path& source_;
    std::string file_name_;
    ErrorList& errors_;
    LineSource& input_;
    LineSink& out_;
    D2rToMsdState state_;
    D2rStepList step_list_;
    bool start_found_ = false;
    bool delay_found_ = false;
};

}  // namespace

MsdGap ComputeMsdGap(bool raw_is_silent, long long raw_length, long long start, long long delay,
                     std::string_view delay_text, const std::filesystem::path& source) {
    long long lead_in = raw_is_silent ? raw_length : 0;
    lead_in += kGameLeadIn + kPositionsPerMeasure * (start - kD2rDefaultStart);
    // while lead_in <= 26: lead_in += 8, measures += 1
    long long measures = 0;
    if (lead_in <= kD2rLeadInFloor) {
        measures = (kD2rLeadInFloor - lead_in) / kPositionsPerMeasure + 1;
        lead_in += kPositionsPerMeasure * measures;
    }
    long long shift = 0;
    long long gap = 0;
    if (__builtin_mul_overflow(measures, kGapUnitsPerMeasure, &shift) || __builtin_add_overflow(delay, shift, &gap)) {
        ThrowNumberOutOfRange(delay_text, source, kD2rDelayKey);
    }
    return {gap, lead_in};
}

void WriteMsdChartFromD2r(D2rStepList& step_list, D2rToMsdState& state, LineSink& out,
                          const std::filesystem::path& source, ErrorList& errors) {
    const std::string file_name = FileNameForErrorLine(source);
    const int pads = PadCount(state.style);
    // A chart without a "PLAYER=" of its own gets no chart line.
    const std::string chart_line =
        state.style.empty() ? std::string() : state.style + ":" + state.mode + ":" + state.level + ":";
    UnitPlace place(step_list, errors);
    for (int pad_number = 1; pad_number <= pads; ++pad_number) {
        // Triplet lines are marked "#" by the first pad and "&" by the second,
        // so that each pad passes over the two lines a triplet took.
        const char taken_mark = pad_number == 1 ? '#' : '&';
        const std::size_t field_at = pad_number == 1 ? 3 : 8;
        MsdPadBuilder pad;
        bool lead_in_pending = true;
        for (std::size_t i = 0; i < step_list.Size(); ++i) {
            if (const std::size_t rests = step_list.RestsAt(i); rests > 0) {
                // Most units: silent on both pads, no option, not a triplet.
                pad.AddRests(rests);
                i += rests - 1;
                continue;
            }
            if (const int masks = step_list.PlainLinePanels(i); masks >= 0) {
                // Most other units: a plain line, which decodes without a word.
                if (lead_in_pending && masks != 0) {
                    place.At(i);
                    WriteD2rLeadIn(pad, state, out, source, chart_line, file_name, errors);
                    lead_in_pending = false;
                }
                pad.AddUnit(StepOfPanels(pad_number == 1 ? masks >> 4 : masks & 15));
                continue;
            }
            if (const std::optional<PlainTriplet> triplet = PlainD2rTriplet(step_list, i, pad_number)) {
                // What AddD2rTriplet does, in the same order, with nothing to report on a line.
                place.At(i);
                if (lead_in_pending && triplet->bears_step) {
                    WriteD2rLeadIn(pad, state, out, source, chart_line, file_name, errors);
                    lead_in_pending = false;
                }
                if (!pad.StartTriplet()) {
                    errors.Add(file_name, ErrorCode::kTripletOffBeat, D2rLinePart(step_list.Line(i), 0, 3));
                }
                pad.AddTriplet(triplet->steps[0], triplet->steps[1], triplet->steps[2]);
                for (std::size_t at = i; at < i + 3; ++at) {
                    if (pad_number == 1) {
                        step_list.MarkTakenByPad1(at);
                    } else {
                        step_list.MarkTakenByPad2(at);
                    }
                }
                // The two lines after it now bear this pad's mark, which it passes over.
                i += 2;
                continue;
            }
            const std::string_view line = step_list.Line(i);
            if (!line.empty() && line[0] == taken_mark) continue;
            place.At(i);
            const std::optional<char> step = DecodeD2rPanels(line, field_at, D2rLinePart(line, 0, 3), file_name, errors);
            if (AsksForD2rOption(line)) errors.Add(file_name, ErrorCode::kOption, line);
            if (lead_in_pending && D2rLineBearsStep(line)) {
                WriteD2rLeadIn(pad, state, out, source, chart_line, file_name, errors);
                lead_in_pending = false;
            }
            if (line.starts_with("T:") || line.starts_with("#T:")) {
                AddD2rTriplet(step_list, i, pad_number, pad, file_name, errors, place);
            } else {
                // A damaged length code decodes to nothing: a silent unit.
                pad.AddUnit(step.value_or('0'));
            }
        }
        // Every beat and triplet was compacted as it closed: the text is
        // already what compacting the whole of it gives.
        std::string steps = pad.Finish();
        steps += pad_number == 1 && pads == 2 ? ':' : ';';
        out.WriteLine(steps);
    }
}

void Convertd2r2MSD(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage, long long max_lead_in) {
    auto input = storage.OpenSource(source);
    const long long start = ReadD2rStart(*input, source, MaxStart(max_lead_in));
    input->Rewind();
    auto out = storage.CreateDestination(destination, source);
    WriteMsdBanner(*out, caption);
    D2rToMsd(source, errors, *input, *out).Run(start);
    out->Commit();
}

}  // namespace torvane
