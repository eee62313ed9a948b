// MSD to d2r: song tags become d2r keys, "#GAP:" becomes "DELAY=" and
// "START=" by the gap rule, and every chart becomes a section of step lines.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
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
#include "text/freed_memory.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    ChartSourceLines chart_lines{};  // of the chart in hand; kept to keep its room

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
        // The data begins on the chart line, which the reader has just read.
        chart_lines.first_line = errors.SourceLine();
        chart_lines.later_starts.clear();
        std::string data = BeginD2rSection(chart_line, section_open, out);
        if (!EndsWithSemicolon(data) && !AppendChartLines(input, data, &chart_lines.later_starts)) {
            errors.AddOnLine(chart_lines.first_line, file_name, ErrorCode::kUnterminatedChart, ChartLabel(chart_line));
        }
        // Growing the text to its length freed a trail of shorter copies.
        if (data.size() >= kBytesWorthHandingBack) HandBackFreedMemory();
        const std::size_t chart_lead_in = CountLeadingZeros(data);
        const std::string_view steps = std::string_view(data).substr(chart_lead_in);
        NoteMsdChartForD2r(chart_line, steps, static_cast<long long>(chart_lead_in), lead_in, reference_lead_in, errors);
        if (steps.empty()) return;
        const StepTextPlace place{ChartLabel(chart_line), &chart_lines};
        WriteChartD2rStepLines(std::move(data), static_cast<long long>(chart_lead_in), lead_in, reference_lead_in,
                               file_name, errors, &triplets_on_grid, &place, out);
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
    long long l = lead_in - kGameLeadIn;
    if (gap > kD2rDelayLimit) {
        // while l > -23 and gap >= 150: gap -= 64, l -= 2
        const long long by_lead_in = l > -23 ? (l + 24) / 2 : 0;
        const auto by_gap = static_cast<long long>(std::floor((gap - kD2rDelayLimit) / kGapUnitsPerBeat)) + 1;
        const long long steps = std::min(by_lead_in, by_gap);
        gap -= static_cast<double>(kGapUnitsPerBeat) * static_cast<double>(steps);
        l -= kPositionsPerBeat * steps;
    } else if (gap < -kD2rDelayLimit) {
        // while gap <= -150: gap += 64, l += 2
        const auto steps = static_cast<long long>(std::floor((-kD2rDelayLimit - gap) / kGapUnitsPerBeat)) + 1;
        gap += static_cast<double>(kGapUnitsPerBeat) * static_cast<double>(steps);
        l += kPositionsPerBeat * steps;
    }
    int start = kD2rDefaultStart;
    while (start > kD2rFewestStart && l < kPositionsPerMeasure) {
        --start;
        l += kPositionsPerMeasure;
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

D2rPadSides SplitD2rPadSides(std::string_view chart_data, long long chart_lead_in, long long lead_in,
                             long long reference_lead_in) {
    D2rPadSides sides;
    const std::size_t colon = chart_data.find(':');
    sides.single = colon == std::string_view::npos;
    sides.side1 = sides.single ? chart_data : chart_data.substr(0, colon);
    sides.rests1 = lead_in + chart_lead_in - reference_lead_in;
    if (sides.single) return sides;
    sides.pad2_start = colon + 1;
    sides.side2 = chart_data.substr(sides.pad2_start);
    const std::size_t pad2_lead_in = CountLeadingZeros(sides.side2);
    sides.side2.remove_prefix(pad2_lead_in);
    sides.rests2 = lead_in + static_cast<long long>(pad2_lead_in) - reference_lead_in;
    return sides;
}

D2rPadTexts BuildD2rPadTexts(std::string_view chart_data, long long chart_lead_in, long long lead_in,
                             long long reference_lead_in) {
    const D2rPadSides sides = SplitD2rPadSides(chart_data, chart_lead_in, lead_in, reference_lead_in);
    D2rPadTexts pads;
    pads.pad1 = WithLeadIn(sides.rests1, sides.side1);
    pads.pad2_start = sides.pad2_start;
    if (sides.single) {
        pads.pad2.assign(pads.pad1.size(), '0');
    } else {
        pads.pad2 = WithLeadIn(sides.rests2, sides.side2);
    }
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

namespace {

constexpr std::size_t kCellsAtOnce = 8;

// The builder writes lines as their bytes.
static_assert(sizeof(D2rStepLine) == 3 && std::is_trivially_copyable_v<D2rStepLine> &&
              offsetof(D2rStepLine, length) == 0 && offsetof(D2rStepLine, pad1) == 1 &&
              offsetof(D2rStepLine, pad2) == 2);

// Whether the eight cells from `cells` hold a "T": one test on a word.
bool HasTripletMark(const char* cells) {
    std::uint64_t word = 0;
    std::memcpy(&word, cells, sizeof word);
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>('T'));
    return ((x - kOnes) & ~x & (kOnes << 7)) != 0;
}

// MakeD2rStepLine's pad character for each byte, in one look.
constexpr auto kSoundingStep = [] {
    std::array<char, 256> steps{};
    for (std::size_t c = 0; c < steps.size(); ++c) {
        steps[c] = PanelsOfStep(static_cast<char>(c)) > 0 ? static_cast<char>(c) : '0';
    }
    return steps;
}();

// The cells that sound (kSoundingStep is not "0") among eight of pad 1 (bits
// 0 to 7) and eight of pad 2 (bits 8 to 15), sixteen bytes in one look: "1"
// to "9" but "5", "A" and "B".
constexpr bool SoundsByRange(char c) { return (c > '0' && c <= '9' && c != '5') || c == 'A' || c == 'B'; }
static_assert([] {
    for (int c = -128; c < 128; ++c) {
        if (SoundsByRange(static_cast<char>(c)) != (PanelsOfStep(static_cast<char>(c)) > 0)) return false;
    }
    return true;
}());

unsigned SoundingCells(const char* cells1, const char* cells2) {
#if !defined(__SSE2__)
    unsigned sounding = 0;
    for (unsigned k = 0; k < 8; ++k) {
        sounding |= (SoundsByRange(cells1[k]) ? 1u : 0u) << k | (SoundsByRange(cells2[k]) ? 1u : 0u) << (k + 8);
    }
    return sounding;
#else
    __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells1));
    c = _mm_unpacklo_epi64(c, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells2)));
    const __m128i digit = _mm_andnot_si128(
        _mm_cmpeq_epi8(c, _mm_set1_epi8('5')),
        _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('0')), _mm_cmplt_epi8(c, _mm_set1_epi8(':'))));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8('@')), _mm_cmplt_epi8(c, _mm_set1_epi8('C')));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, letter)));
