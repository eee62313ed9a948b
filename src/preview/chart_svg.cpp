#include "preview/chart_svg.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// Layout in pixels. Every coordinate is a whole number, so the text of a
// picture depends on nothing but the chart.
constexpr long long kPixelsPerTick = 2;  // a 16th note is 12 pixels, an arrow's height
constexpr long long kMeasureHeight = kTicksPerMeasure * kPixelsPerTick;
constexpr long long kBeatHeight = kTicksPerBeat * kPixelsPerTick;
constexpr long long kMeasuresPerColumn = 4;
constexpr long long kLaneWidth = 16;
constexpr long long kArrowHalf = 6;
constexpr long long kPadGap = 6;
constexpr long long kNumberWidth = 30;  // room for measure numbers left of the lanes
constexpr long long kColumnGap = 18;
constexpr long long kColumnPadding = 8;  // arrows on a column's first and last line stay inside
constexpr long long kRowGap = 24;
constexpr long long kMargin = 16;
constexpr long long kHeaderHeight = 132;
constexpr long long kMinWidth = 680;  // the legend's width
constexpr long long kLegendSpacing = 132;

constexpr std::array<unsigned char, 4> kLanePanels = {kLeftPanel, kDownPanel, kUpPanel, kRightPanel};

struct RhythmLook {
    std::string_view colour;
    std::string_view name;
};

// Colours as players know them from chart editors.
constexpr std::array<RhythmLook, 5> kRhythmLooks = {{
    {"#d62828", "on the beat (red)"},
    {"#1f5fd6", "8th (blue)"},
    {"#e0b000", "16th (yellow)"},
    {"#2a9d3a", "32nd (green)"},
    {"#8e44ad", "triplet (purple)"},
}};

void AppendNumber(std::string& out, long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// Text for XML: code page 932 becomes UTF-8, the markup characters become
// references, and the control characters that XML 1.0 forbids become "?".
void AppendEscaped(std::string& out, std::string_view cp932) {
    for (const char c : Cp932ToUtf8(cp932)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\t':
            case '\n':
            case '\r': out += ' '; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    out += '?';
                } else {
                    out += c;
                }
                break;
        }
    }
}

// Where the last outline of a path began: the next one moves from there, as
// a few bytes of relative move instead of two absolute coordinates.
struct Pen {
    bool started = false;
    long long x = 0;
    long long y = 0;
};

// An arrow as a closed outline around (x, y), pointing the way of its lane.
void AppendArrow(std::string& path, Pen& pen, std::size_t lane, long long x, long long y) {
    static constexpr std::array<std::string_view, 4> kOutlines = {
        "l6-6v4h6v4h-6v4z",     // left, from its tip
        "l6-6h-4v-6h-4v6h-4z",  // down
        "l6 6h-4v6h-4v-6h-4z",  // up
        "l-6-6v4h-6v4h6v4z",    // right
    };
    static constexpr std::array<std::array<long long, 2>, 4> kTips = {
        {{-kArrowHalf, 0}, {0, kArrowHalf}, {0, -kArrowHalf}, {kArrowHalf, 0}}};
    const long long tip_x = x + kTips[lane][0];
    const long long tip_y = y + kTips[lane][1];
    path += pen.started ? 'm' : 'M';
    AppendNumber(path, pen.started ? tip_x - pen.x : tip_x);
    path += ' ';
    AppendNumber(path, pen.started ? tip_y - pen.y : tip_y);
    path += kOutlines[lane];
    pen = {true, tip_x, tip_y};
}

void AppendLine(std::string& path, long long x, long long y, long long width) {
    path += 'M';
    AppendNumber(path, x);
    path += ' ';
    AppendNumber(path, y);
    path += 'h';
    AppendNumber(path, width);
}

// `<text x=".." y=".."` with the attributes that follow, up to the content.
void OpenText(std::string& out, long long x, long long y, std::string_view attributes) {
    out += "<text x=\"";
    AppendNumber(out, x);
    out += "\" y=\"";
    AppendNumber(out, y);
    out += '"';
    out += attributes;
    out += '>';
}

