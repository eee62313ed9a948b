// d2r to MSD: d2r keys become MSD tags, and every step block becomes one
// chart whose pads are rebuilt on a grid of 32nd-note units and compacted.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "d2r/d2r.hpp"
#include "d2r/d2r_notes.hpp"
#include "d2r/d2r_steps.hpp"
#include "msd/chart_section.hpp"
#include "msd/encoder.hpp"
#include "msd/header.hpp"
#include "msd/writer.hpp"
#include "text/fixed_texts.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// Characters `from` .. `from` + `count` - 1 of `line`, as many as it has.
std::string_view Part(std::string_view line, std::size_t from, std::size_t count) {
    return from >= line.size() ? std::string_view() : line.substr(from, count);
}

bool IsSilent(std::string_view text) { return text.find_first_not_of('0') == std::string_view::npos; }

// The size of the character at `at`: 2 for a double-byte character (a lead
// byte and a valid second byte), else 1. A second byte may be "L", "T" or
// another ASCII letter that means something in a step line.
std::size_t CharacterSizeAt(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size() || !IsSjisLeadByte(static_cast<unsigned char>(text[at]))) return 1;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    return (second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC) ? 2 : 1;
}

// Whether the first `count` bytes of `text` are all ASCII: then no
// double-byte character begins among them. Step lines nearly always are, so
// the readers below test this first.
bool AsciiUpTo(std::string_view text, std::size_t count) {
    count = std::min(count, text.size());
    std::uint64_t any = 0;
    if (count >= 8) {
        // Words from the front, the last one ending at `count`.
        for (std::size_t at = 0;; at = std::min(at + 8, count - 8)) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + at, 8);
            any |= word;
            if (at == count - 8) break;
        }
    } else {
        for (std::size_t at = 0; at < count; ++at) any |= static_cast<unsigned char>(text[at]);
    }
    return (any & 0x8080808080808080ULL) == 0;
}

// Whether a double-byte character of `text`, read from its start, takes any
// of the `count` bytes from `from` on.
bool DoubleByteCharacterReaches(std::string_view text, std::size_t from, std::size_t count) {
    if (AsciiUpTo(text, from + count)) return false;
    for (std::size_t at = 0; at < text.size() && at < from + count;) {
        const std::size_t size = CharacterSizeAt(text, at);
        if (size == 2 && at + 2 > from) return true;
        at += size;
    }
    return false;
}

// A "T" as the 13th or 14th character of a step line asks for an option
// that cannot be converted; the second byte of a double-byte character there
// is no "T".
bool AsksForAnOption(std::string_view line) {
    if (AsciiUpTo(line, 14)) return (line.size() > 12 && line[12] == 'T') || (line.size() > 13 && line[13] == 'T');
    for (std::size_t at = 0; at < line.size() && at < 14;) {
        const std::size_t size = CharacterSizeAt(line, at);
        if (size == 1 && at >= 12 && line[at] == 'T') return true;
        at += size;
    }
    return false;
}

// The step character of a pad field, or "0" with an error line naming
// `line` when the field is no panel field. Only the heads "8.:", "#T:" and
// " T:" decode.
std::optional<char> DecodePadField(std::string_view field, bool holds_double_byte, std::string_view head,
                                   std::string_view line, std::string_view file_name, ErrorList& errors) {
    const bool decodes = head.size() == 3 && head[2] == ':' &&
                         ((head[0] == '8' && head[1] == '.') || ((head[0] == '#' || head[0] == ' ') && head[1] == 'T'));
    if (!decodes) return std::nullopt;
    if (!holds_double_byte) {
        // The column of each letter weighs it: in a well-formed field (each
        // column blank or its own letter) this is the mask L 1, D 2, U 4, R 8,
        // and a letter out of place counts as another.
        int value = 0;
        const bool well_formed = field.size() == 4 && (field[0] == ' ' || field[0] == 'L') &&
                                 (field[1] == ' ' || field[1] == 'D') && (field[2] == ' ' || field[2] == 'U') &&
                                 (field[3] == ' ' || field[3] == 'R');
        if (well_formed) {
            value = (field[0] == 'L' ? 1 : 0) | (field[1] == 'D' ? 2 : 0) | (field[2] == 'U' ? 4 : 0) |
                    (field[3] == 'R' ? 8 : 0);
        } else {
            // The column (from 1) of the first of each letter, 0 when it is missing.
            int l = 0, d = 0, u = 0, r = 0;
            for (std::size_t at = field.size(); at-- > 0;) {
                const int column = static_cast<int>(at) + 1;
                switch (field[at]) {
                    case 'L': l = column; break;
                    case 'D': d = column; break;
                    case 'U': u = column; break;
                    case 'R': r = column; break;
                    default: break;
                }
            }
            value = l + d + u * 4 / 3 + 2 * r;
        }
        // Three or more panels have no step character.
        static constexpr std::array<char, 13> kSteps = {'0', '4', '2', '1', '8', '7', 'A', 0, '6', 'B', '3', 0, '9'};
        if (value < static_cast<int>(kSteps.size()) && kSteps[static_cast<std::size_t>(value)] != 0) {
            return kSteps[static_cast<std::size_t>(value)];
        }
    }
    errors.Add(file_name, Texts().bad_panels, line);
    return '0';
}