#endif
}

// BuildD2rStepLines a stretch at a time, giving each line to `lines.Add` as
// it is made. The pads are windows that the placing fills at their ends; a
// pad that is not `last` yet keeps kAhead cells ahead of the one at hand,
// since a line looks at most a beat ahead. Cells before i_ and j_ are done
// with (Drop).
class D2rLineBuilder {
public:
    // A silent pad 2 (a single chart's) is rests as far as pad 1 goes.
    explicit D2rLineBuilder(bool pad2_silent) : silent_(pad2_silent) {}

    template <typename Lines>
    void Build(std::string& pad1, std::string& pad2, bool last1, bool last2, std::string_view file_name,
               ErrorList& errors, Lines& lines) {
        // Pad 2 may run longer than pad 1 (a second pad with more steps):
        // stopping where pad 1 ends would drop those steps without a word. So
        // the lines go on, pad 1 silent, up to pad 2's last character that is
        // not "0", and never stop inside a triplet, since a reader takes "T:"
        // lines three at a time. Pad 2's trailing rests give no lines: a
        // single chart's pad 2 is a run of "0" far longer than pad 1. Each
        // cell is looked at once, as placed: aligning pad 2 to a triplet
        // moves a character only into the run of "0" after it, where the
        // triplet itself reads it, so this end needs no update.
        if (!silent_) {
            const std::size_t last_step = std::string_view(pad2).substr(scanned_).find_last_not_of('0');
            if (last_step != std::string_view::npos) steps_end_ = scanned_ + last_step + 1;
            scanned_ = pad2.size();
        }
        // The state in locals: the lines written cannot change them.
        std::size_t i = i_;
        std::size_t j = j_;
        int countdown = countdown_;
        D2rLength length = length_;
        for (;;) {
            if (!last1 && pad1.size() - i < kAhead) break;
            if (!silent_ && !last2 && pad2.size() - j < kAhead) break;
            if (i >= pad1.size() && j >= steps_end_ && countdown == 0) break;
            // Outside triplets, eight cells of both pads without a "T" are
            // eight 32nd-note lines: most of a chart goes this way.
            if (countdown == 0 && pad1.size() - i >= kCellsAtOnce && !HasTripletMark(pad1.data() + i)) {
                // Made here and handed over together: a line is bytes, and
                // bytes written one by one where the list keeps its count
                // make the count be read again after each.
                // Bytes as the lines lay them out, not lines, which would
                // be set to their defaults first.
                std::array<char, kCellsAtOnce * sizeof(D2rStepLine)> eight;
                const auto* const cells1 = reinterpret_cast<const unsigned char*>(pad1.data() + i);
                if (silent_) {
                    if (lines.TakeBeat(pad1.data() + i, nullptr,
                                       ~SoundingCells(pad1.data() + i, pad1.data() + i) & 0xFFu)) {
                        i += kCellsAtOnce;
                        continue;
                    }
                    for (std::size_t k = 0; k < kCellsAtOnce; ++k) {
                        eight[3 * k] = static_cast<char>(D2rLength::k32nd);
                        eight[3 * k + 1] = kSoundingStep[cells1[k]];
                        eight[3 * k + 2] = '0';
                    }
                    lines.AddEight(eight);
                    i += kCellsAtOnce;
                    continue;
                }
                if (pad2.size() - j >= kCellsAtOnce && !HasTripletMark(pad2.data() + j)) {
                    const unsigned sounding = SoundingCells(pad1.data() + i, pad2.data() + j);
                    if (lines.TakeBeat(pad1.data() + i, pad2.data() + j, ~(sounding | sounding >> 8) & 0xFFu)) {
                        i += kCellsAtOnce;
                        j += kCellsAtOnce;
                        continue;
                    }
                    const auto* const cells2 = reinterpret_cast<const unsigned char*>(pad2.data() + j);
                    for (std::size_t k = 0; k < kCellsAtOnce; ++k) {
                        eight[3 * k] = static_cast<char>(D2rLength::k32nd);
                        eight[3 * k + 1] = kSoundingStep[cells1[k]];
                        eight[3 * k + 2] = kSoundingStep[cells2[k]];
                    }
                    lines.AddEight(eight);
                    i += kCellsAtOnce;
                    j += kCellsAtOnce;
                    continue;
                }
            }
            if (i == pad1.size()) pad1 += '0';
            const char a = pad1[i++];
            const bool have_b = silent_ || j < pad2.size();
            const char b = silent_ ? '0' : have_b ? pad2[j++] : '\0';
            if (a == 'T' || (have_b && b == 'T')) {
                if (a == 'T' && have_b && b != 'T') {
                    if (!silent_ && !AlignPadToTriplet(pad2, j, b)) errors.Add(file_name, ErrorCode::kTripletMismatch);
                } else if (a != 'T' && !AlignPadToTriplet(pad1, i, a)) {
                    errors.Add(file_name, ErrorCode::kTripletMismatch);
                }
                countdown = 3;
                length = D2rLength::kTriplet;
                continue;
            }
            lines.Add(MakeD2rStepLine(length, a, b));
            if (countdown > 0 && --countdown == 0) length = D2rLength::k32nd;
        }
        i_ = i;
        j_ = j;
        countdown_ = countdown;
        length_ = length;
    }