struct Layout {
    long long pads = 1;
    long long measures = 1;
    long long lanes_width = 0;
    long long column_width = 0;
    long long columns_per_row = 1;
    long long row_height = 0;
    long long width = 0;
    long long height = 0;

    explicit Layout(const Chart& chart) {
        pads = std::max<long long>(1, static_cast<long long>(chart.pads.size()));
        measures = std::max<long long>(1, (chart.Length() + kTicksPerMeasure - 1) / kTicksPerMeasure);
        lanes_width = pads * 4 * kLaneWidth + (pads - 1) * kPadGap;
        column_width = kNumberWidth + lanes_width + kColumnGap;
        columns_per_row = pads == 1 ? 8 : 5;
        row_height = 2 * kColumnPadding + kMeasuresPerColumn * kMeasureHeight;
        const long long columns = (measures + kMeasuresPerColumn - 1) / kMeasuresPerColumn;
        const long long rows = (columns + columns_per_row - 1) / columns_per_row;
        const long long columns_in_row = std::min(columns, columns_per_row);
        width = std::max(kMinWidth, 2 * kMargin + columns_in_row * column_width - kColumnGap);
        // The last row is as tall as its first column, which may be short.
        const long long last_row_measures =
            std::min(kMeasuresPerColumn, measures - (rows - 1) * columns_per_row * kMeasuresPerColumn);
        height = kHeaderHeight + (rows - 1) * (row_height + kRowGap) + 2 * kColumnPadding +
                 last_row_measures * kMeasureHeight + kMargin;
    }

    // Left edge of the lanes of the column that holds `measure`.
    [[nodiscard]] long long LanesX(long long measure) const {
        const long long column = measure / kMeasuresPerColumn;
        return kMargin + (column % columns_per_row) * column_width + kNumberWidth;
    }
    // Top line of `measure`.
    [[nodiscard]] long long MeasureY(long long measure) const {
        const long long column = measure / kMeasuresPerColumn;
        const long long row = column / columns_per_row;
        return kHeaderHeight + row * (row_height + kRowGap) + kColumnPadding +
               (measure % kMeasuresPerColumn) * kMeasureHeight;
    }
    [[nodiscard]] long long PadX(long long pad) const { return pad * (4 * kLaneWidth + kPadGap); }
};

void AppendHeader(std::string& out, const Chart& chart, const ChartCounts& counts) {
    OpenText(out, kMargin, 30, " font-size=\"20\" font-weight=\"bold\"");
    if (chart.title.empty()) {
        out += "(no title)";
    } else {
        AppendEscaped(out, chart.title);
    }
    out += "</text>\r\n";
    OpenText(out, kMargin, 52, " font-size=\"13\"");
    AppendEscaped(out, chart.artist);
    out += "</text>\r\n";

    OpenText(out, kMargin, 74, " font-size=\"13\"");
    out += StyleName(chart.style);
    out += " \xC2\xB7 ";
    AppendEscaped(out, DifficultyName(chart));
    out += " \xC2\xB7 level ";
    AppendEscaped(out, chart.level);
    out += " \xC2\xB7 ";
    out += chart.tempo ? FormatGeneral(*chart.tempo) : std::string("?");
    out += " BPM</text>\r\n";

    OpenText(out, kMargin, 94, " font-size=\"13\"");
    AppendNumber(out, static_cast<long long>(counts.steps));
    out += counts.steps == 1 ? " step" : " steps";
    out += " \xC2\xB7 ";
    AppendNumber(out, static_cast<long long>(counts.jumps));
    out += counts.jumps == 1 ? " jump" : " jumps";
    out += " \xC2\xB7 ";
    AppendNumber(out, static_cast<long long>(counts.triplets));
    out += counts.triplets == 1 ? " triplet" : " triplets";
    out += "</text>\r\n";

    // The legend: an arrow of each colour and what it means.
    for (std::size_t i = 0; i < kRhythmLooks.size(); ++i) {
        const long long x = kMargin + static_cast<long long>(i) * kLegendSpacing;
        out += "<path fill=\"";
        out += kRhythmLooks[i].colour;
        out += "\" stroke=\"#1a1a1a\" d=\"";
        Pen pen;
        AppendArrow(out, pen, 2, x + kArrowHalf, 112);
        out += "\"/>\r\n";
        OpenText(out, x + 2 * kArrowHalf + 4, 116, " font-size=\"11\"");
        out += kRhythmLooks[i].name;
        out += "</text>\r\n";
    }
}