// The pad field of `line` from `field_at`, decoded. The line is read from its
// start, so that a double-byte character that begins before the field, in
// place of its ":", does not lend the field its second byte as a letter.
std::optional<char> DecodeD2rPanelsOfLine(std::string_view line, std::size_t field_at, std::string_view head,
                                          std::string_view file_name, ErrorList& errors) {
    return DecodePadField(Part(line, field_at, 4), DoubleByteCharacterReaches(line, field_at, 4), head, line,
                          file_name, errors);
}

// The first pass: the first START value other than 0, or 0 when there is none.
long long ReadD2rStart(LineSource& input, const std::filesystem::path& source) {
    std::string line;
    while (input.ReadLine(line)) {
        if (!StartsWith(line, "START")) continue;
        const std::string_view text = Part(line, 6, std::string_view::npos);
        const long long start = ReadWholeNumber(text, source, "START");
        if (start == 0) continue;
        if (start > kMaxStart || start < -kMaxStart) ThrowNumberOutOfRange(text, source, "START");
        return start;
    }
    return 0;
}

// What came before a pad's first step becomes the "#GAP:" line (once per
// file), the chart line (once per chart) and the pad's lead-in lines.
void WriteD2rLeadIn(MsdPadText& pad, D2rToMsdState& state, LineSink& out, const std::filesystem::path& source) {
    const std::string raw = TakeD2rLeadIn(pad);
    const auto raw_length = static_cast<long long>(raw.size());
    const bool silent = IsSilent(raw);
    if (state.delay != kGapWritten) {
        const MsdGap gap = ComputeMsdGap(silent, raw_length, state.start, state.delay, state.delay_text, source);
        out.WriteLine("#GAP:" + std::to_string(gap.gap) + ";");
        state.first_lead_in = gap.lead_in;
        state.first_raw_length = raw_length;
        state.first_raw_silent = silent;
        state.delay = kGapWritten;
    }
    if (!state.style.empty()) {
        out.WriteLine(state.style + ":" + state.mode + ":" + state.level + ":");
        state.style.clear();
    }
    // Every pad starts where the first one did. A silent raw lead-in is
    // written as part of the line of "0", one with steps on a line of its own
    // after it, so each counts toward that line only when it is silent.
    const long long start_of_pads = state.first_lead_in - (state.first_raw_silent ? state.first_raw_length : 0);
    const long long zeros = start_of_pads + (silent ? raw_length : 0);
    if (zeros > 0) WriteZeroLine(out, static_cast<std::size_t>(zeros));
    if (!silent) out.WriteLine(raw);
}

