// MSD to ddr: one ddr file per chart of an MSD file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <utility>

#include "ddr/ddr_notes.hpp"
#include "ddr/ddr_steps.hpp"
#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "msd/header.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

struct HeaderTag {
    std::string_view tag;
    std::string_view key;
};

constexpr std::array<HeaderTag, 6> kHeaderTags = {{
    {"#FILE:", "#comment FILE "},
    {"#TITLE:", "#title "},
    {"#ARTIST:", "#comment ARTIST "},
    {"#MSD:", "#comment MSD:"},
    {"#BPM:", "#comment BPM "},
    {"#GAP:", "#comment GAP "},
}};

constexpr std::array<std::string_view, 3> kDifficultyDirectives = {"#basic", "#another", "#maniac"};
constexpr std::array<char, 3> kDifficultyLetters = {'b', 'a', 'm'};

// A whole double-byte character when the level starts with one, so that the
// level comment never ends in half a character.
std::string_view LevelCharacter(std::string_view level_field) {
    if (level_field.empty() || level_field.front() == ':') return {};
    return level_field.substr(0, SjisCharacterSize(level_field, 0));
}

std::string Zeros(long long count) {
    return count > 0 ? std::string(static_cast<std::size_t>(count), '0') : std::string();
}

std::string WithLeadIn(long long count, std::string_view pad) {
    std::string out = Zeros(count);
    out.append(pad);
    return out;
}

// Takes the "0" characters off the front of `pad`; returns how many.
long long StripLeadIn(std::string& pad) {
    const std::size_t count = CountLeadingZeros(pad);
    pad = pad.substr(count);
    return static_cast<long long>(count);
}

// The pad still to be cut into measures: the characters that a triplet
// spread wrote past its measure, then the untouched rest of the pad. Both are
// taken from and put back at the front only, so that a long pad is never
// shifted and a spread never rewrites the rest of it. A pad of triplet marks
// written as steps can make the pending part grow from measure to measure, so
// it is a deque: taking from and putting back at its front cost only what is
// taken or put back.
class PadCursor {
public:
    explicit PadCursor(std::string_view pad) : rest_(pad) {}

    [[nodiscard]] bool Empty() const { return pending_.empty() && rest_.empty(); }

    // The first `count` characters, fewer at the end of the pad. The view
    // lives until the next call; `scratch` holds it when pending characters
    // come first.
    [[nodiscard]] std::string_view Front(std::size_t count, std::string& scratch) const {
        if (pending_.empty()) return rest_.substr(0, count);
        const std::size_t from_pending = std::min(count, pending_.size());
        scratch.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(from_pending));
        scratch.append(rest_.substr(0, count - from_pending));
        return scratch;
    }

    void Drop(std::size_t count) {
        const std::size_t from_pending = std::min(count, pending_.size());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(from_pending));
        rest_.remove_prefix(std::min(count - from_pending, rest_.size()));
    }

    // `text` becomes the front of the pad again.
    void PutBack(std::string_view text) { pending_.insert(pending_.begin(), text.begin(), text.end()); }

private:
    std::deque<char> pending_;
    std::string_view rest_;
};

constexpr std::size_t kMeasureCells = 32;
constexpr std::size_t kBeatCells = 8;
constexpr std::size_t kTripletBeat = 4;  // "T" and its three steps
// A spread takes a mark within the first 32 characters and its three steps,
// all within the first 35, and only moves what lies past them: so 35
// characters of the pad are all that a measure's spreads read.
constexpr std::size_t kSpreadReach = kMeasureCells + 3;

enum class MeasureKind { kPlain, kMixed, kTriplet };

// `w` is the first 32 characters of the pad. A measure with triplet beats
// whose other beats hold only a step on the beat fits 12 slots; any finer step
// beside a triplet makes it mixed.
MeasureKind ClassifyMeasure(std::string_view w) {
    if (w.find('T') == std::string_view::npos) return MeasureKind::kPlain;
    std::size_t at = 0;
    for (int beat = 0; beat < 4 && at < w.size(); ++beat) {
        if (w[at] == 'T') {
            at += kTripletBeat;
            continue;
        }
        for (std::size_t k = 1; k < kBeatCells && at + k < w.size(); ++k) {
            if (w[at + k] != '0') return MeasureKind::kMixed;
        }
        at += kBeatCells;
    }
    return MeasureKind::kTriplet;
}