void AppendMeasures(std::string& out, const Layout& layout) {
    // Lane backgrounds, one rectangle per pad and column.
    for (long long first = 0; first < layout.measures; first += kMeasuresPerColumn) {
        const long long count = std::min(kMeasuresPerColumn, layout.measures - first);
        for (long long pad = 0; pad < layout.pads; ++pad) {
            out += "<rect x=\"";
            AppendNumber(out, layout.LanesX(first) + layout.PadX(pad));
            out += "\" y=\"";
            AppendNumber(out, layout.MeasureY(first));
            out += "\" width=\"";
            AppendNumber(out, 4 * kLaneWidth);
            out += "\" height=\"";
            AppendNumber(out, count * kMeasureHeight);
            out += "\" fill=\"#f2f2f2\"/>\r\n";
        }
    }
    std::string beat_lines;
    std::string measure_lines;
    for (long long measure = 0; measure < layout.measures; ++measure) {
        const long long x = layout.LanesX(measure);
        const long long y = layout.MeasureY(measure);
        for (long long beat = 1; beat < 4; ++beat) AppendLine(beat_lines, x, y + beat * kBeatHeight, layout.lanes_width);
        AppendLine(measure_lines, x, y, layout.lanes_width);
        // A column's last measure closes it.
        if (measure % kMeasuresPerColumn == kMeasuresPerColumn - 1 || measure + 1 == layout.measures) {
            AppendLine(measure_lines, x, y + kMeasureHeight, layout.lanes_width);
        }
    }
    out += "<path stroke=\"#c8c8c8\" d=\"";
    out += beat_lines;
    out += "\"/>\r\n<path stroke=\"#505050\" d=\"";
    out += measure_lines;
    out += "\"/>\r\n<g font-size=\"10\" text-anchor=\"end\" fill=\"#505050\">\r\n";
    for (long long measure = 0; measure < layout.measures; ++measure) {
        OpenText(out, layout.LanesX(measure) - 4, layout.MeasureY(measure) + 4, "");
        AppendNumber(out, measure + 1);
        out += "</text>\r\n";
    }
    out += "</g>\r\n";
}

void AppendArrows(std::string& out, const Chart& chart, const Layout& layout) {
    // One outline per colour: a picture of thousands of steps stays five elements.
    std::array<std::string, kRhythmLooks.size()> paths;
    std::array<Pen, kRhythmLooks.size()> pens;
    for (std::size_t pad = 0; pad < chart.pads.size(); ++pad) {
        const long long pad_x = layout.PadX(static_cast<long long>(pad));
        for (const ChartStep& step : chart.pads[pad].steps) {
            const long long measure = step.tick / kTicksPerMeasure;
            const long long x = layout.LanesX(measure) + pad_x + kLaneWidth / 2;
            const long long y = layout.MeasureY(measure) + (step.tick % kTicksPerMeasure) * kPixelsPerTick;
            const auto rhythm = static_cast<std::size_t>(RhythmOfTick(step.tick));
            for (std::size_t lane = 0; lane < kLanePanels.size(); ++lane) {
                if (step.panels & kLanePanels[lane]) {
                    AppendArrow(paths[rhythm], pens[rhythm], lane, x + static_cast<long long>(lane) * kLaneWidth, y);
                }
            }
        }
    }
    out += "<g stroke=\"#1a1a1a\" stroke-linejoin=\"round\">\r\n";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (paths[i].empty()) continue;
        out += "<path fill=\"";
        out += kRhythmLooks[i].colour;
        out += "\" d=\"";
        out += paths[i];
        out += "\"/>\r\n";
    }
    out += "</g>\r\n";
}

}  // namespace