// The triplet that begins at step_list[first] and takes the two lines
// after it, whatever they hold; lines past the end of the list are silent.
void AddD2rTriplet(D2rStepList& step_list, std::size_t first, int pad_number, MsdPadText& pad,
                   std::string_view file_name, ErrorList& errors) {
    StartD2rTriplet(pad, Part(step_list.Line(first), 0, 3), file_name, errors);
    pad.text += '(';
    for (std::size_t at = first; at < first + 3; ++at) {
        if (at >= step_list.Size()) {
            pad.text += '0';
            continue;
        }
        const std::string_view line = step_list.Line(at);
        std::optional<char> step;
        if (pad_number == 1) {
            std::string head = " ";
            head.append(Part(line, 0, 2));
            step = DecodeD2rPanelsOfLine(line, 2, head, file_name, errors);
            step_list.MarkTakenByPad1(at);
        } else {
            step = DecodeD2rPanelsOfLine(line, 8, Part(line, 0, 3), file_name, errors);
            step_list.MarkTakenByPad2(at);
        }
        pad.text += step.value_or('0');
    }
    // A triplet stepped on its first third only is two 8th notes.
    const std::size_t size = pad.text.size();
    if (pad.text[size - 2] == '0' && pad.text[size - 1] == '0') {
        const char first_third = pad.text[size - 3];
        pad.text.resize(size - 4);
        pad.text.append({first_third, '0'});
    } else {
        pad.text += ')';
    }
}

class D2rToMsd {
public:
    D2rToMsd(const std::filesystem::path& source, ErrorList& errors, LineSource& input, LineSink& out)
        : source_(source), file_name_(FileNameForErrorLine(source)), errors_(errors), input_(input), out_(out) {}

    void Run(long long start) {
        start_found_ = start != 0;
        state_.start = start_found_ ? start : 4;
        std::string line;
        bool have_line = input_.ReadLine(line);
        while (have_line) {
            // Keys are tried first: "TITLE=" and "TEMPO10=" begin with "T" too.
            if (!KeyLine(line) && IsStepBlockStart(line)) {
                have_line = StepBlock(line);
            } else {
                have_line = input_.ReadLine(line);
            }
        }
    }

private:
    static bool IsStepBlockStart(std::string_view line) {
        return !line.empty() && (line[0] == '4' || line[0] == '8' || line[0] == 'T');
    }

    // Handles a comment or key line; false for any other line.
    bool KeyLine(std::string_view line) {
        std::string translated;
        if (StartsWith(line, "*")) {
            return true;
        } else if (StartsWith(line, "TITLE=")) {
            TranslateHeaderLine("#TITLE:", 6, line, 0, translated);
            out_.WriteLine(translated);
        } else if (StartsWith(line, "ARTIST=")) {
            TranslateHeaderLine("#ARTIST:", 7, line, 0, translated);
            out_.WriteLine(translated);
        } else if (StartsWith(line, "MUSIC=")) {
            TranslateHeaderLine("#FILE:", 6, line, 0, translated);
            out_.WriteLine(translated);
        } else if (StartsWith(line, "TEMPO10=")) {
            const double tempo = ReadDecimal(line.substr(8), source_, "TEMPO10=") / 10;
            out_.WriteLine("#BPM:" + FormatGeneral(tempo, 7) + ";");
        } else if (StartsWith(line, "DELAY=")) {
            state_.delay = ReadWholeNumber(line.substr(6), source_, "DELAY=");
            state_.delay_text.assign(line.substr(6));
            delay_found_ = true;
        } else if (StartsWith(line, "LEVEL=")) {
            TranslateHeaderLine("", 6, line, 0, state_.level);
        } else if (StartsWith(line, "MODE=")) {
            TranslateHeaderLine("", 5, line, 0, state_.mode);
        } else if (StartsWith(line, "PLAYER=")) {
            TranslateHeaderLine("#", 7, line, 0, state_.style);
        } else {
            return false;
        }
        return true;
    }

    // Collects the block that `line` begins, converts it, and leaves the line
    // after the block's end in `line`; false when the file has ended.
    bool StepBlock(std::string& line) {
        step_list_.Clear();
        NoteD2rBlockLine(line, errors_);
        CollectD2rStepLine(line, step_list_);
        bool have_line = input_.ReadLine(line);
        while (have_line && IsD2rStepBlockLine(line)) {
            NoteD2rBlockLine(line, errors_);
            CollectD2rStepLine(line, step_list_);
            have_line = input_.ReadLine(line);
        }
        if (have_line) {
            // The line that ends the block is consumed with it; it is worth a
            // message unless it is the file's last or followed by an empty line.
            std::string block_end = std::move(line);
            have_line = input_.ReadLine(line);
            if (have_line && !line.empty()) errors_.Add(file_name_, Texts().bad_option, block_end);
        }
        const D2rToMsdState before = state_;
        WriteMsdChartFromD2r(step_list_, state_, out_, source_, errors_);
        NoteD2rChart(before, state_, start_found_, delay_found_, errors_);
        return have_line;
    }

