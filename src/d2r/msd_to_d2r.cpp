// MSD to d2r: song tags become d2r keys, "#GAP:" becomes "DELAY=" and
// "START=" by the gap rule, and every chart becomes a section of step lines.

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "d2r/d2r.hpp"
#include "d2r/d2r_notes.hpp"
#include "d2r/d2r_steps.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "msd/header.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// The header value of an MSD line: after the tag, without the line's last
// character (its ";", whatever that character is).
std::string_view HeaderValue(std::string_view line, std::size_t tag_length) {
    if (line.size() <= tag_length + 1) return {};
    return line.substr(tag_length, line.size() - tag_length - 1);
}

std::string Zeros(long long count) { return count > 0 ? std::string(static_cast<std::size_t>(count), '0') : ""; }

// As many lines of this length as fill one beat.
std::size_t BeatOfLines(D2rLength length) {
    switch (length) {
        case D2rLength::k32nd: return 8;
        case D2rLength::k16th: return 4;
        case D2rLength::k8th: return 2;
        default: return 1;
    }
}

// Two lines of one length make one line of twice that length.
D2rLength Doubled(D2rLength length) {
    return length < D2rLength::kQuarter ? static_cast<D2rLength>(static_cast<int>(length) + 1) : length;
}

void WriteTranslated(LineSink& out, std::string_view key, std::size_t tag_length, std::string_view line) {
    std::string translated;
    TranslateHeaderLine(key, tag_length, line, 1, translated);
    out.WriteLine(translated);
}

struct MsdToD2r {
    const std::filesystem::path& source;
    std::string file_name;
    ErrorList& errors;
    LineSource& input;
    LineSink& out;
    long long reference_lead_in = 0;
    long long lead_in = 0;
    bool section_open = false;

    void Tempo(std::string_view line) {
        const std::string_view value = HeaderValue(line, 5);
        const double tempo10 = std::trunc(ReadDecimal(value, source, "#BPM:") * 10);
        NoteIfTruncated(note::kTempoTruncated, value, ReadDecimal(value, source, "#BPM:") * 10, errors);
        if (!(std::fabs(tempo10) <= kMaxWholeDouble)) ThrowNumberOutOfRange(value, source, "#BPM:");
        out.WriteLine("TEMPO10=" + std::to_string(static_cast<long long>(tempo10)));
    }

    void Gap(std::string_view line) {
        const std::string_view value = HeaderValue(line, 5);
        const double gap = ReadDecimal(value, source, "#GAP:");
        NoteIfTruncated(note::kGapTruncated, value, gap, errors);
        if (!(std::fabs(gap) <= kMaxWholeDouble)) ThrowNumberOutOfRange(value, source, "#GAP:");
        const GapRuleResult result = ApplyD2rGapRule(lead_in, gap);
        // A lead-in longer than the file's own becomes rest lines of nothing
        // but the gap; past the limit that is no chart any more.
        if (result.lead_in > std::max(reference_lead_in, kMaxLeadIn)) ThrowNumberOutOfRange(value, source, "#GAP:");
        lead_in = result.lead_in;
        out.WriteLine("DELAY=" + std::to_string(result.delay));
        out.WriteLine("START=" + std::to_string(result.start));
    }

    void Chart(const std::string& chart_line) {
        std::string data = BeginD2rSection(chart_line, section_open, out);
        if (!EndsWithSemicolon(data) && !AppendChartLines(input, data)) {
            errors.Add(file_name, Texts().unterminated_chart, ChartLabel(chart_line));
        }
        const std::size_t chart_lead_in = CountLeadingZeros(data);
        const std::string_view steps = std::string_view(data).substr(chart_lead_in);
        NoteMsdChartForD2r(chart_line, steps, static_cast<long long>(chart_lead_in), lead_in, reference_lead_in, errors);
        if (steps.empty()) return;
        const auto lines = ConvertChartToD2rStepLines(steps, static_cast<long long>(chart_lead_in), lead_in,
                                                      reference_lead_in, file_name, errors);
        std::array<char, kD2rStepLineSize> text{};
        for (const D2rStepLine step_line : lines) out.WriteLine(FormatD2rStepLine(step_line, text));
    }

