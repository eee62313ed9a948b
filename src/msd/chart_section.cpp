#include "msd/chart_section.hpp"

#include <algorithm>

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
    std::string joined = line;
    if (!EndsWithSemicolon(line)) {
        // A first chart cut off by the end of the file is measured as far as it goes.
        (void)AppendChartLines(source, joined);
    }
    // The removals run one after another, as a later one may match text that
    // an earlier one has joined up.
    for (std::string_view tag : {kSingle.msd_tag, kDouble.msd_tag, kCouple.msd_tag, kDifficulties[0].msd_word,
                                 kDifficulties[1].msd_word, kDifficulties[2].msd_word}) {
        joined = RemoveAll(joined, tag);
    }
    const auto colon = joined.find(':');
    const std::string_view rest =
        colon == std::string::npos ? std::string_view(joined) : std::string_view(joined).substr(colon + 1);
    return CountLeadingZeros(rest);
}

bool AppendChartLines(LineSource& source, std::string& data, std::vector<std::size_t>* later_starts) {
    std::string_view line;
    while (source.ReadLineView(line)) {
        if (later_starts != nullptr) later_starts->push_back(data.size());
        data.append(line);
        if (EndsWithSemicolon(line)) return true;
    }
    return false;
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
