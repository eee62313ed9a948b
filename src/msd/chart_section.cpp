#include "msd/chart_section.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "msd/styles.hpp"

namespace torvane {
namespace {

// Removes every occurrence of `what` in one scan.
std::string RemoveAll(std::string_view text, std::string_view what) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

// The first pass looks for the style alone, without its colon.
bool StartsChart(std::string_view line) {
    return std::any_of(kChartStyles.begin(), kChartStyles.end(),
                       [line](const StyleWords& style) { return line.starts_with(style.MsdStyle()); });
}

}  // namespace

std::size_t CountLeadingZeros(std::string_view text) {
    const auto end = text.find_first_not_of('0');
    return end == std::string_view::npos ? text.size() : end;
}

bool IsAllZero(std::string_view text) { return text.find_first_not_of('0') == std::string_view::npos; }

std::string WithLeadIn(long long count, std::string_view steps) {
    std::string out;
    if (count > 0) {
        out.reserve(static_cast<std::size_t>(count) + steps.size());
        out.assign(static_cast<std::size_t>(count), '0');
    }
    out.append(steps);
    return out;
}

namespace {

// The tags that FindReferenceLeadIn takes out, in order.
constexpr std::array<std::string_view, 6> kReferenceTags = {kSingle.msd_tag,          kDouble.msd_tag,
                                                            kCouple.msd_tag,          kDifficulties[0].msd_word,
                                                            kDifficulties[1].msd_word, kDifficulties[2].msd_word};

// What the removals may still change at the end of a text that goes on:
// a tag cut off there, in each removal.
constexpr std::size_t kUnsettledEnd = [] {
    std::size_t size = 0;
    for (const std::string_view tag : kReferenceTags) size += tag.size();
    return size;
}();

// The reference lead-in of the chart data `joined`; `complete` when it is
// the whole of the chart. Not known (nullopt) while the rests run up to the
// end of what a longer text could still change.
std::optional<std::size_t> ReferenceLeadInOf(const std::string& joined, bool complete) {
    // The removals run one after another, as a later one may match text that
    // an earlier one has joined up.
    std::string removed = joined;
    for (const std::string_view tag : kReferenceTags) removed = RemoveAll(removed, tag);
    const auto colon = removed.find(':');
    const std::size_t from = colon == std::string::npos ? 0 : colon + 1;
    const std::size_t end = removed.find_first_not_of('0', from);
    if (complete) return (end == std::string::npos ? removed.size() : end) - std::min(from, removed.size());
    // A removal that a longer text completes changes only what lies within
    // a tag's length of the end, in each removal.
    const std::size_t settled = removed.size() > kUnsettledEnd ? removed.size() - kUnsettledEnd : 0;
    if (colon == std::string::npos || end == std::string::npos || end >= settled) return std::nullopt;
    return end - from;
}

}  // namespace

std::size_t FindReferenceLeadIn(LineSource& source) {
    std::string line;
    bool found = false;
    while (source.ReadLine(line)) {
        if (StartsChart(line)) {
            found = true;
            break;
        }
    }
    if (!found) return 0;
    // The first chart is read only as far as its rests go: a chart of
    // millions of measures is not held for the few characters that count.
    // The text read is looked at again each time it has doubled.
    std::string joined = line;
    bool complete = EndsWithSemicolon(line);
    std::size_t look_at = kFirstLook;
    std::string_view next;
    for (;;) {
        if (complete || joined.size() >= look_at) {
            if (const auto lead_in = ReferenceLeadInOf(joined, complete)) return *lead_in;
            look_at = 2 * joined.size();
        }
        // A first chart cut off by the end of the file is measured as far as it goes.
        if (!source.ReadLineView(next)) {
            complete = true;
            continue;
        }
        joined.append(next);
        complete = EndsWithSemicolon(next);
    }
}

bool AppendChartLines(LineSource& source, std::string& data, std::vector<std::size_t>* later_starts) {
    return source.AppendLinesThrough(';', data, later_starts);
}

std::size_t ChartSourceLines::LineOf(std::size_t offset, std::size_t& passed) const {
    if (first_line == 0) return 0;
    passed = std::min(passed, later_starts.size());
    while (passed < later_starts.size() && later_starts[passed] <= offset) ++passed;
    while (passed > 0 && later_starts[passed - 1] > offset) --passed;
    return first_line + passed;
}

std::string_view ChartLabel(std::string_view chart_line) {
    std::size_t colons = 0;
    for (std::size_t i = 0; i < chart_line.size(); ++i) {
        if (chart_line[i] == ':' && ++colons == 3) return chart_line.substr(0, i + 1);
    }
    return chart_line;
}

}  // namespace torvane
