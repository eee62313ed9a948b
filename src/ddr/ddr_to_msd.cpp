// ddr to MSD: the charts of one ddr file as one MSD file.
#include <algorithm>
#include <array>

#include "ddr/ddr_notes.hpp"
#include "ddr/ddr_steps.hpp"
#include "msd/chart_section.hpp"
#include "msd/encoder.hpp"
#include "msd/header.hpp"
#include "msd/writer.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

constexpr std::string_view kEmptyMeasure = "00000000";
// Two measures and a quarter, the default of the MSD-to-ddr deletion.
constexpr std::size_t kLeadIn = 18;

constexpr std::array<std::string_view, 5> kFixedHeaderTags = {"#FILE:;", "#ARTIST:;", "#MSD:;", "#BPM:120.0;",
                                                              "#GAP:0;"};

// The MSD step character of a ddr slot; 0 when it has none.
char MSDStepCharacter(char slot) {
    switch (slot) {
        case '0': return '0';
        case '1': return '4';
        case '2': return '2';
        case '3': return '1';
        case '4': return '8';
        case '5': return '7';
        case '6': return 'A';
        case '8': return '6';
        case '9': return 'B';
        case 'a':
        case 'A': return '3';
        case 'c':
        case 'C': return '9';
        default: return 0;
    }
}

// Characters that would end the chart, split its sides or open a group when
// MSD reads them.
bool IsMSDNotation(char c) {
    switch (c) {
        case ':':
        case ';':
        case '(':
        case ')':
        case '[':
        case ']':
        case '{':
        case '}': return true;
        default: return false;
    }
}

void WriteChart(LineSink& out, const std::vector<std::string_view>& block, std::string_view style,
                std::string_view difficulty) {
    for (const std::string_view tag : kFixedHeaderTags) out.WriteLine(tag);
    std::string chart_line(style);
    chart_line.append(":").append(difficulty).append(":1:");
    out.WriteLine(chart_line);

    // The block starts at the earlier of the pads' first measures, so that a
    // pad whose lines all come after the other pad's still starts at its own
    // first measure; it ends at the measure of its last line.
    int first = 0;
    for (const char pad_mark : {'#', '$'}) {
        const auto line = std::find_if(block.begin(), block.end(), [pad_mark](std::string_view l) {
            return !l.empty() && l.front() == pad_mark;
        });
        if (line == block.end()) continue;
        const int measure = DdrMeasureNumber(*line);
        first = first == 0 ? measure : std::min(first, measure);
    }
    const int last = DdrMeasureNumber(block.back());
    const int pads = style == "#SINGLE" ? 1 : 2;
    for (int pad = 0; pad < pads; ++pad) {
        std::string text = EncodeMSDStepsFully(BuildDdrPadText(block, pad == 0 ? '#' : '$', first, last));
        text += pad == 0 && pads == 2 ? ':' : ';';
        WriteZeroLine(out, kLeadIn);
        out.WriteLine(text);
    }
}

}  // namespace

void DdrToMSDCodes(std::string& line, std::string_view file_name, ErrorList& errors) {
    const FixedTexts& texts = Texts();
    for (std::size_t i = 5; i < line.size(); ++i) {
        const char code = MSDStepCharacter(line[i]);
        if (code != 0) {
            line[i] = code;
            continue;
        }
        const std::size_t size = SjisCharacterSize(line, i);
        errors.Add(file_name, texts.bad_ddr_slot, std::string_view(line).substr(i, size));
        if (size == 1 && IsMSDNotation(line[i])) line[i] = '0';
        i += size - 1;
    }
}

std::string DdrMeasureText(std::string_view line) {
    std::string text;
    AppendDdrMeasureText(line, text);
    return text;
}

void AppendDdrMeasureText(std::string_view line, std::string& text) {
    const std::string_view slots = line.size() > 5 ? line.substr(5) : std::string_view();
    auto groups = [slots, &text](std::size_t size) {
        for (std::size_t beat = 0; beat < 4; ++beat) {
            text.append(1, '(').append(slots.substr(beat * size, size)).append(1, ')');
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

std::string BuildDdrPadText(const std::vector<std::string_view>& block, char pad_mark, int first, int last) {
    std::string text;
    long long expected = first;
    bool has_line = false;
    for (const auto& line : block) {
        if (line.empty() || line.front() != pad_mark) continue;
        has_line = true;
        const int measure = DdrMeasureNumber(line);
        for (; measure > expected; ++expected) text.append(kEmptyMeasure);
        AppendDdrMeasureText(line, text);
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

    std::string style = "#SINGLE";
    std::string difficulty;
    // A step block's lines, one after the other in `block_text`.
    std::string block_text;
    std::vector<std::size_t> line_ends;
    std::vector<std::string_view> block;
    std::string line;
    DdrComments comments;
    while (input->ReadLine(line)) {
        KeepDdrComment(line, comments);
        if (StartsWith(line, "#title ")) {
            std::string title;
            TranslateHeaderLine("#TITLE:", 7, line, 0, title);
            out->WriteLine(title);
        } else if (StartsWith(line, "#basic")) {
            difficulty = "BASIC";
        } else if (StartsWith(line, "#another")) {
            difficulty = "ANOTHER";
        } else if (StartsWith(line, "#maniac")) {
            difficulty = "MANIAC";
        } else if (StartsWith(line, "#double")) {
            style = "#DOUBLE";
        } else if (StartsWith(line, "#twoplay")) {
            style = "#COUPLE";
        } else if (DdrMeasureNumber(line) != 0) {
            // The block runs to the first line that is no step line; that
            // line ends the chart and is read as nothing else.
            block_text.clear();
            line_ends.clear();
            do {
                DdrToMSDCodes(line, file_name, errors);
                block_text.append(line);
                line_ends.push_back(block_text.size());
            } while (input->ReadLine(line) && DdrMeasureNumber(line) != 0);
            NoteLineAfterDdrSteps(line, errors);
            block.clear();
            std::size_t begin = 0;
            for (const std::size_t end : line_ends) {
                block.push_back(std::string_view(block_text).substr(begin, end - begin));
                begin = end;
            }
            WriteChart(*out, block, style, difficulty);
            NoteDdrChart(block, style, difficulty, comments, errors);
        }
    }
    out->Commit();
}

}  // namespace torvane