    // Lets the pads go of the cells built, when they are many enough to be
    // worth moving the rest for.
    void Drop(std::string& pad1, std::string& pad2) {
        if (i_ > 0 && i_ >= pad1.size() - i_) {
            pad1.erase(0, i_);
            i_ = 0;
        }
        if (j_ > 0 && j_ >= pad2.size() - std::min(j_, pad2.size())) {
            const std::size_t gone = std::min(j_, pad2.size());
            pad2.erase(0, gone);
            j_ -= gone;
            scanned_ -= std::min(scanned_, gone);
            steps_end_ -= std::min(steps_end_, gone);
        }
    }

private:
    static constexpr std::size_t kAhead = 16;

    bool silent_;
    D2rLength length_ = D2rLength::k32nd;
    int countdown_ = 0;
    std::size_t i_ = 0;
    std::size_t j_ = 0;
    std::size_t scanned_ = 0;    // pad 2's cells looked at for steps_end_
    std::size_t steps_end_ = 0;  // after pad 2's last cell seen that is not "0"
};

// Lines kept as they are made.
struct UnmergedLines {
    std::vector<D2rStepLine>& lines;
    // Beats are lines merged: none here.
    static bool TakeBeat(const char*, const char*, unsigned) { return false; }
    void Add(D2rStepLine line) { lines.push_back(line); }
    void AddEight(const std::array<char, kCellsAtOnce * sizeof(D2rStepLine)>& eight) {
        lines.resize(lines.size() + kCellsAtOnce);
        std::memcpy(lines.data() + lines.size() - kCellsAtOnce, eight.data(), sizeof eight);
    }
};

}  // namespace

