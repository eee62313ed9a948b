#include "msd/chart_model.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

#include "msd/chart_section.hpp"
#include "msd/decoder.hpp"
#include "msd/header.hpp"
#include "msd/panels.hpp"
#include "msd/styles.hpp"
#include "text/conversion_error.hpp"
#include "text/numbers.hpp"

namespace torvane {
namespace {

// A number that does not parse stops a conversion, but a picture of the
// chart is still worth having: the value is then simply unknown.
std::optional<double> HeaderNumber(std::string_view value, std::string_view key) {
    try {
        return ReadDecimal(value, {}, key);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

struct SongValues {
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::optional<double> tempo;
    std::optional<double> gap;
    bool tempo_seen = false;
    bool gap_seen = false;
};

// Takes the text before the first ":" of `rest` off it; all of it when there is none.
std::string_view TakeField(std::string_view& rest) {
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) {
        const std::string_view all = rest;
        rest = {};
        return all;
    }
    const std::string_view field = rest.substr(0, colon);
    rest.remove_prefix(colon + 1);
    return field;
}

// A chart tag line (its tag already known): the chart without its steps,
// and what of the line is step data.
struct ChartHead {
    Chart chart;
    std::string_view data;
    bool continues = false;  // the step data goes on in the lines that follow
};

ChartHead ReadChartHead(std::string_view line, std::size_t tag) {
    ChartHead head;
    Chart& chart = head.chart;
    chart.style = static_cast<ChartStyle>(tag);
    std::string_view rest = line.substr(kChartStyles[tag].msd_tag.size());
    bool known = false;
    for (std::size_t i = 0; i < kDifficulties.size(); ++i) {
        if (rest.starts_with(kDifficulties[i].msd_word)) {
            chart.difficulty = static_cast<ChartDifficulty>(i);
            chart.difficulty_word = kDifficulties[i].Name();
            rest.remove_prefix(kDifficulties[i].msd_word.size());
            known = true;
            break;
        }
    }
    if (!known) {
        // A word the formats do not know: still a difficulty to a person, so
        // its level is the field after it, not the word itself.
        chart.difficulty_word = std::string(TakeField(rest));
    }
    // No level field: what follows is step data, as both readers take it.
    if (rest.find(':') != std::string_view::npos) chart.level = std::string(TakeField(rest));
    head.data = rest;
    head.continues = rest.empty() || !EndsWithSemicolon(line);
    return head;
}

// Reads the chart whose tag line is `line` (its tag already known) and the
// lines that continue it.
Chart ReadChart(std::string_view line, std::size_t tag, LineSource& source, std::string_view file_name,
                ErrorList& errors) {
    ChartHead head = ReadChartHead(line, tag);
    Chart chart = std::move(head.chart);
    std::string data(head.data);
    // The data begins on the chart's line, which the reader has just read.
    ChartSourceLines lines{errors.SourceLine(), {}};
    if (head.continues) (void)AppendChartLines(source, data, &lines.later_starts);

    std::string_view second_side;
    std::string_view first_side = data;
    const std::size_t colon = data.find(':');
    const bool two_sides = colon != std::string::npos;
    if (two_sides) {
        first_side = std::string_view(data).substr(0, colon);
        second_side = std::string_view(data).substr(colon + 1);
    }
    StepTextPlace place{ChartLabel(line), &lines, 0, first_side.size()};
    std::vector<std::size_t> triplet_beats;
    chart.pads.push_back(PadFromExpandedSteps(DecodeMSDSteps(first_side, file_name, errors, &triplet_beats, &place),
                                              &triplet_beats));
    if (two_sides || chart.style != ChartStyle::kSingle) {
        place.side_start = two_sides ? colon + 1 : data.size();
        place.side_end = data.size();
        // The first side's text goes before the second side is expanded: the
        // text of a long chart is much of what its reading holds.
        data = std::string(second_side);
        triplet_beats.clear();
        chart.pads.push_back(PadFromExpandedSteps(DecodeMSDSteps(data, file_name, errors, &triplet_beats, &place),
                                                  &triplet_beats));
    }
    return chart;
}

// Takes a header line into the song values; false for any other line.
bool ReadSongLine(std::string_view line, SongValues& song) {
    if (line.starts_with(kTitleTag)) {
        if (!song.title) song.title = std::string(MsdHeaderValue(line, kTitleTag.size()));
    } else if (line.starts_with(kArtistTag)) {
        if (!song.artist) song.artist = std::string(MsdHeaderValue(line, kArtistTag.size()));
    } else if (line.starts_with(kBpmTag)) {
        if (!song.tempo_seen) song.tempo = HeaderNumber(MsdHeaderValue(line, kBpmTag.size()), kBpmTag);
        song.tempo_seen = true;
    } else if (line.starts_with(kGapTag)) {
        if (!song.gap_seen) song.gap = HeaderNumber(MsdHeaderValue(line, kGapTag.size()), kGapTag);
        song.gap_seen = true;
    } else {
        return false;
    }
    return true;
}

std::optional<std::size_t> ChartTagOf(std::string_view line) {
    for (std::size_t tag = 0; tag < kChartStyles.size(); ++tag) {
        if (line.starts_with(kChartStyles[tag].msd_tag)) return tag;
    }
    return std::nullopt;
}

// Header tags may stand after the charts; they are the song's all the same.
void GiveSongValues(const SongValues& song, std::vector<Chart>& charts) {
    for (auto& chart : charts) {
        chart.title = song.title.value_or(std::string());
        chart.artist = song.artist.value_or(std::string());
        chart.tempo = song.tempo;
        chart.gap = song.gap;
    }
}

// A look-up per byte: a long chart's step text is read one byte at a time.
constexpr std::array<unsigned char, 256> kPanelsOfCharacter = [] {
    std::array<unsigned char, 256> panels{};
    for (int c = 0; c < 256; ++c) {
        panels[static_cast<std::size_t>(c)] = static_cast<unsigned char>(std::max(PanelsOfStep(static_cast<char>(c)), 0));
    }
    return panels;
}();

}  // namespace

long long Chart::Length() const {
    long long length = 0;
    for (const auto& pad : pads) length = std::max(length, pad.length);
    return length;
}

ChartPad PadFromExpandedSteps(std::string_view expanded, const std::vector<std::size_t>* triplet_beats) {
    ChartPad pad;
    const char* const cells = expanded.data();
    const std::size_t size = expanded.size();
    // Every step is a character other than a rest (a triplet beat's steps
    // follow its "T"), so the room for them is made once: a list that grew
    // by copying itself would copy a short pad's steps again and again and
    // hold a long pad's twice over.
    pad.steps.resize(CountNonRestCells(expanded));
    ChartStep* step = pad.steps.data();

    long long tick = 0;
    std::size_t next_triplet = 0;
    const auto begins_triplet = [&](std::size_t at) {
        if (triplet_beats == nullptr) return true;
        if (next_triplet == triplet_beats->size() || (*triplet_beats)[next_triplet] != at) return false;
        ++next_triplet;
        return true;
    };
    std::size_t i = 0;
    while (i < size) {
        // Most cells of a chart are rests: they are passed sixteen at a look.
        if (size - i >= 16) {
            const auto rests = static_cast<std::size_t>(std::countr_one(RestCellBits(cells + i)));
            tick += static_cast<long long>(rests) * kTicksPerCell;
            i += rests;
            if (rests == 16) continue;
        } else if (cells[i] == '0') {
            tick += kTicksPerCell;
            ++i;
            continue;
        }
        const char c = cells[i];
        if (const unsigned char panels = kPanelsOfCharacter[static_cast<unsigned char>(c)]; panels != 0) {
            *step++ = {tick, panels};
            tick += kTicksPerCell;
        } else if (c == 'T' && begins_triplet(i)) {
            // The decoder always writes three characters after "T"; a text
            // cut short still ends the beat where it would have ended.
            for (std::size_t third = 0; third < 3 && i + 1 < size; ++third) {
                if (const unsigned char steps = kPanelsOfCharacter[static_cast<unsigned char>(cells[++i])]; steps != 0) {
                    *step++ = {tick + static_cast<long long>(third) * (kTicksPerBeat / 3), steps};
                }
            }
            tick += kTicksPerBeat;
        } else if (c != ':' && c != ';') {
            tick += kTicksPerCell;
        }
        ++i;
    }
    pad.steps.resize(static_cast<std::size_t>(step - pad.steps.data()));
    pad.length = tick;
    return pad;
}

std::vector<Chart> ReadMSDCharts(LineSource& source, std::string_view file_name, ErrorList& errors) {
    std::vector<Chart> charts;
    SongValues song;
    std::string line;
    while (source.ReadLine(line)) {
        if (ReadSongLine(line, song)) continue;
        if (const auto tag = ChartTagOf(line)) charts.push_back(ReadChart(line, *tag, source, file_name, errors));
    }
    GiveSongValues(song, charts);
    return charts;
}

std::vector<Chart> ReadMSDChartHeads(LineSource& source, bool pads) {
    std::vector<Chart> heads;
    SongValues song;
    std::string line;
    while (source.ReadLine(line)) {
        if (ReadSongLine(line, song)) continue;
        const auto tag = ChartTagOf(line);
        if (!tag) continue;
        ChartHead head = ReadChartHead(line, *tag);
        // A ":" anywhere in the step data begins a second side, as ReadChart splits it.
        bool two_sides = head.data.find(':') != std::string_view::npos;
        if (head.continues) {
            // Skipped as AppendChartLines reads them: up to the line that ends with ";".
            while (source.ReadLine(line)) {
                two_sides = two_sides || line.find(':') != std::string::npos;
                if (EndsWithSemicolon(line)) break;
            }
        }
        if (pads) head.chart.pads.resize(two_sides || head.chart.style != ChartStyle::kSingle ? 2 : 1);
        heads.push_back(std::move(head.chart));
    }
    GiveSongValues(song, heads);
    return heads;
}

void ReadMSDChartsOneByOne(LineSource& source, const std::vector<Chart>& heads, std::string_view file_name,
                           ErrorList& errors, const std::function<void(std::size_t, Chart&&)>& take) {
    MSDChartReader reader(source, heads, file_name, errors);
    while (std::optional<Chart> chart = reader.Next()) take(reader.Place(), std::move(*chart));
}

MSDChartReader::MSDChartReader(LineSource& source, const std::vector<Chart>& heads, std::string_view file_name,
                               ErrorList& errors)
    : source_(source), heads_(heads), file_name_(file_name), errors_(errors) {}

std::optional<Chart> MSDChartReader::Next() {
    while (source_.ReadLine(line_)) {
        if (line_.starts_with(kTitleTag) || line_.starts_with(kArtistTag) || line_.starts_with(kBpmTag) ||
            line_.starts_with(kGapTag)) {
            continue;
        }
        const auto tag = ChartTagOf(line_);
        if (!tag) continue;
        Chart chart = ReadChart(line_, *tag, source_, file_name_, errors_);
        if (read_ < heads_.size()) {
            chart.title = heads_[read_].title;
            chart.artist = heads_[read_].artist;
            chart.tempo = heads_[read_].tempo;
            chart.gap = heads_[read_].gap;
        }
        ++read_;
        return chart;
    }
    return std::nullopt;
}

}  // namespace torvane
