// MSD to d2r: song tags become d2r keys, "#GAP:" becomes "DELAY=" and
// "START=" by the gap rule, and every chart becomes a section of step lines.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "d2r/d2r.hpp"
#include "d2r/d2r_notes.hpp"
#include "d2r/msd_to_d2r.hpp"
#include "d2r/triplet_placement.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "msd/header.hpp"
#include "msd/styles.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

struct MsdToD2r {
    const std::filesystem::path& source;
    std::string file_name;
    ErrorList& errors;
    LineSource& input;
    LineSink& out;
    long long reference_lead_in = 0;
    long long lead_in = 0;
    long long max_lead_in = kMaxLeadIn;
    bool section_open = false;
    std::size_t triplets_on_grid = 0;

    void Tempo(std::string_view line) {
        const std::string_view value = MsdHeaderValue(line, kBpmTag.size());
        const double tempo10 = std::trunc(ReadDecimal(value, source, kBpmTag) * 10);
        NoteIfTruncated(note::kTempoTruncated, value, ReadDecimal(value, source, kBpmTag) * 10, errors);
        if (!(std::fabs(tempo10) <= kMaxWholeDouble)) ThrowNumberOutOfRange(value, source, kBpmTag);
        out.WriteLine(std::string(kD2rTempoKey) + std::to_string(static_cast<long long>(tempo10)));
    }

    void Gap(std::string_view line) {
        const std::string_view value = MsdHeaderValue(line, kGapTag.size());
        const double gap = ReadDecimal(value, source, kGapTag);
        NoteIfTruncated(note::kGapTruncated, value, gap, errors);
        if (!(std::fabs(gap) <= kMaxWholeDouble)) ThrowNumberOutOfRange(value, source, kGapTag);
        const GapRuleResult result = ApplyD2rGapRule(lead_in, gap);
        // A lead-in longer than the file's own becomes rest lines of nothing
        // but the gap; past the limit that is no chart any more.
        if (result.lead_in > std::max(reference_lead_in, max_lead_in)) ThrowNumberOutOfRange(value, source, kGapTag);
        lead_in = result.lead_in;
        out.WriteLine(std::string(kD2rDelayKey) + std::to_string(result.delay));
        out.WriteLine(std::string(kD2rStartKey) + std::to_string(result.start));
    }

    void Chart(const std::string& chart_line) {
        std::string data = BeginD2rSection(chart_line, section_open, out);
        if (!EndsWithSemicolon(data) && !AppendChartLines(input, data)) {
            errors.Add(file_name, ErrorCode::kUnterminatedChart, ChartLabel(chart_line));
        }
        const std::size_t chart_lead_in = CountLeadingZeros(data);
        const std::string_view steps = std::string_view(data).substr(chart_lead_in);
        NoteMsdChartForD2r(chart_line, steps, static_cast<long long>(chart_lead_in), lead_in, reference_lead_in, errors);
        if (steps.empty()) return;
        const auto lines = ConvertChartToD2rStepLines(steps, static_cast<long long>(chart_lead_in), lead_in,
                                                      reference_lead_in, file_name, errors, &triplets_on_grid);
        std::array<char, kD2rStepLineSize> text{};
        for (const D2rStepLine& step_line : lines) out.WriteLine(FormatD2rStepLine(step_line, text));
    }