std::vector<D2rStepLine> BuildD2rStepLines(std::string pad1, std::string pad2, std::string_view file_name,
                                           ErrorList& errors) {
    std::vector<D2rStepLine> lines;
    lines.reserve(pad1.size());
    UnmergedLines unmerged{lines};
    D2rLineBuilder builder(false);
    builder.Build(pad1, pad2, true, true, file_name, errors, unmerged);
    return lines;
}

namespace {

// Decodes more of a pad when the placer has come near the end of its
// window: a stretch of cells at a time.
void FillWindow(D2rPadWindow& window, MSDStepDecoder& decoder, std::size_t stretch) {
    if (window.complete) return;
    decoder.DecodeInto(window.cells, window.first, window.cells.size() + stretch, &window.triplet_beats);
    if (!decoder.Done()) return;
    window.complete = true;
    // A final ";" is no cell, and no triplet beat begins there.
    if (EndsWithSemicolon(window.cells)) window.cells.pop_back();
}

}  // namespace

namespace {

// The merging passes that go along with the building: most charts are
// merged fully by four passes, the last of which merges nothing. Each takes
// a block of what the one before gave at a time. A pass walks exactly as the one
// before it up to that one's first merge, and merges nothing before it: the
// lines before the fourth pass's first merge are what every later pass
// leaves them, and go to `settled` at once. From there on they are held for
// the passes that follow (none when the fourth merged nothing).
template <typename Settled>
class FourMergingPasses {
public:
    explicit FourMergingPasses(Settled settled)
        : settled_(settled),
          first_given_(std::make_unique_for_overwrite<D2rStepLine[]>(kBlock + kRoom)),
          beats_(D2rMergeBeats::OfThisThread()) {}

    // The lines `taken` (eight 32nd-note lines, or one alone) of the cells
    // `cells1` and `cells2` (none: pad 2 is silent), `rests` the lines that
    // are rests, through the four passes at once from where each stands;
    // false, taking nothing, when the fourth pass has merged or would merge
    // among them.
    bool TakeBeat(const char* cells1, const char* cells2, unsigned rests,
                  D2rMergeBeats::Taken taken = D2rMergeBeats::kEight) {
        if (!in_beats_ && !BeginBeats()) return false;
        const D2rMergeBeat& beat = beats_.For(rests, codes_, taken);
        if (!beat.usable) [[unlikely]] {
            LeaveBeats();
            next_try_ = kRetryAfter;
            return false;
        }
        const auto line = [&](D2rMergeBeat::Ref ref) {
            const unsigned source = ref.Source();
            const auto length = static_cast<D2rLength>(ref.Length());
            if (source < kCellsAtOnce) [[likely]] {
                return D2rStepLine{length, kSoundingStep[static_cast<unsigned char>(cells1[source])],
                                   cells2 == nullptr ? '0' : kSoundingStep[static_cast<unsigned char>(cells2[source])]};
            }
            if (source == D2rMergeBeat::Ref::kRest) return D2rStepLine{length, '0', '0'};
            D2rStepLine stood = stood_[source - kCellsAtOnce];
            if (ref.Length() != D2rMergeBeat::Ref::kAsItStands) stood.length = length;
            return stood;
        };
        for (std::size_t k = 0; k < beat.count; ++k) settled_(line(beat.lines[k]));
        // From the last pass to the first: a pass may come to stand on a
        // line that an earlier one stood on, never on a later one's.
        for (unsigned standing = beat.standing; standing != 0;) {
            const auto pass = static_cast<unsigned>(std::bit_width(standing)) - 1;
            stood_[pass] = line(beat.stood[pass]);
            standing ^= 1u << pass;
        }
        for (std::size_t pass = 0; pass < kLater; ++pass) later_[pass].given += beat.given[pass + 1];
        codes_ = beat.after;
        return true;
    }