    void Line(const std::string& line) {
        if (StartsWith(line, "#FILE:")) {
            WriteTranslated(out, "MUSIC=", 6, line);
            WriteTranslated(out, "SHORTCUT=", 6, line);
        } else if (StartsWith(line, "#TITLE:")) {
            WriteTranslated(out, "TITLE=", 7, line);
        } else if (StartsWith(line, "#ARTIST:")) {
            WriteTranslated(out, "ARTIST=", 8, line);
        } else if (StartsWith(line, "#MSD:")) {
            WriteTranslated(out, "* MSD:", 5, line);
        } else if (StartsWith(line, "#BPM:")) {
            Tempo(line);
        } else if (StartsWith(line, "#GAP:")) {
            Gap(line);
        } else if (std::any_of(kChartTags.begin(), kChartTags.end(),
                               [&](std::string_view tag) { return StartsWith(line, tag); })) {
            Chart(line);
        }
    }
};

}  // namespace

GapRuleResult ApplyD2rGapRule(long long lead_in, double gap) {
    long long l = lead_in - 18;
    if (gap > 150) {
        // while l > -23 and gap >= 150: gap -= 64, l -= 2
        const long long by_lead_in = l > -23 ? (l + 24) / 2 : 0;
        const auto by_gap = static_cast<long long>(std::floor((gap - 150) / 64)) + 1;
        const long long steps = std::min(by_lead_in, by_gap);
        gap -= 64.0 * static_cast<double>(steps);
        l -= 2 * steps;
    } else if (gap < -150) {
        // while gap <= -150: gap += 64, l += 2
        const auto steps = static_cast<long long>(std::floor((-150 - gap) / 64)) + 1;
        gap += 64.0 * static_cast<double>(steps);
        l += 2 * steps;
    }
    int start = 4;
    while (start > 1 && l < 8) {
        --start;
        l += 8;
    }
    if (l < 0) l = 0;
    return {static_cast<long long>(std::trunc(gap)), start, l};
}

std::string BeginD2rSection(std::string_view chart_line, bool& section_open, LineSink& out) {
    if (section_open) {
        out.WriteLine("MUSICEND");
        section_open = false;
    }
    out.WriteLine(kD2rSeparator);
    std::string_view rest = chart_line;
    static constexpr std::string_view kPlayers[] = {"PLAYER=1", "PLAYER=2", "PLAYER=3"};
    for (std::size_t i = 0; i < kChartTags.size(); ++i) {
        if (StartsWith(rest, kChartTags[i])) {
            out.WriteLine(kPlayers[i]);
            rest.remove_prefix(kChartTags[i].size());
            break;
        }
    }
    // Each word is tried on what the one before left of the line.
    for (std::string_view word : kDifficulties) {
        if (!StartsWith(rest, word)) continue;
        out.WriteLine("MODE=" + std::string(word.substr(0, word.size() - 1)));
        rest.remove_prefix(word.size());
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) {
            out.WriteLine("LEVEL=");
        } else {
            out.WriteLine("LEVEL=" + std::string(rest.substr(0, colon)));
            rest.remove_prefix(colon + 1);
        }
    }
    out.WriteLine("MUSICSTART");
    section_open = true;
    return std::string(rest);
}

D2rPadTexts BuildD2rPadTexts(std::string_view chart_data, long long chart_lead_in, long long lead_in,
                             long long reference_lead_in) {
    D2rPadTexts pads;
    const std::size_t colon = chart_data.find(':');
    pads.pad1 = Zeros(lead_in + chart_lead_in - reference_lead_in);
    if (colon == std::string_view::npos) {
        pads.pad1.append(chart_data);
        pads.pad2.assign(pads.pad1.size(), '0');
        return pads;
    }
    pads.pad1.append(chart_data.substr(0, colon));
    std::string_view rest = chart_data.substr(colon + 1);
    const std::size_t pad2_lead_in = CountLeadingZeros(rest);
    rest.remove_prefix(pad2_lead_in);
    pads.pad2 = Zeros(lead_in + static_cast<long long>(pad2_lead_in) - reference_lead_in);
    pads.pad2.append(rest);
    return pads;
}

bool AlignPadToTriplet(std::string& other, std::size_t& next, char taken) {
    if (other.size() - next < 7) other.append(7 - (other.size() - next), '0');
    if (other.compare(next, 7, "0000000") != 0) return false;
    // The beat "x0000000" becomes "x00": x and two silent thirds.
    next += 4;
    other[next] = taken;
    return true;
}