    const std::filesystem::path& source_;
    std::string file_name_;
    ErrorList& errors_;
    LineSource& input_;
    LineSink& out_;
    D2rToMsdState state_;
    bool start_found_ = false;
    bool delay_found_ = false;
    D2rStepList step_list_;
};

}  // namespace

bool IsD2rStepBlockLine(std::string_view line) {
    return !line.empty() && (line[0] == '4' || line[0] == '8' || line[0] == 'T' || line[0] == '*');
}

void CollectD2rStepLine(std::string_view line, D2rStepList& step_list) {
    if (StartsWith(line, "8.") || StartsWith(line, "T")) {
        step_list.Add(line);
        return;
    }
    // A lone "4" has no length code and goes like any other such line.
    if (line.size() < 2 || line[0] != '4') return;
    int rests = 0;
    switch (line[1]) {
        case '.': rests = 1; break;
        case 'p': rests = 3; break;
        case 'P': rests = 7; break;
        default: return;
    }
    step_list.Add("8.", line.substr(2));
    for (int i = 0; i < rests; ++i) step_list.AddRestUnit();
}

std::optional<char> DecodeD2rPanels(std::string_view field, std::string_view head, std::string_view line,
                                    std::string_view file_name, ErrorList& errors) {
    field = field.substr(0, 4);
    return DecodePadField(field, DoubleByteCharacterReaches(field, 0, field.size()), head, line, file_name, errors);
}

bool D2rLineBearsStep(std::string_view line) {
    // An unmarked triplet line is one character shorter in front.
    const std::size_t pad1 = StartsWith(line, "T:") ? 2 : 3;
    return Part(line, pad1, 4) != "    " || Part(line, pad1 + 5, 4) != "    ";
}

namespace {

// Closes the open beat group, whose eight units end the text, already in the
// form that compacting gives it in the end: "(x0y0z0w0)" is "(xyzw)", and
// "xz" when y and w are rests too. Compacting a group depends on nothing
// around it, so the text stays as short as it will be written.
void FinishBeat(MsdPadText& pad) {
    pad.group_open = false;
    pad.units = 0;
    std::string& text = pad.text;
    const std::size_t at = text.size() - 8;
    char* u = text.data() + at;
    if (u[1] != '0' || u[3] != '0' || u[5] != '0' || u[7] != '0') {
        text += ')';
        return;
    }
    const char quarter[4] = {u[0], u[2], u[4], u[6]};
    if (quarter[1] == '0' && quarter[3] == '0') {
        u[-1] = quarter[0];  // in place of the "("
        u[0] = quarter[2];
        text.resize(at + 1);
    } else {
        std::memcpy(u, quarter, 4);
        u[4] = ')';
        text.resize(at + 5);
    }
}

}  // namespace

void AddD2rUnit(MsdPadText& pad, char step) {
    if (!pad.group_open) {
        pad.text += '(';
        pad.group_open = true;
        pad.units = 0;
    }
    pad.text += step;
    if (++pad.units == 8) FinishBeat(pad);
}

void AddD2rRests(MsdPadText& pad, std::size_t count) {
    if (pad.group_open) {
        const std::size_t take = std::min(count, static_cast<std::size_t>(8 - pad.units));
        pad.text.append(take, '0');
        pad.units += static_cast<int>(take);
        count -= take;
        if (pad.units == 8) FinishBeat(pad);
    }
    if (count == 0) return;
    // Whole silent beats are "00" each.
    pad.text.append(count / 8 * 2, '0');
    if (count % 8 == 0) return;
    pad.text += '(';
    pad.text.append(count % 8, '0');
    pad.group_open = true;
    pad.units = static_cast<int>(count % 8);
}

void CloseD2rBeat(MsdPadText& pad) {
    if (!pad.group_open) return;
    pad.text.append(static_cast<std::size_t>(8 - pad.units), '0');
    FinishBeat(pad);
}