    // A line that passes a beat alone, while every pass stands on none or on
    // such a line: a pass standing on a line gives it to the next and stands
    // on the one it takes; one standing on none stands on it. False, taking
    // nothing, when a pass stands otherwise.
    bool TakeAlone(D2rStepLine line) {
        // Each code 0 or kStandingOnAlone: a code of four bits is 0 in one of
        // codes_ and codes_ ^ 0x7777 (the top bit of each is where it is).
        static_assert(d2r_pass_code::kStandingOnAlone == 7 && kLater + 1 == 4);
        const auto zero_codes = [](unsigned codes) { return ~(((codes & 0x7777u) + 0x7777u) | codes) & 0x8888u; };
        if ((zero_codes(codes_) | zero_codes(codes_ ^ 0x7777u)) != 0x8888u) return false;
        for (std::size_t pass = 0; pass <= kLater; ++pass) {
            if ((codes_ >> (4 * pass) & 15u) == 0) {
                stood_[pass] = line;
                codes_ |= d2r_pass_code::kStandingOnAlone << (4 * pass);
                return true;
            }
            std::swap(stood_[pass], line);
            if (pass > 0) ++later_[pass - 1].given;
        }
        settled_(line);
        return true;
    }

    void Add(D2rStepLine line) {
        if (in_beats_ && line.length == D2rLength::kTriplet && TakeAlone(line)) return;
        // A line alone (at a pad's end, or before a triplet inside the
        // eight) through the passes at once too: its pads are what the
        // cells would give.
        if (TakeBeat(&line.pad1, &line.pad2, IsD2rRestLine(line) ? 1u : 0u,
                     line.length == D2rLength::kTriplet ? D2rMergeBeats::kOneTriplet : D2rMergeBeats::kOne32nd)) {
            return;
        }
        LeaveBeats();
        FirstPass pass = first_;
        D2rStepLine* given = first_given_.get() + first_count_;
        pass.Take(line, given);
        Keep(pass, given);
    }
    // Eight 32nd-note lines, as their bytes.
    void AddEight(const std::array<char, kCellsAtOnce * sizeof(D2rStepLine)>& eight) {
        LeaveBeats();
        FirstPass pass = first_;
        D2rStepLine* given = first_given_.get() + first_count_;
        if (pass.place.standing || pass.place.beat_left % 2 != 0 || pass.place.beat_left >= kCellsAtOnce) {
            for (std::size_t k = 0; k < kCellsAtOnce; ++k) {
                D2rStepLine line;
                std::memcpy(&line, eight.data() + k * sizeof line, sizeof line);
                pass.Take(line, given);
            }
        } else {
            pass.TakeEight(eight, given);
        }
        Keep(pass, given);
    }
    // Returns the lines held.
    std::vector<D2rStepLine> Finish() {
        LeaveBeats();
        D2rStepLine* given = first_given_.get() + first_count_;
        if (first_.place.standing) *given++ = first_.place.at;
        first_.place.standing = false;
        first_count_ = static_cast<std::size_t>(given - first_given_.get());
        Flush();
        for (std::size_t pass = 0; pass < kLater; ++pass) {
            FinishD2rMergePass(later_[pass], Given(pass));
            // What the pass gave last goes through the passes after it.
            for (std::size_t next = pass + 1; next < kLater; ++next) {
                ContinueD2rMergePass(Given(next - 1).data(), Given(next - 1).size(), later_[next], Given(next));
                Given(next - 1).clear();
            }
            Settle();
        }
        return std::move(held_);
    }

private:
    static constexpr std::size_t kBlock = 4096;
    static constexpr std::size_t kRoom = 2 * kCellsAtOnce;  // what one AddEight may give past kBlock
    static constexpr std::size_t kLater = 3;                // the passes after the first
    // Lines the first pass takes one by one before beats are tried again,
    // after the fourth pass would have merged in one.
    static constexpr std::size_t kRetryAfter = 64;