// `front` is the first 35 characters of the pad (fewer at its end). As long
// as its first 32 hold a "T", the first "T" and its three steps x, y, z become
// x00y00z0, the steps on the beat's slots 1, 4 and 7. A "T" among the steps,
// as "(T12)" gives, is read again as a mark and spread in turn: the loop ends
// because every spread takes one "T" out and writes none. Characters past the
// end of the pad are rests.
std::string SpreadTriplets(std::string front) {
    for (auto mark = front.find('T'); mark < kMeasureCells; mark = front.find('T', mark)) {
        std::string spread = "00000000";
        for (std::size_t k = 0; k < 3; ++k) {
            if (mark + 1 + k < front.size()) spread[3 * k] = front[mark + 1 + k];
        }
        front.replace(mark, kTripletBeat, spread);
    }
    return front;
}

// The slots of a measure of 32 cells (rests past the end of `measure`): the
// cells halved while every other one is a rest, down to 4. Returns how many
// of `slots` are used.
std::size_t CompactMeasureInto(std::string_view measure, std::array<char, kMeasureCells>& slots) {
    const std::size_t given = std::min(measure.size(), kMeasureCells);
    std::copy_n(measure.begin(), given, slots.begin());
    std::fill(slots.begin() + static_cast<std::ptrdiff_t>(given), slots.end(), '0');
    std::size_t size = kMeasureCells;
    while (size > 4) {
        for (std::size_t i = 1; i < size; i += 2) {
            if (slots[i] != '0') return size;
        }
        for (std::size_t i = 0; i < size / 2; ++i) slots[i] = slots[2 * i];
        size /= 2;
    }
    return size;
}

// Twelve slots: three per beat, a triplet beat's steps or an on-beat step and
// two rests.
std::size_t TakeTripletMeasure(PadCursor& pad, std::string& scratch, std::array<char, kMeasureCells>& slots) {
    std::size_t size = 0;
    for (int beat = 0; beat < 4; ++beat) {
        const std::string_view head = pad.Front(kTripletBeat, scratch);
        if (!head.empty() && head.front() == 'T') {
            for (std::size_t k = 1; k <= 3; ++k) slots[size++] = k < head.size() ? head[k] : '0';
            pad.Drop(kTripletBeat);
        } else {
            slots[size++] = head.empty() ? '0' : head.front();
            slots[size++] = '0';
            slots[size++] = '0';
            pad.Drop(kBeatCells);
        }
    }
    return size;
}

// Cuts the next measure off `pad` and adds its step line, unless it is silent.
void AddMeasure(PadCursor& pad, char pad_mark, long long measure, std::string& scratch, std::string& line,
                LineSink& out, std::size_t* spread_measures) {
    std::array<char, kMeasureCells> slots{};
    std::size_t size = 0;
    const std::string_view w = pad.Front(kMeasureCells, scratch);
    switch (ClassifyMeasure(w)) {
        case MeasureKind::kMixed: {
            if (spread_measures != nullptr) ++*spread_measures;
            std::string front(pad.Front(kSpreadReach, scratch));
            pad.Drop(front.size());
            const std::string spread = SpreadTriplets(std::move(front));
            if (spread.size() > kMeasureCells) pad.PutBack(std::string_view(spread).substr(kMeasureCells));
            size = CompactMeasureInto(std::string_view(spread).substr(0, kMeasureCells), slots);
            break;
        }
        case MeasureKind::kPlain:
            size = CompactMeasureInto(w, slots);
            pad.Drop(kMeasureCells);
            break;
        case MeasureKind::kTriplet:
            size = TakeTripletMeasure(pad, scratch, slots);
            break;
    }
    const std::string_view text(slots.data(), size);
    if (IsAllZero(text)) return;
    FormatDdrStepLineInto(pad_mark, measure, text, line);
    out.WriteLine(line);
}

}  // namespace

DdrOptions ClampDdrOptions(const DdrOptions& options) {
    DdrOptions clamped;
    clamped.mode = std::clamp(options.mode, static_cast<int>(DdrOptions::kDeleteLeadIn),
                              static_cast<int>(DdrOptions::kAsItIs));
    clamped.delete_count = std::clamp(options.delete_count, 0, 150);
    clamped.measure = std::clamp(options.measure, 1, 10);
    clamped.half_beat = std::clamp(options.half_beat, 2, 9);
    return clamped;
}

std::vector<std::string> DdrBanner(std::string_view caption) {
    const FixedTexts& texts = Texts();
    std::string made_by = "#comment ";
    made_by.append(texts.made_by_prefix).append(caption).append(texts.made_by_suffix);
    std::string publication = "#comment ";
    publication.append(texts.publication).append(kPublicationAddress);
    return {"#comment", std::move(made_by), std::move(publication), "#comment"};
}