    void Line(const std::string& line) {
        // A tag that gives several keys ("#FILE:") gives them in table order.
        bool translated = false;
        for (const HeaderKey& row : kD2rHeaderKeys) {
            if (!line.starts_with(row.msd_tag)) continue;
            out.WriteLine(HeaderLineFromMsd(row, line));
            translated = true;
        }
        if (translated) return;
        if (line.starts_with(kBpmTag)) {
            Tempo(line);
        } else if (line.starts_with(kGapTag)) {
            Gap(line);
        } else if (std::any_of(kChartStyles.begin(), kChartStyles.end(),
                               [&](const StyleWords& style) { return line.starts_with(style.msd_tag); })) {
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
        out.WriteLine(kD2rMusicEnd);
        section_open = false;
    }
    out.WriteLine(kD2rSeparator);
    std::string_view rest = chart_line;
    for (const StyleWords& style : kChartStyles) {
        if (rest.starts_with(style.msd_tag)) {
            out.WriteLine(style.d2r_player);
            rest.remove_prefix(style.msd_tag.size());
            break;
        }
    }
    // Each word is tried on what the one before left of the line.
    for (const DifficultyWords& difficulty : kDifficulties) {
        if (!rest.starts_with(difficulty.msd_word)) continue;
        out.WriteLine(difficulty.d2r_mode);
        rest.remove_prefix(difficulty.msd_word.size());
        const std::size_t colon = rest.find(':');
        std::string level(kD2rLevelKey);
        if (colon != std::string_view::npos) {
            level.append(rest.substr(0, colon));
            rest.remove_prefix(colon + 1);
        }
        out.WriteLine(level);
    }
    out.WriteLine(kD2rMusicStart);
    section_open = true;
    return std::string(rest);
}

D2rPadTexts BuildD2rPadTexts(std::string_view chart_data, long long chart_lead_in, long long lead_in,
                             long long reference_lead_in) {
    D2rPadTexts pads;
    const std::size_t colon = chart_data.find(':');
    const long long pad1_lead_in = lead_in + chart_lead_in - reference_lead_in;
    if (colon == std::string_view::npos) {
        pads.pad1 = WithLeadIn(pad1_lead_in, chart_data);
        pads.pad2.assign(pads.pad1.size(), '0');
        return pads;
    }
    pads.pad1 = WithLeadIn(pad1_lead_in, chart_data.substr(0, colon));
    std::string_view rest = chart_data.substr(colon + 1);
    const std::size_t pad2_lead_in = CountLeadingZeros(rest);
    rest.remove_prefix(pad2_lead_in);
    pads.pad2 = WithLeadIn(lead_in + static_cast<long long>(pad2_lead_in) - reference_lead_in, rest);
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
                if (!AlignPadToTriplet(pad2, j, b)) errors.Add(file_name, ErrorCode::kTripletMismatch);
            } else if (a != 'T' && !AlignPadToTriplet(pad1, i, a)) {
                errors.Add(file_name, ErrorCode::kTripletMismatch);
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

std::vector<D2rStepLine> ConvertChartToD2rStepLines(std::string_view chart_data, long long chart_lead_in,
                                                    long long lead_in, long long reference_lead_in,
                                                    std::string_view file_name, ErrorList& errors,
                                                    std::size_t* triplets_on_grid) {
    D2rPadTexts pads = BuildD2rPadTexts(chart_data, chart_lead_in, lead_in, reference_lead_in);
    D2rPadCells cells1;
    D2rPadCells cells2;
    cells1.text = DecodeMSDSteps(pads.pad1, file_name, errors, &cells1.triplet_beats);
    cells2.text = DecodeMSDSteps(pads.pad2, file_name, errors, &cells2.triplet_beats);
    pads = D2rPadTexts();
    // A final ";" is no cell, and no triplet beat begins there.
    if (EndsWithSemicolon(cells1.text)) cells1.text.pop_back();
    if (EndsWithSemicolon(cells2.text)) cells2.text.pop_back();
    D2rPlacedPads placed = PlaceD2rTriplets(cells1, cells2, file_name, errors);
    if (triplets_on_grid != nullptr) *triplets_on_grid += placed.triplets_on_grid;
    cells1 = D2rPadCells();
    cells2 = D2rPadCells();
    return MergeD2rStepLinesFully(
        BuildD2rStepLines(std::move(placed.pad1), std::move(placed.pad2), file_name, errors));
}

void ConvertMSD2d2r(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage, long long max_lead_in) {
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
    conversion.max_lead_in = max_lead_in;
    std::string line;
    while (input->ReadLine(line)) conversion.Line(line);
    if (conversion.section_open) out->WriteLine(kD2rMusicEnd);
    out->Commit();
    if (conversion.triplets_on_grid > 0) {
        errors.AddNote(note::kTripletsOnGrid, {}, std::to_string(conversion.triplets_on_grid));
    }
}

}  // namespace torvane