    D2rMergePassPlace& Place(std::size_t pass) { return pass == 0 ? first_.place : later_[pass - 1].place; }

    // Whether the passes may take beats from here: once the first pass's
    // lines are flushed, as long as the fourth has merged nothing (its lines
    // after a merge are held for more passes).
    [[gnu::noinline]] bool BeginBeats() {
        if (first_count_ < next_try_ || later_[kLater - 1].first_merge != static_cast<std::size_t>(-1)) return false;
        if (first_count_ > 0) Flush();
        // The flush may have made the fourth pass's first merge.
        if (later_[kLater - 1].first_merge != static_cast<std::size_t>(-1)) return false;
        codes_ = 0;
        for (std::size_t pass = 0; pass <= kLater; ++pass) {
            const D2rMergePassPlace& place = Place(pass);
            codes_ |= D2rPassCode(place) << (4 * pass);
            stood_[pass] = place.at;
        }
        next_try_ = 0;
        in_beats_ = true;
        return true;
    }

    // The passes' places as the beats left them.
    void LeaveBeats() {
        if (!in_beats_) return;
        in_beats_ = false;
        for (std::size_t pass = 0; pass <= kLater; ++pass) {
            D2rMergePassPlace& place = Place(pass);
            const unsigned code = codes_ >> (4 * pass) & 15u;
            place.standing = code >= d2r_pass_code::kStandingOnAlone;
            place.beat_left = place.standing ? 0 : code;
            if (place.standing) place.at = stood_[pass];
        }
    }

    // The first pass, in locals while it takes a line or eight: the lines it
    // writes are bytes, which would make its members be read again after
    // each.
    struct FirstPass {
        D2rMergePassPlace place;

        void Take(D2rStepLine line, D2rStepLine*& given) { (void)TakeIntoD2rMergePass(line, place, given); }

        // Take for eight 32nd-note lines, the pass standing on none and with
        // an even number of lines left of a beat: the first of those lines
        // pass as they are; from there the pass stands on a line with the
        // next one in the eight, and either joins a rest to it or passes a
        // beat of eight lines, the rest of which the next eight begin with
        // (what TakeIntoD2rMergePass does, line after line).
        void TakeEight(const std::array<char, kCellsAtOnce * sizeof(D2rStepLine)>& eight, D2rStepLine*& given) {
            constexpr std::size_t kSize = sizeof(D2rStepLine);
            const auto rest = [&eight](std::size_t k) {
                return eight[k * kSize + 1] == '0' && eight[k * kSize + 2] == '0';
            };
            std::size_t p = place.beat_left;
            // All eight copied (there is room), the first p kept: a copy of
            // a fixed size is a few moves, not a call.
            std::memcpy(given, eight.data(), sizeof eight);
            given += p;
            while (p < kCellsAtOnce) {
                if (!rest(p + 1)) {
                    for (std::size_t k = p; k < kCellsAtOnce; ++k) std::memcpy(given++, eight.data() + k * kSize, kSize);
                    place.beat_left = static_cast<std::uint32_t>(p);
                    return;
                }
                *given++ = {D2rLength::k16th, eight[p * kSize + 1], eight[p * kSize + 2]};
                p += 2;
            }
            place.beat_left = 0;
        }
    };

    void Keep(const FirstPass& pass, const D2rStepLine* given) {
        first_ = pass;
        first_count_ = static_cast<std::size_t>(given - first_given_.get());
        if (first_count_ >= kBlock) [[unlikely]] Flush();
    }

    std::vector<D2rStepLine>& Given(std::size_t pass) { return given_[pass]; }