void StartD2rTriplet(MsdPadText& pad, std::string_view first_line_head, std::string_view file_name,
                     ErrorList& errors) {
    if (!pad.group_open) return;
    const std::string_view text = pad.text;
    if (pad.units == 4 && text.substr(text.size() - 3) == "000") {
        // The open half beat "(x000" is the 8th note x.
        const char step = text[text.size() - 4];
        pad.text.resize(text.size() - 5);
        pad.text += step;
        pad.group_open = false;
        pad.units = 0;
        return;
    }
    errors.Add(file_name, Texts().step_length_mismatch, first_line_head);
    CloseD2rBeat(pad);
}

std::string TakeD2rLeadIn(MsdPadText& pad) {
    std::string open_beat;
    if (pad.group_open) {
        const std::size_t at = pad.text.size() - 1 - static_cast<std::size_t>(pad.units);
        open_beat = pad.text.substr(at);
        pad.text.resize(at);
    }
    std::string raw = EncodeMSDStepsFully(std::move(pad.text));
    pad.text = std::move(open_beat);
    return raw;
}

MsdGap ComputeMsdGap(bool raw_is_silent, long long raw_length, long long start, long long delay,
                     std::string_view delay_text, const std::filesystem::path& source) {
    long long lead_in = raw_is_silent ? raw_length : 0;
    lead_in += 18 + 8 * (start - 4);
    // while lead_in <= 26: lead_in += 8, measures += 1
    long long measures = 0;
    if (lead_in <= 26) {
        measures = (26 - lead_in) / 8 + 1;
        lead_in += 8 * measures;
    }
    long long shift = 0;
    long long gap = 0;
    if (__builtin_mul_overflow(measures, 256LL, &shift) || __builtin_add_overflow(delay, shift, &gap)) {
        ThrowNumberOutOfRange(delay_text, source, "DELAY=");
    }
    return {gap, lead_in};
}

void WriteMsdChartFromD2r(D2rStepList& step_list, D2rToMsdState& state, LineSink& out,
                          const std::filesystem::path& source, ErrorList& errors) {
    const std::string file_name = FileNameForErrorLine(source);
    const int pads = state.style == "#SINGLE" ? 1 : 2;
    for (int pad_number = 1; pad_number <= pads; ++pad_number) {
        // Triplet lines are marked "#" by the first pad and "&" by the second,
        // so that each pad passes over the two lines a triplet took.
        const char taken_mark = pad_number == 1 ? '#' : '&';
        const std::size_t field_at = pad_number == 1 ? 3 : 8;
        MsdPadText pad;
        bool lead_in_pending = true;
        for (std::size_t i = 0; i < step_list.Size(); ++i) {
            if (const std::size_t rests = step_list.RestsAt(i); rests > 0) {
                // Most units: silent on both pads, no option, not a triplet.
                AddD2rRests(pad, rests);
                i += rests - 1;
                continue;
            }
            const std::string_view line = step_list.Line(i);
            if (!line.empty() && line[0] == taken_mark) continue;
            const std::optional<char> step = DecodeD2rPanelsOfLine(line, field_at, Part(line, 0, 3), file_name, errors);
            if (AsksForAnOption(line)) errors.Add(file_name, Texts().bad_option, line);
            if (lead_in_pending && D2rLineBearsStep(line)) {
                WriteD2rLeadIn(pad, state, out, source);
                lead_in_pending = false;
            }
            if (StartsWith(line, "T:") || StartsWith(line, "#T:")) {
                AddD2rTriplet(step_list, i, pad_number, pad, file_name, errors);
            } else {
                // A damaged length code decodes to nothing: a silent unit.
                AddD2rUnit(pad, step.value_or('0'));
            }
        }
        CloseD2rBeat(pad);
        // Every beat and triplet was compacted as it closed: the text is
        // already what compacting the whole of it gives.
        std::string steps = std::move(pad.text);
        steps += pad_number == 1 && pads == 2 ? ':' : ';';
        out.WriteLine(steps);
    }
}

void Convertd2r2MSD(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage) {
    auto input = storage.OpenSource(source);
    const long long start = ReadD2rStart(*input, source);
    input->Rewind();
    auto out = storage.CreateDestination(destination, source);
    WriteMsdBanner(*out, caption);
    D2rToMsd(source, errors, *input, *out).Run(start);
    out->Commit();
}

}  // namespace torvane
