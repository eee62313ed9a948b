#include "preview/chart_svg.hpp"

#include <array>
#include <string_view>

#include "preview/chart_arrows.hpp"
#include "preview/chart_layout.hpp"
#include "preview/svg_text.hpp"
#include "text/numbers.hpp"

namespace torvane {
namespace {

constexpr long long kLegendSpacing = 132;
constexpr std::string_view kSeparator = " \xC2\xB7 ";  // a middle dot

static_assert(kRhythms == 5, "a word for each rhythm in PictureWords");

// `<text x=".." y=".."` with the attributes that follow, up to the content.
void OpenText(SvgText& out, long long x, long long y, std::string_view attributes) {
    out.Put("<text x=\"");
    out.PutNumber(x);
    out.Put("\" y=\"");
    out.PutNumber(y);
    out.Put('"');
    out.Put(attributes);
    out.Put('>');
}

void PutCount(SvgText& out, std::size_t count, std::string_view one, const PictureWords& words) {
    if (words.count_after_word) {
        out.Put(one);
        out.Put(' ');
    }
    out.PutNumber(static_cast<long long>(count));
    if (words.count_after_word) return;
    out.Put(' ');
    out.Put(one);
    if (count != 1 && words.plural_s) out.Put('s');
}

// The difficulty: the language's word, or the chart's own one as it stands.
void PutDifficulty(SvgText& out, const Chart& chart, PictureLanguage language) {
    if (chart.difficulty == ChartDifficulty::kUnknown && !chart.difficulty_word.empty()) {
        out.PutEscaped(chart.difficulty_word);
    } else if (language == PictureLanguage::kEnglish) {
        out.PutEscaped(DifficultyName(chart));
    } else {
        out.Put(DifficultyWord(chart, language));
    }
}

void PutHeader(SvgText& out, const Chart& chart, PictureLanguage language) {
    const PictureWords& words = WordsOf(language);
    OpenText(out, kMargin, 30, " font-size=\"20\" font-weight=\"bold\"");
    if (chart.title.empty()) {
        out.Put(words.no_title);
    } else {
        out.PutEscaped(chart.title);
    }
    out.Put("</text>\r\n");
    OpenText(out, kMargin, 52, " font-size=\"13\"");
    out.PutEscaped(chart.artist);
    out.Put("</text>\r\n");

    OpenText(out, kMargin, 74, " font-size=\"13\"");
    out.Put(StyleWord(chart.style, language));
    out.Put(kSeparator);
    PutDifficulty(out, chart, language);
    out.Put(kSeparator);
    out.Put(words.level);
    out.PutEscaped(chart.level);
    out.Put(kSeparator);
    if (chart.tempo) {
        out.Put(FormatGeneral(*chart.tempo));
        out.Put(" BPM");
    } else {
        out.Put(words.unknown_tempo);
    }
    out.Put("</text>\r\n");

    const ChartCounts counts = CountChartSteps(chart);
    OpenText(out, kMargin, 94, " font-size=\"13\"");
    PutCount(out, counts.steps, words.step, words);
    out.Put(kSeparator);
    PutCount(out, counts.jumps, words.jump, words);
    out.Put(kSeparator);
    PutCount(out, counts.triplets, words.triplet, words);
    out.Put("</text>\r\n");

    // The legend: an arrow of each colour and what it means.
    for (std::size_t i = 0; i < kRhythms; ++i) {
        const long long x = kMargin + static_cast<long long>(i) * kLegendSpacing;
        out.Put("<path fill=\"");
        out.Put(kRhythmColours[i]);
        out.Put("\" stroke=\"");
        out.Put(kArrowStroke);
        out.Put("\" d=\"");
        Pen pen;
        PutArrow(out, pen, 2, x + kArrowHalf, 112);
        out.Put("\"/>\r\n");
        OpenText(out, x + 2 * kArrowHalf + 4, 116, " font-size=\"11\"");
        out.Put(words.rhythms[i]);
        out.Put("</text>\r\n");
    }
}

// The lanes, beat lines and measure lines of a column of `measures`
// measures, as <g id="g4"> (or "g1" to "g3" for a short last column).
void PutColumnDefinition(SvgText& out, const ChartLayout& layout, long long measures) {
    out.Put("<g id=\"g");
    out.PutNumber(measures);
    out.Put("\"><path fill=\"#f2f2f2\" d=\"");
    for (long long pad = 0; pad < layout.pads; ++pad) {
        out.Put('M');
        out.PutPair(ChartLayout::PadX(pad), 0);
        out.Put('h');
        out.PutNumber(kPadWidth);
        out.Put('v');
        out.PutNumber(measures * kMeasureHeight);
        out.Put('h');
        out.PutNumber(-kPadWidth);
        out.Put('z');
    }
    // Each line moves from the end of the one before.
    out.Put("\"/><path fill=\"none\" stroke=\"#c8c8c8\" d=\"M0 ");
    out.PutNumber(kBeatHeight);
    for (long long line = 1; line < 4 * measures; ++line) {
        if (line % 4 == 0) continue;
        if (line > 1) {
            out.Put('m');
            out.PutPair(-layout.lanes_width, line % 4 == 1 ? 2 * kBeatHeight : kBeatHeight);
        }
        out.Put('h');
        out.PutNumber(layout.lanes_width);
    }
    out.Put("\"/><path fill=\"none\" stroke=\"#505050\" d=\"M0 0");
    for (long long line = 0; line <= measures; ++line) {
        if (line > 0) {
            out.Put('m');
            out.PutPair(-layout.lanes_width, kMeasureHeight);
        }
        out.Put('h');
        out.PutNumber(layout.lanes_width);
    }
    out.Put("\"/></g>\r\n");
}

// Each column: its lanes and lines, the numbers of its measures, and the
// measures drawn once placed where they stand.
void PutColumns(SvgText& out, const ChartLayout& layout, const ChartArrows& arrows) {
    out.Put("<g font-size=\"10\" text-anchor=\"end\" fill=\"#505050\">\r\n");
    for (long long column = 0; column < layout.columns; ++column) {
        const long long measures = layout.MeasuresIn(column);
        out.Put("<g transform=\"translate(");
        out.PutNumber(layout.ColumnX(column));
        out.Put(' ');
        out.PutNumber(layout.ColumnY(column));
        out.Put(")\"><use xlink:href=\"#g");
        out.PutNumber(measures);
        out.Put("\"/>");
        const long long first = column * kMeasuresPerColumn;
        for (long long measure = first; measure < first + measures; ++measure) {
            out.Put("<text x=\"-4\" y=\"");
            out.PutNumber((measure - first) * kMeasureHeight + 4);
            out.Put("\">");
            out.PutNumber(measure + 1);
            out.Put("</text>");
        }
        for (long long measure = first; measure < first + measures; ++measure) arrows.PutPlacements(out, measure);
        out.Put("</g>\r\n");
    }
    out.Put("</g>\r\n");
}

}  // namespace

std::string RenderChartSvg(const Chart& chart, PictureLanguage language) {
    const ChartLayout layout(chart);
    const ChartArrows arrows(chart, layout);
    std::size_t steps = 0;
    for (const auto& pad : chart.pads) steps += pad.steps.size();
    // A guess that is seldom short: measures drawn once cost a placement, not
    // their arrows.
    SvgText out(4096 + static_cast<std::size_t>(layout.measures) * 64 + steps * 4);

    out.Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"");
    out.PutNumber(layout.width);
    out.Put("\" height=\"");
    out.PutNumber(layout.height);
    out.Put("\" viewBox=\"0 0 ");
    out.PutNumber(layout.width);
    out.Put(' ');
    out.PutNumber(layout.height);
    out.Put("\" font-family=\"sans-serif\">\r\n<title>");
    out.PutEscaped(chart.title);
    out.Put(" \xE2\x80\x94 ");
    out.Put(StyleWord(chart.style, language));
    out.Put(' ');
    PutDifficulty(out, chart, language);
    out.Put("</title>\r\n<defs>\r\n");
    if (layout.measures >= kMeasuresPerColumn) PutColumnDefinition(out, layout, kMeasuresPerColumn);
    if (const long long last = layout.MeasuresIn(layout.columns - 1); last != kMeasuresPerColumn) {
        PutColumnDefinition(out, layout, last);
    }
    arrows.PutDefinitions(out);
    out.Put("</defs>\r\n<rect width=\"");
    out.PutNumber(layout.width);
    out.Put("\" height=\"");
    out.PutNumber(layout.height);
    out.Put("\" fill=\"#fff\"/>\r\n");

    PutHeader(out, chart, language);
    PutColumns(out, layout, arrows);
    arrows.PutArrowsInPlace(out);
    out.Put("</svg>\r\n");
    return std::move(out).Take();
}

}  // namespace torvane
