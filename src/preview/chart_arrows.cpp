#include "preview/chart_arrows.hpp"

#include <bit>
#include <string>
#include <unordered_map>

namespace torvane {
namespace {

// Bytes that a measure drawn once costs beyond its outlines (its group and a
// path per colour), and each placement of it: a measure is drawn once only
// where that saves bytes.
constexpr std::size_t kDefinitionBytes = 64;
constexpr std::size_t kColourBytes = 28;
constexpr std::size_t kPlacementBytes = 36;
constexpr std::size_t kArrowBytes = 22;

// Qt's SVG module drops the rest of a path after some 32,000 elements (an
// arrow is eight), so a long chart's arrows of one colour take several paths.
constexpr std::size_t kArrowsPerPath = 1000;

std::size_t RhythmIndex(long long tick) { return static_cast<std::size_t>(RhythmOfTick(tick)); }

bool Worth(std::size_t measures, std::size_t arrows, std::size_t colours) {
    if (measures < 2) return false;
    const std::size_t drawn_in_place = measures * arrows * kArrowBytes;
    const std::size_t drawn_once =
        kDefinitionBytes + colours * kColourBytes + arrows * kArrowBytes + measures * kPlacementBytes;
    return drawn_once < drawn_in_place;
}

}  // namespace

void PutArrow(SvgText& out, Pen& pen, std::size_t lane, long long x, long long y) {
    // Each outline starts at the arrow's tip.
    static constexpr std::array<std::string_view, 4> kOutlines = {
        "l6-6v4h6v4h-6v4z",     // left
        "l6-6h-4v-6h-4v6h-4z",  // down
        "l6 6h-4v6h-4v-6h-4z",  // up
        "l-6-6v4h-6v4h6v4z",    // right
    };
    static constexpr std::array<std::array<long long, 2>, 4> kTips = {
        {{-kArrowHalf, 0}, {0, kArrowHalf}, {0, -kArrowHalf}, {kArrowHalf, 0}}};
    const long long tip_x = x + kTips[lane][0];
    const long long tip_y = y + kTips[lane][1];
    if (pen.started) {
        out.Put('m');
        out.PutPair(tip_x - pen.x, tip_y - pen.y);
    } else {
        out.Put('M');
        out.PutPair(tip_x, tip_y);
    }
    out.Put(kOutlines[lane]);
    pen = {true, tip_x, tip_y, pen.arrows + 1};
}

ChartArrows::ChartArrows(const Chart& chart, const ChartLayout& layout) : chart_(chart), layout_(layout) {
    const auto measures = static_cast<std::size_t>(layout.measures);
    std::size_t all_steps = 0;
    for (const auto& pad : chart.pads) {
        // Steps before the first measure or after the last are not drawn.
        const auto& steps = pad.steps;
        std::vector<std::size_t> first(measures + 1);
        std::size_t i = 0;
        for (std::size_t measure = 0; measure <= measures; ++measure) {
            const long long start = static_cast<long long>(measure) * kTicksPerMeasure;
            while (i < steps.size() && steps[i].tick < start) ++i;
            first[measure] = i;
        }
        all_steps += steps.size();
        first_of_measure_.push_back(std::move(first));
    }

    // Measures of equal steps have equal keys: each step's place in its
    // measure and its panels.
    std::string keys(2 * all_steps, '\0');
    std::size_t keys_used = 0;
    std::unordered_map<std::string_view, std::size_t> shape_of_key;
    shape_of_.assign(chart.pads.size() * measures, -1);
    for (std::size_t pad = 0; pad < chart.pads.size(); ++pad) {
        for (long long measure = 0; measure < layout.measures; ++measure) {
            const std::size_t from = keys_used;
            std::size_t arrows = 0;
            unsigned colours = 0;
            for (const ChartStep* step = StepsBegin(pad, measure); step != StepsEnd(pad, measure); ++step) {
                keys[keys_used++] = static_cast<char>(step->tick % kTicksPerMeasure);
                keys[keys_used++] = static_cast<char>(step->panels);
                arrows += static_cast<std::size_t>(PanelCount(step->panels));
                colours |= 1u << RhythmIndex(step->tick);
            }
            if (arrows == 0) {
                keys_used = from;
                continue;
            }
            const auto [it, added] =
                shape_of_key.try_emplace(std::string_view(keys.data() + from, keys_used - from), shapes_.size());
            if (added) {
                shapes_.push_back({pad, measure, arrows, static_cast<std::size_t>(std::popcount(colours)), 0, -1});
            } else {
                keys_used = from;
            }
            ++shapes_[it->second].measures;
            shape_of_[pad * measures + static_cast<std::size_t>(measure)] = static_cast<long long>(it->second);
        }
    }
    long long next_id = 0;
    for (auto& shape : shapes_) {
        if (Worth(shape.measures, shape.arrows, shape.colours)) shape.id = next_id++;
    }
}

const ChartStep* ChartArrows::StepsBegin(std::size_t pad, long long measure) const {
    return chart_.pads[pad].steps.data() + first_of_measure_[pad][static_cast<std::size_t>(measure)];
}

const ChartStep* ChartArrows::StepsEnd(std::size_t pad, long long measure) const {
    return chart_.pads[pad].steps.data() + first_of_measure_[pad][static_cast<std::size_t>(measure) + 1];
}

const ChartArrows::Shape* ChartArrows::ShapeAt(std::size_t pad, long long measure) const {
    const long long shape = shape_of_[pad * static_cast<std::size_t>(layout_.measures) + static_cast<std::size_t>(measure)];
    return shape < 0 ? nullptr : &shapes_[static_cast<std::size_t>(shape)];
}

bool ChartArrows::PutMeasure(SvgText& out, Pen& pen, std::size_t pad, long long measure, std::size_t rhythm,
                             long long x, long long y) const {
    bool any = false;
    for (const ChartStep* step = StepsBegin(pad, measure); step != StepsEnd(pad, measure); ++step) {
        if (RhythmIndex(step->tick) != rhythm) continue;
        const long long step_y = y + (step->tick % kTicksPerMeasure) * kPixelsPerTick;
        for (std::size_t lane = 0; lane < kPanelsInOrder.size(); ++lane) {
            if ((step->panels & kPanelsInOrder[lane]) == 0) continue;
            if (pen.arrows == kArrowsPerPath) {
                out.Put("\"/>\r\n<path fill=\"");
                out.Put(kRhythmColours[rhythm]);
                out.Put("\" d=\"");
                pen = Pen();
            }
            PutArrow(out, pen, lane, x + static_cast<long long>(lane) * kLaneWidth + kLaneWidth / 2, step_y);
            any = true;
        }
    }
    return any;
}

namespace {

// The start of a path of arrows in the colour of `rhythm`; its "d" follows.
void OpenRhythmPath(SvgText& out, std::size_t rhythm) {
    out.Put("<path fill=\"");
    out.Put(kRhythmColours[rhythm]);
    out.Put("\" d=\"");
}

}  // namespace

void ChartArrows::PutDefinitions(SvgText& out) const {
    for (const auto& shape : shapes_) {
        if (shape.id < 0) continue;
        out.Put("<g id=\"m");
        out.PutNumber(shape.id);
        out.Put("\" stroke=\"");
        out.Put(kArrowStroke);
        out.Put("\" stroke-linejoin=\"round\">");
        for (std::size_t rhythm = 0; rhythm < kRhythms; ++rhythm) {
            const std::size_t mark = out.Size();
            OpenRhythmPath(out, rhythm);
            Pen pen;
            if (!PutMeasure(out, pen, shape.pad, shape.measure, rhythm, 0, 0)) {
                out.Truncate(mark);
                continue;
            }
            out.Put("\"/>");
        }
        out.Put("</g>\r\n");
    }
}

void ChartArrows::PutPlacements(SvgText& out, long long measure) const {
    const long long y = (measure % kMeasuresPerColumn) * kMeasureHeight;
    for (std::size_t pad = 0; pad < chart_.pads.size(); ++pad) {
        const Shape* shape = ShapeAt(pad, measure);
        if (shape == nullptr || shape->id < 0) continue;
        out.Put("<use xlink:href=\"#m");
        out.PutNumber(shape->id);
        out.Put('"');
        if (const long long x = ChartLayout::PadX(static_cast<long long>(pad)); x != 0) {
            out.Put(" x=\"");
            out.PutNumber(x);
            out.Put('"');
        }
        if (y != 0) {
            out.Put(" y=\"");
            out.PutNumber(y);
            out.Put('"');
        }
        out.Put("/>");
    }
}

void ChartArrows::PutArrowsInPlace(SvgText& out) const {
    out.Put("<g stroke=\"");
    out.Put(kArrowStroke);
    out.Put("\" stroke-linejoin=\"round\">\r\n");
    for (std::size_t rhythm = 0; rhythm < kRhythms; ++rhythm) {
        const std::size_t mark = out.Size();
        OpenRhythmPath(out, rhythm);
        Pen pen;
        bool any = false;
        for (std::size_t pad = 0; pad < chart_.pads.size(); ++pad) {
            for (long long measure = 0; measure < layout_.measures; ++measure) {
                const Shape* shape = ShapeAt(pad, measure);
                if (shape == nullptr || shape->id >= 0) continue;
                const long long column = measure / kMeasuresPerColumn;
                const long long x = layout_.ColumnX(column) + ChartLayout::PadX(static_cast<long long>(pad));
                const long long y = layout_.ColumnY(column) + (measure % kMeasuresPerColumn) * kMeasureHeight;
                any = PutMeasure(out, pen, pad, measure, rhythm, x, y) || any;
            }
        }
        if (any) {
            out.Put("\"/>\r\n");
        } else {
            out.Truncate(mark);
        }
    }
    out.Put("</g>\r\n");
}

}  // namespace torvane
