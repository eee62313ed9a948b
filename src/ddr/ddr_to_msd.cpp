// ddr to MSD: the charts of one ddr file as one MSD file.
#include <algorithm>
#include <array>
#include <string>

#include "ddr/ddr.hpp"
#include "ddr/ddr_format.hpp"
#include "ddr/ddr_notes.hpp"
#include "ddr/ddr_to_msd.hpp"
#include "msd/chart_section.hpp"
#include "msd/encoder.hpp"
#include "msd/header.hpp"
#include "msd/styles.hpp"
#include "msd/writer.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

constexpr std::string_view kEmptyMeasure = "00000000";

// The MSD step character of each ddr slot; 0 where it has none.
constexpr auto kMSDStepOfSlot = [] {
    std::array<char, 256> steps{};
    for (std::size_t c = 0; c < steps.size(); ++c) {
        const int panels = PanelsOfDdrSlot(static_cast<char>(c));
        steps[c] = panels < 0 ? 0 : StepOfPanels(panels);
    }
    return steps;
}();

// The one song header line that ddr to MSD reads back: the title.
constexpr HeaderKey kTitle = [] {
    for (const HeaderKey& row : kDdrHeaderKeys) {
        if (row.read_back) return row;
    }
    return HeaderKey{};
}();

const DifficultyWords* DifficultyOfDirective(std::string_view line) {
    for (const DifficultyWords& difficulty : kDifficulties) {
        if (line.starts_with(difficulty.ddr_directive)) return &difficulty;
    }
    return nullptr;
}

// A single chart has no directive.
const StyleWords* StyleOfDirective(std::string_view line) {
    for (const StyleWords& style : kChartStyles) {
        if (!style.ddr_directive.empty() && line.starts_with(style.ddr_directive)) return &style;
    }
    return nullptr;
}

void WriteChart(LineSink& out, const std::vector<std::string_view>& block, std::string_view style,
                std::string_view difficulty) {
    // What a ddr file cannot give: no music, tempo or gap of its own.
    for (const std::string_view tag : {kFileTag, kArtistTag, kMsdTag}) out.WriteLine(std::string(tag) + ";");
    out.WriteLine(std::string(kBpmTag).append(kDdrTempo).append(";"));
    out.WriteLine(std::string(kGapTag) + "0;");
    std::string chart_line(style);
    chart_line.append(":").append(difficulty).append(":1:");
    out.WriteLine(chart_line);

    const int pads = PadCount(style);
    // The block starts at the earlier of the pads' first measures, so that a
    // pad whose lines all come after the other pad's still starts at its own
    // first measure; it ends at the measure of its last line. A single chart
    // has no second pad, and its "$" lines do not move the start of its pad.
    int first = 0;
    for (const char pad_mark : std::string_view("#$").substr(0, static_cast<std::size_t>(pads))) {
        const auto line = std::find_if(block.begin(), block.end(), [pad_mark](std::string_view l) {
            return !l.empty() && l.front() == pad_mark;
        });
        if (line == block.end()) continue;
        const int measure = DdrMeasureNumber(*line);
        first = first == 0 ? measure : std::min(first, measure);
    }
    const int last = DdrMeasureNumber(block.back());
    for (int pad = 0; pad < pads; ++pad) {
        std::string text = BuildDdrPadText(block, pad == 0 ? '#' : '$', first, last, true);
        text += pad == 0 && pads == 2 ? ':' : ';';
        WriteZeroLine(out, static_cast<std::size_t>(kGameLeadIn));
        out.WriteLine(text);
    }
}

}  // namespace

void DdrToMSDCodes(std::string& line, std::string_view file_name, ErrorList& errors) {
    DdrToMSDCodes(line.data(), line.size(), file_name, errors);
}

namespace {

// A slot without an MSD step character at `i`: reported, and made a rest
// unless MSD reads it as a step. Returns the slot's last byte. Out of line,
// so that the loop over the slots keeps its few values in registers.
[[gnu::noinline]] std::size_t UnknownDdrSlot(char* const slots, const std::size_t size_of_line, std::size_t i,
                                             std::string_view file_name, ErrorList& errors) {
    const std::string_view line(slots, size_of_line);
    const std::size_t size = SjisCharacterLength(line, i);
    errors.Add(file_name, ErrorCode::kDdrSlot, line.substr(i, size), DdrSlotPlace(line, i));
    // A slot that MSD would not read as a step becomes a rest: a reader
    // drops it outside a group, and every later step of the pad would come
    // early. Both bytes of a double-byte character are a slot each.
    if (size == 2 || !IsMSDStepCharacter(line[i])) std::fill_n(slots + i, size, '0');
    return i + size - 1;
}

}  // namespace

void DdrToMSDCodes(char* const slots, const std::size_t size_of_line, std::string_view file_name, ErrorList& errors) {
    for (std::size_t i = 5; i < size_of_line; ++i) {
        const char code = kMSDStepOfSlot[static_cast<unsigned char>(slots[i])];
        if (code != 0) [[likely]] {
            slots[i] = code;
            continue;
        }
        i = UnknownDdrSlot(slots, size_of_line, i, file_name, errors);
    }
}