Rhythm RhythmOfTick(long long tick) {
    const long long in_beat = ((tick % kTicksPerBeat) + kTicksPerBeat) % kTicksPerBeat;
    if (in_beat % kTicksPerCell != 0) return Rhythm::kTriplet;
    if (in_beat == 0) return Rhythm::kBeat;
    if (in_beat == kTicksPerBeat / 2) return Rhythm::kEighth;
    if (in_beat % (kTicksPerBeat / 4) == 0) return Rhythm::kSixteenth;
    return Rhythm::kThirtySecond;
}

ChartCounts CountChartSteps(const Chart& chart) {
    ChartCounts counts;
    auto count = [&counts](long long tick, int panels) {
        ++counts.steps;
        if (panels >= 2) ++counts.jumps;
        if (RhythmOfTick(tick) == Rhythm::kTriplet) ++counts.triplets;
    };
    auto panel_count = [](unsigned char panels) {
        int n = 0;
        for (const unsigned char panel : kLanePanels) n += (panels & panel) != 0;
        return n;
    };
    if (chart.style == ChartStyle::kDouble && chart.pads.size() == 2) {
        // One player on both pads: walk the two step lists together.
        const auto& a = chart.pads[0].steps;
        const auto& b = chart.pads[1].steps;
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() || j < b.size()) {
            if (j == b.size() || (i < a.size() && a[i].tick < b[j].tick)) {
                count(a[i].tick, panel_count(a[i].panels));
                ++i;
            } else if (i == a.size() || b[j].tick < a[i].tick) {
                count(b[j].tick, panel_count(b[j].panels));
                ++j;
            } else {
                count(a[i].tick, panel_count(a[i].panels) + panel_count(b[j].panels));
                ++i;
                ++j;
            }
        }
        return counts;
    }
    for (const auto& pad : chart.pads) {
        for (const auto& step : pad.steps) count(step.tick, panel_count(step.panels));
    }
    return counts;
}

std::string_view StyleName(ChartStyle style) {
    switch (style) {
        case ChartStyle::kSingle: return "Single";
        case ChartStyle::kDouble: return "Double";
        case ChartStyle::kCouple: return "Couple";
    }
    return "Single";
}

std::string DifficultyName(const Chart& chart) {
    switch (chart.difficulty) {
        case ChartDifficulty::kBasic: return "Basic";
        case ChartDifficulty::kAnother: return "Another";
        case ChartDifficulty::kManiac: return "Maniac";
        case ChartDifficulty::kUnknown: break;
    }
    return chart.difficulty_word.empty() ? std::string("no difficulty") : chart.difficulty_word;
}

std::string RenderChartSvg(const Chart& chart) {
    const Layout layout(chart);
    std::size_t steps = 0;
    for (const auto& pad : chart.pads) steps += pad.steps.size();
    std::string out;
    out.reserve(8192 + layout.measures * 160 + steps * 40);

    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    AppendNumber(out, layout.width);
    out += "\" height=\"";
    AppendNumber(out, layout.height);
    out += "\" viewBox=\"0 0 ";
    AppendNumber(out, layout.width);
    out += ' ';
    AppendNumber(out, layout.height);
    out += "\" font-family=\"sans-serif\">\r\n<title>";
    AppendEscaped(out, chart.title);
    out += " \xE2\x80\x94 ";
    out += StyleName(chart.style);
    out += ' ';
    AppendEscaped(out, DifficultyName(chart));
    out += "</title>\r\n<rect width=\"";
    AppendNumber(out, layout.width);
    out += "\" height=\"";
    AppendNumber(out, layout.height);
    out += "\" fill=\"#ffffff\"/>\r\n";

    AppendHeader(out, chart, CountChartSteps(chart));
    AppendMeasures(out, layout);
    AppendArrows(out, chart, layout);
    out += "</svg>\r\n";
    return out;
}

}  // namespace torvane