    void Flush() {
        ContinueD2rMergePass(first_given_.get(), first_count_, later_[0], given_[0]);
        for (std::size_t pass = 1; pass < kLater; ++pass) {
            ContinueD2rMergePass(given_[pass - 1].data(), given_[pass - 1].size(), later_[pass], given_[pass]);
        }
        first_count_ = 0;
        for (std::size_t pass = 0; pass + 1 < kLater; ++pass) given_[pass].clear();
        Settle();
    }
    // The fourth pass's lines: settled up to its first merge, held after.
    void Settle() {
        std::vector<D2rStepLine>& last = given_[kLater - 1];
        const D2rMergePassState& fourth = later_[kLater - 1];
        const std::size_t before = fourth.given - last.size();
        std::size_t settled = last.size();
        if (fourth.first_merge != static_cast<std::size_t>(-1)) {
            settled = fourth.first_merge > before ? std::min(fourth.first_merge - before, last.size()) : 0;
        }
        for (std::size_t k = 0; k < settled; ++k) settled_(last[k]);
        held_.insert(held_.end(), last.begin() + static_cast<std::ptrdiff_t>(settled), last.end());
        last.clear();
    }

    Settled settled_;
    FirstPass first_;
    std::unique_ptr<D2rStepLine[]> first_given_;  // what the first pass gave, for the second
    std::size_t first_count_ = 0;
    std::array<D2rMergePassState, kLater> later_{};
    D2rMergeBeats& beats_;
    // While in_beats_, nothing waits between the passes, and their places are
    // these, not their own: pass q's D2rPassCode at bits 4q of codes_, the
    // line it stands on (if it does) in stood_[q].
    bool in_beats_ = false;
    unsigned codes_ = 0;
    std::array<D2rStepLine, kLater + 1> stood_{};
    std::size_t next_try_ = 0;  // first_count_ from which beats are tried again
    std::array<std::vector<D2rStepLine>, kLater> given_{};
    std::vector<D2rStepLine> held_;
};

// Builds the lines of one chart, giving each to `settled` as it is settled;
// returns those held, from the fourth pass's first merge on, which further
// passes are to merge.
template <typename Settled>
std::vector<D2rStepLine> BuildChartLines(std::string_view chart_text, long long chart_lead_in, long long lead_in,
                                         long long reference_lead_in, std::string_view file_name, ErrorList& errors,
                               std::size_t* triplets_on_grid, const StepTextPlace* chart, std::size_t stretch,
                               Settled settled) {
    const std::size_t data_start = std::min(chart_text.size(), static_cast<std::size_t>(chart_lead_in));
    const std::string_view chart_data = chart_text.substr(data_start);
    // The pads as BuildD2rPadTexts gives them, without copying: each side of
    // the text behind the rests of its lead-in. A single chart's pad 2 is
    // rests alone, which the building takes as silent.
    const auto [side1, rests1, side2, rests2, pad2_start, single] =
        SplitD2rPadSides(chart_data, chart_lead_in, lead_in, reference_lead_in);
    // Each side as it stands in the chart's text, for the decoder's error lines.
    StepTextPlace place1;
    StepTextPlace place2;
    if (chart != nullptr) {
        place1 = *chart;
        place1.side_start = 0;
        place1.side_end = single ? chart_text.size() : data_start + pad2_start - 1;
        place2 = *chart;
        place2.side_start = data_start + pad2_start;
        place2.side_end = chart_text.size();
    }
    // Pad 2's error lines wait for pad 1's; those of placing and building
    // for both. All of them stand where the reader stands now.
    HeldErrorLines pad2_errors(errors.SourceLine());
    HeldErrorLines later_errors(errors.SourceLine());
    MSDStepDecoder decoder1(side1, static_cast<std::size_t>(std::max(rests1, 0LL)), file_name, errors,
                            chart != nullptr ? &place1 : nullptr);
    MSDStepDecoder decoder2(side2, static_cast<std::size_t>(std::max(rests2, 0LL)), file_name, pad2_errors.List(),
                            chart != nullptr && !single ? &place2 : nullptr);
    D2rPadWindow window1;
    D2rPadWindow window2;
    window2.complete = single;
    D2rTripletPlacer placer;
    D2rPlacedPads placed;
    D2rLineBuilder builder(single);
    FourMergingPasses<Settled> passes(settled);
    for (;;) {
        FillWindow(window1, decoder1, stretch);
        FillWindow(window2, decoder2, stretch);
        const bool all_placed = placer.Place(window1, window2, placed, file_name, later_errors.List());
        builder.Build(placed.pad1, placed.pad2, all_placed || (window1.complete && placer.PadEnded(1)),
                      all_placed || (window2.complete && placer.PadEnded(2)), file_name, later_errors.List(),
                      passes);
        if (all_placed) break;
        DropReadCells(window1, placer.NextCell(1), placer.TripletsPassed(1));
        DropReadCells(window2, placer.NextCell(2), placer.TripletsPassed(2));
        builder.Drop(placed.pad1, placed.pad2);
    }
    std::vector<D2rStepLine> held = passes.Finish();
    pad2_errors.MoveTo(errors);
    later_errors.MoveTo(errors);
    if (triplets_on_grid != nullptr) *triplets_on_grid += placed.triplets_on_grid;
    return held;
}

// The rest of the merging: passes from the fourth's first merge on, where
// each of them stands.
template <typename Settled>
void MergeHeld(std::vector<D2rStepLine> held, Settled settled) {
    if (held.empty()) return;
    for (const D2rStepLine line : MergeD2rStepLinesByWalking(std::move(held))) settled(line);
}

// Step lines formatted into a buffer of the writer's own and handed to the
// destination many at a time: most of a d2r file is these short lines.
class StepLineWriter {
public:
    explicit StepLineWriter(LineSink& out) : out_(out) {}