namespace {

// A beat group of at most eight slots as CompactGroupAtEnd leaves it,
// compacted where it stands before it is appended.
void AppendCompactedGroup(std::string_view group, std::string& text) {
    std::array<char, 8> cells{};
    std::size_t size = std::min(group.size(), cells.size());
    std::copy_n(group.begin(), size, cells.begin());
    for (;;) {
        const CompactedGroup compacted = CompactGroupOnce(std::string_view(cells.data(), size));
        switch (compacted.kind) {
            case CompactedGroup::kPlain:
                text.append(compacted.steps.data(), 2);
                return;
            case CompactedGroup::kSixteenths:
                std::copy_n(compacted.steps.begin(), 4, cells.begin());
                size = 4;
                continue;
            case CompactedGroup::kKept:
                text.append(1, '(').append(cells.data(), size).append(1, ')');
                return;
        }
    }
}

}  // namespace

void AppendDdrMeasureText(std::string_view line, std::string& text, bool compacted) {
    const std::string_view slots = line.size() > 5 ? line.substr(5) : std::string_view();
    auto groups = [slots, &text, compacted](std::size_t size) {
        for (std::size_t beat = 0; beat < 4; ++beat) {
            const std::string_view group = slots.substr(beat * size, size);
            if (compacted) {
                AppendCompactedGroup(group, text);
            } else {
                text.append(1, '(').append(group).append(1, ')');
            }
        }
    };
    switch (line.size()) {
        case 6:
        case 7:
        case 8:
        case 9: {
            // Slots that the line lacks are rests, so that the measure still
            // lasts four beats and the pad's later steps keep their time.
            for (std::size_t beat = 0; beat < 4; ++beat) {
                text += beat < slots.size() ? slots[beat] : '0';
                text += '0';
            }
            return;
        }
        case 13: text.append(slots); return;
        case 17: groups(3); return;
        case 21: groups(4); return;
        case 37: groups(8); return;
        default: text.append(kEmptyMeasure); return;
    }
}

std::string BuildDdrPadText(const std::vector<std::string_view>& block, char pad_mark, int first, int last,
                            bool compacted) {
    std::string text;
    long long expected = first;
    bool has_line = false;
    for (const auto& line : block) {
        if (line.empty() || line.front() != pad_mark) continue;
        has_line = true;
        const int measure = DdrMeasureNumber(line);
        for (; measure > expected; ++expected) text.append(kEmptyMeasure);
        AppendDdrMeasureText(line, text, compacted);
        // A line out of order follows the one before it.
        expected = std::max<long long>(expected, measure) + 1;
    }
    if (!has_line) return {};
    for (; expected <= last; ++expected) text.append(kEmptyMeasure);
    return text;
}

void Convertddr2MSD(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string_view caption, ErrorList& errors, Storage& storage) {
    const std::string file_name = FileNameForErrorLine(source);
    auto input = storage.OpenSource(source);
    auto out = storage.CreateDestination(destination, source);
    WriteMsdBanner(*out, caption);

    std::string_view style = kSingle.MsdStyle();
    std::string_view chart_difficulty;
    // A step block's lines, one after the other in `block_text`.
    std::string block_text;
    std::vector<std::size_t> line_ends;
    std::vector<std::string_view> block;
    // Each line as the source shows it, until the next is read: a step line
    // is turned into MSD's codes where it is appended.
    std::string_view line;
    DdrComments comments;
    while (input->ReadLineView(line)) {
        KeepDdrComment(line, comments);
        if (line.starts_with(kTitle.key)) {
            out->WriteLine(HeaderLineToMsd(kTitle, line));
        } else if (const DifficultyWords* difficulty = DifficultyOfDirective(line)) {
            chart_difficulty = difficulty->Name();
        } else if (const StyleWords* chart_style = StyleOfDirective(line)) {
            style = chart_style->MsdStyle();
        } else if (DdrMeasureNumber(line) != 0) {
            // The block runs to the first line that is no step line; that
            // line ends the chart and is read as nothing else.
            block_text.clear();
            line_ends.clear();
            do {
                const std::size_t begin = block_text.size();
                block_text.append(line);
                DdrToMSDCodes(block_text.data() + begin, line.size(), file_name, errors);
                line_ends.push_back(block_text.size());
            } while (input->ReadLineView(line) && DdrMeasureNumber(line) != 0);
            NoteLineAfterDdrSteps(line, errors);
            block.clear();
            std::size_t begin = 0;
            for (const std::size_t end : line_ends) {
                block.push_back(std::string_view(block_text).substr(begin, end - begin));
                begin = end;
            }
            WriteChart(*out, block, style, chart_difficulty);
            NoteDdrChart(block, style, chart_difficulty, comments, errors);
        }
    }
    out->Commit();
}

}  // namespace torvane