bool AddDdrHeaderLine(std::string_view line, std::vector<std::string>& header_block) {
    for (const HeaderTag& tag : kHeaderTags) {
        if (StartsWith(line, tag.tag)) {
            std::string result;
            TranslateHeaderLine(tag.key, tag.tag.size(), line, 1, result);
            header_block.push_back(std::move(result));
            return true;
        }
    }
    return false;
}

char DdrStyleLetter(std::string_view line) {
    constexpr std::array<char, 3> kLetters = {'s', 'c', 'd'};  // in the order of kChartTags
    for (std::size_t i = 0; i < kChartTags.size(); ++i) {
        if (StartsWith(line, kChartTags[i])) return kLetters[i];
    }
    return 0;
}

DdrChart BeginDdrChart(char style, std::string_view rest, const std::vector<std::string>& header_block,
                       LineSource& source) {
    DdrChart chart;
    chart.style = style;
    // No stop at the first word found: the next word is looked for in what
    // this one leaves, so one line can open a file per difficulty.
    for (std::size_t i = 0; i < kDifficulties.size(); ++i) {
        if (!StartsWith(rest, kDifficulties[i])) continue;
        rest.remove_prefix(kDifficulties[i].size());
        DdrChartFile& file = chart.files.emplace_back();
        file.difficulty = kDifficultyLetters[i];
        file.opening = header_block;
        if (!file.opening.empty()) {
            // The block ends without the blank of an empty last value.
            file.opening.back() = std::string(TrimBlanksAndControls(file.opening.back()));
        }
        if (style == 'd') file.opening.emplace_back("#double");
        if (style == 'c') file.opening.emplace_back("#twoplay");
        file.opening.emplace_back(kDifficultyDirectives[i]);
        file.opening.push_back(std::string("#comment LEVEL ").append(LevelCharacter(rest)));
    }
    const auto colon = rest.find(':');
    std::string text(colon == std::string_view::npos ? rest : rest.substr(colon + 1));
    if (!EndsWithSemicolon(text)) chart.terminated = AppendChartLines(source, text);
    chart.lead_in = CountLeadingZeros(text);
    chart.text = text.substr(chart.lead_in);
    return chart;
}

DdrPads SplitDdrPads(std::string_view chart_text, std::size_t reference_lead_in) {
    auto without_semicolon = [](std::string_view pad) {
        if (EndsWithSemicolon(pad)) pad.remove_suffix(1);
        return pad;
    };
    DdrPads pads;
    const auto colon = chart_text.find(':');
    if (colon != std::string_view::npos) {
        pads.first = without_semicolon(chart_text.substr(0, colon));
        pads.second = without_semicolon(chart_text.substr(colon + 1));
    } else {
        const std::string_view first = without_semicolon(chart_text);
        pads.second.assign(first.size() + reference_lead_in, '0');
        // Taken off a second time as for a two-pad chart: "12;;" is the pad "12".
        pads.first = without_semicolon(first);
    }
    return pads;
}

void ApplyDdrLeadIn(DdrPads& pads, std::size_t lead_in, std::size_t reference_lead_in, const DdrOptions& options) {
    const auto z = static_cast<long long>(lead_in);
    const auto l0 = static_cast<long long>(reference_lead_in);
    switch (options.mode) {
        case DdrOptions::kDeleteLeadIn: {
            const long long z2 = StripLeadIn(pads.second);
            const long long first = z - options.delete_count;
            // The second pad keeps its place against the first chart of the
            // file, not against this chart's first pad.
            const long long second = first + z2 - l0;
            if (first >= 0 && second >= 0) {
                pads.first = WithLeadIn(first, pads.first);
                pads.second = WithLeadIn(second, pads.second);
            }
            break;
        }
        case DdrOptions::kFirstStepAt: {
            const long long x = (options.measure - 1) * 8LL + (options.half_beat - 2);
            pads.first = WithLeadIn(x + z - l0, pads.first);
            const long long z2 = StripLeadIn(pads.second);
            pads.second = WithLeadIn(x + z2 - l0, pads.second);
            break;
        }
        default:
            pads.first = WithLeadIn(z, pads.first);
            break;
    }
}

std::string ToDdrPanelCodes(std::string_view expanded) {
    std::string out(expanded);
    ToDdrPanelCodesInPlace(out);
    return out;
}