    void Write(D2rStepLine line) {
        if (kSize - used_ < kD2rStepLineSize + 2) Flush();
        char* const at = buffer_.data() + used_;
        const std::size_t size = FormatD2rStepLineAt(line, at);
        at[size] = '\r';
        at[size + 1] = '\n';
        used_ += size + 2;
    }
    void Flush() {
        if (used_ > 0) out_.WriteLines(std::string_view(buffer_.data(), used_));
        used_ = 0;
    }

private:
    static constexpr std::size_t kSize = 4096;

    LineSink& out_;
    std::array<char, kSize> buffer_;
    std::size_t used_ = 0;
};

template <typename Value>
void ReleaseBuffers(Value& value) {
    Value empty;
    std::swap(value, empty);
}

}  // namespace

std::vector<D2rStepLine> ConvertChartToD2rStepLinesInStretches(std::string_view chart_text,
                                                               long long chart_lead_in, long long lead_in,
                                                               long long reference_lead_in,
                                                               std::string_view file_name, ErrorList& errors,
                                                               std::size_t* triplets_on_grid,
                                                               const StepTextPlace* chart, std::size_t stretch) {
    std::vector<D2rStepLine> lines;
    const auto keep = [&lines](D2rStepLine line) { lines.push_back(line); };
    MergeHeld(BuildChartLines(chart_text, chart_lead_in, lead_in, reference_lead_in, file_name, errors,
                              triplets_on_grid, chart, stretch, keep),
              keep);
    return lines;
}

std::vector<D2rStepLine> ConvertChartToD2rStepLines(std::string chart_text, long long chart_lead_in,
                                                    long long lead_in, long long reference_lead_in,
                                                    std::string_view file_name, ErrorList& errors,
                                                    std::size_t* triplets_on_grid, const StepTextPlace* chart) {
    std::vector<D2rStepLine> lines;
    const auto keep = [&lines](D2rStepLine line) { lines.push_back(line); };
    std::vector<D2rStepLine> held = BuildChartLines(chart_text, chart_lead_in, lead_in, reference_lead_in, file_name,
                                                    errors, triplets_on_grid, chart, kD2rCellStretch, keep);
    // The merging passes read only the lines: the chart's text may go.
    ReleaseBuffers(chart_text);
    MergeHeld(std::move(held), keep);
    return lines;
}

void WriteChartD2rStepLines(std::string chart_text, long long chart_lead_in, long long lead_in,
                            long long reference_lead_in, std::string_view file_name, ErrorList& errors,
                            std::size_t* triplets_on_grid, const StepTextPlace* chart, LineSink& out) {
    StepLineWriter writer(out);
    const auto write = [&writer](D2rStepLine line) { writer.Write(line); };
    std::vector<D2rStepLine> held = BuildChartLines(chart_text, chart_lead_in, lead_in, reference_lead_in, file_name,
                                                    errors, triplets_on_grid, chart, kD2rCellStretch, write);
    ReleaseBuffers(chart_text);
    MergeHeld(std::move(held), write);
    writer.Flush();
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