std::vector<D2rStepLine> BuildD2rStepLines(std::string pad1, std::string pad2, std::string_view file_name,
                                           ErrorList& errors) {
    std::vector<D2rStepLine> lines;
    lines.reserve(pad1.size());
    D2rLength length = D2rLength::k32nd;
    int countdown = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    // Pad 2 may run longer than pad 1 (a second pad with more steps):
    // stopping where pad 1 ends would drop those steps without a word. So the
    // lines go on, pad 1 silent, up to pad 2's last character that is not "0",
    // and never stop inside a triplet, since a reader takes "T:" lines three
    // at a time. Pad 2's trailing rests give no lines: a single chart's pad 2
    // is a run of "0" far longer than pad 1. Aligning pad 2 to a triplet moves
    // a character only into the run of "0" after it, where the triplet itself
    // reads it, so this end needs no update.
    const std::size_t last_pad2_step = pad2.find_last_not_of('0');
    const std::size_t pad2_steps_end = last_pad2_step == std::string::npos ? 0 : last_pad2_step + 1;
    while (i < pad1.size() || j < pad2_steps_end || countdown > 0) {
        if (i == pad1.size()) pad1 += '0';
        const char a = pad1[i++];
        const bool have_b = j < pad2.size();
        const char b = have_b ? pad2[j++] : '\0';
        if (a == 'T' || (have_b && b == 'T')) {
            if (a == 'T' && have_b && b != 'T') {
                if (!AlignPadToTriplet(pad2, j, b)) errors.Add(file_name, Texts().triplet_mismatch);
            } else if (a != 'T' && !AlignPadToTriplet(pad1, i, a)) {
                errors.Add(file_name, Texts().triplet_mismatch);
            }
            countdown = 3;
            length = D2rLength::kTriplet;
            continue;
        }
        lines.push_back(MakeD2rStepLine(length, a, b));
        if (countdown > 0 && --countdown == 0) length = D2rLength::k32nd;
    }
    return lines;
}

std::vector<D2rStepLine> MergeD2rStepLines(std::vector<D2rStepLine> lines) {
    // The list being merged is always lines[..kept) followed by lines[next..):
    // the pass never looks back, so the lines it has passed are final, and it
    // never writes ahead of what it reads.
    const std::size_t count = lines.size();
    std::size_t kept = 0;
    std::size_t next = 0;
    while (next + 1 < count) {
        D2rStepLine line = lines[next];
        const D2rStepLine after = lines[next + 1];
        if (IsD2rRestLine(after) && line.length == after.length && line.length != D2rLength::kQuarter) {
            line.length = Doubled(line.length);
            lines[kept++] = line;
            next += 2;
        } else {
            const std::size_t end = std::min(count, next + BeatOfLines(line.length));
            while (next < end) lines[kept++] = lines[next++];
        }
    }
    while (next < count) lines[kept++] = lines[next++];
    lines.resize(kept);
    return lines;
}

std::vector<D2rStepLine> MergeD2rStepLinesFully(std::vector<D2rStepLine> lines) {
    // A pass changes the list exactly when it merges, and every merge removes
    // a line. Most charts are done after a few whole passes, which also shrink
    // the list; the rest is left to the walk that does not repeat itself.
    for (int pass = 0; pass < 4; ++pass) {
        const std::size_t before = lines.size();
        lines = MergeD2rStepLines(std::move(lines));
        if (lines.size() == before) return lines;
    }
    return MergeD2rStepLinesByWalking(std::move(lines));
}

std::vector<D2rStepLine> ConvertChartToD2rStepLines(std::string_view chart_data, long long chart_lead_in,
                                                    long long lead_in, long long reference_lead_in,
                                                    std::string_view file_name, ErrorList& errors) {
    D2rPadTexts pads = BuildD2rPadTexts(chart_data, chart_lead_in, lead_in, reference_lead_in);
    std::string pad1 = DecodeMSDSteps(pads.pad1, file_name, errors);
    std::string pad2 = DecodeMSDSteps(pads.pad2, file_name, errors);
    if (EndsWithSemicolon(pad1)) pad1.pop_back();
    if (EndsWithSemicolon(pad2)) pad2.pop_back();
    return MergeD2rStepLinesFully(BuildD2rStepLines(std::move(pad1), std::move(pad2), file_name, errors));
}

void ConvertMSD2d2r(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage) {
    auto input = storage.OpenSource(source);
    const auto reference_lead_in = static_cast<long long>(FindReferenceLeadIn(*input));
    input->Rewind();
    auto out = storage.CreateDestination(destination, source);
    WriteD2rBanner(*out, caption);
    out->WriteLine("ID=0");
    out->WriteLine("GAMEMODE=ORIGINAL");

    MsdToD2r conversion{source, FileNameForErrorLine(source), errors, *input, *out};
    conversion.reference_lead_in = reference_lead_in;
    conversion.lead_in = reference_lead_in;
    std::string line;
    while (input->ReadLine(line)) conversion.Line(line);
    if (conversion.section_open) out->WriteLine("MUSICEND");
    out->Commit();
}

}  // namespace torvane