void ToDdrPanelCodesInPlace(std::string& expanded) {
    static constexpr auto kCodes = [] {
        std::array<char, 256> codes{};
        for (std::size_t c = 0; c < codes.size(); ++c) codes[c] = static_cast<char>(c);
        codes['1'] = '3';
        codes['3'] = 'a';
        codes['4'] = '1';
        codes['6'] = '8';
        codes['7'] = '5';
        codes['8'] = '4';
        codes['9'] = 'c';
        codes['A'] = codes['a'] = '6';
        codes['B'] = codes['b'] = '9';
        return codes;
    }();
    for (char& c : expanded) c = kCodes[static_cast<unsigned char>(c)];
}

std::string CompactDdrMeasure(std::string_view measure) {
    std::array<char, kMeasureCells> slots{};
    return std::string(slots.data(), CompactMeasureInto(measure, slots));
}

bool IsAllZero(std::string_view text) { return text.find_first_not_of('0') == std::string_view::npos; }

void BuildDdrStepLines(std::string first_pad, std::string second_pad, LineSink& out, std::size_t* spread_measures) {
    ToDdrPanelCodesInPlace(first_pad);
    ToDdrPanelCodesInPlace(second_pad);
    PadCursor first(first_pad);
    PadCursor second(second_pad);
    std::string scratch;
    std::string line;
    // Both pads to their ends: a pad whose triplets make it shorter in cells
    // can still hold more measures than the other.
    for (long long measure = 1; !first.Empty() || !second.Empty(); ++measure) {
        AddMeasure(first, '#', measure, scratch, line, out, spread_measures);
        AddMeasure(second, '$', measure, scratch, line, out, spread_measures);
    }
}

std::vector<std::filesystem::path> ConvertMSD2ddr(const std::filesystem::path& source,
                                                  const std::filesystem::path& destination,
                                                  std::string_view caption, const DdrOptions& options,
                                                  ErrorList& errors, Storage& storage) {
    const DdrOptions in_range = ClampDdrOptions(options);
    const std::string file_name = FileNameForErrorLine(source);
    const FixedTexts& texts = Texts();
    auto input = storage.OpenSource(source);
    const std::size_t reference_lead_in = FindReferenceLeadIn(*input);
    input->Rewind();

    std::vector<std::filesystem::path> written;
    // A later chart of the same style and difficulty replaces the file; it is
    // listed once.
    auto note_written = [&written, &errors](const std::filesystem::path& file) {
        if (std::find(written.begin(), written.end(), file) == written.end()) written.push_back(file);
        else errors.AddNote(note::kChartReplaced, {}, FileNameForErrorLine(file));
    };
    std::vector<std::string> header_block = DdrBanner(caption);
    std::string line;
    while (input->ReadLine(line)) {
        if (AddDdrHeaderLine(line, header_block)) continue;
        const char style = DdrStyleLetter(line);
        if (style == 0) continue;
        const std::string chart_line = line;
        DdrChart chart = BeginDdrChart(style, std::string_view(chart_line).substr(kChartTags[0].size()),
                                       header_block, *input);
        NoteMsdChartForDdr(chart_line, !chart.files.empty(), errors);
        if (chart.files.empty()) errors.Add(file_name, texts.unknown_difficulty, ChartLabel(chart_line));
        if (!chart.terminated) errors.Add(file_name, texts.unterminated_chart, ChartLabel(chart_line));
        if (chart.files.empty()) continue;

        // A file opened by an earlier difficulty word of the line is complete
        // with its opening lines; the steps go to the last one.
        for (std::size_t i = 0; i + 1 < chart.files.size(); ++i) {
            const auto file = DdrChartFileName(destination, chart.style, chart.files[i].difficulty);
            auto out = storage.CreateDestination(file, source);
            for (const auto& opening : chart.files[i].opening) out->WriteLine(opening);
            out->Commit();
            note_written(file);
        }
        const DdrChartFile& last = chart.files.back();
        const auto file = DdrChartFileName(destination, chart.style, last.difficulty);
        auto out = storage.CreateDestination(file, source);
        DdrChartNotes noted(*out, ChartLabel(chart_line), errors);
        for (const auto& opening : last.opening) out->WriteLine(opening);

        DdrPads pads = SplitDdrPads(chart.text, reference_lead_in);
        chart.text = std::string();
        ApplyDdrLeadIn(pads, chart.lead_in, reference_lead_in, in_range);
        std::string first = DecodeMSDSteps(pads.first, file_name, errors);
        std::string second = DecodeMSDSteps(pads.second, file_name, errors);
        NoteDdrPads(ChartLabel(chart_line), first, second, errors);
        pads = DdrPads();
        BuildDdrStepLines(std::move(first), std::move(second), noted, &noted.spread_measures);
        noted.Commit();
        note_written(file);
    }
    return written;
}

}  // namespace torvane
