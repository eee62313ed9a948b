#include "sm/simfile_writer.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "ddr/ddr.hpp"
#include "msd/chart_section.hpp"
#include "msd/header.hpp"
#include "msd/styles.hpp"
#include "preview/chart_loader.hpp"
#include "sm/simfile_chart.hpp"
#include "sm/simfile_text.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"
#include "text/numbers.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// The step data on a chart tag line: after the tag, the difficulty word (or
// an unknown word's field) and the level's field, as the chart model reads it.
std::string_view StepDataOfChartLine(std::string_view line, std::size_t tag_size) {
    std::string_view rest = line.substr(tag_size);
    const auto take_field = [&rest] {
        const std::size_t colon = rest.find(':');
        rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    };
    const auto known = std::find_if(kDifficulties.begin(), kDifficulties.end(),
                                    [rest](const DifficultyWords& words) { return rest.starts_with(words.msd_word); });
    if (known != kDifficulties.end()) {
        rest.remove_prefix(known->msd_word.size());
    } else {
        take_field();
    }
    if (rest.find(':') != std::string_view::npos) take_field();
    return rest;
}

// The chart model drops "5" as a step without panels; it is counted where
// the step data still holds it, once per chart.
std::size_t CountSteps5(std::string_view data) {
    if (data.find('5') == std::string_view::npos) return 0;
    const std::size_t colon = data.find(':');
    if (colon == std::string_view::npos) return CountMSDSteps5(data);
    return CountMSDSteps5(data.substr(0, colon)) + CountMSDSteps5(data.substr(colon + 1));
}

std::optional<double> NumberOf(std::string_view text) {
    try {
        return ReadDecimal(text, {}, {});
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

void WriteSimfileHeader(const SimfileSongScan& scan, const SimfileTiming& timing, std::string_view music,
                        ErrorList& errors, LineSink& sink) {
    for (const auto& line : BannerLines("//", "", kCaption)) sink.WriteLine(Cp932ToUtf8(line));
    const auto tag = [&](std::string_view name, std::string_view value) {
        std::string line(name);
        line.append(value).append(";");
        sink.WriteLine(line);
    };
    tag("#TITLE:", EscapeSimfileValue(SimfileText(scan.title.value_or(""), kTitleTag, errors)));
    tag("#ARTIST:", EscapeSimfileValue(SimfileText(scan.artist.value_or(""), kArtistTag, errors)));
    tag("#MUSIC:", EscapeSimfileValue(music));
    tag("#OFFSET:", FormatSixDecimals(timing.Offset()));
    tag("#BPMS:", "0.000000=" + FormatSixDecimals(timing.tempo));
    tag("#STOPS:", "");
}

std::string CountText(std::size_t count) { return std::to_string(count); }

}  // namespace

std::size_t CountMSDSteps5(std::string_view side) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < side.size();) {
        const char c = side[i];
        if (c == '(') {
            // ")" is never the second byte of a double-byte character.
            const std::size_t close = side.find(')', i + 1);
            if (close == std::string_view::npos) break;
            const std::size_t size = close - i - 1;
            if (size == 1 || size == 2 || size == 3 || size == 4 || size == 8) {
                count += static_cast<std::size_t>(std::count(side.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                                             side.begin() + static_cast<std::ptrdiff_t>(close), '5'));
            }
            i = close + 1;
        } else if (c == '[' || c == '{') {
            // "]" and "}" may be second bytes: the group ends at one that is a character of its own.
            const char closing = c == '[' ? ']' : '}';
            std::size_t j = i + 1;
            while (j < side.size() && side[j] != closing) j += SjisCharacterLength(side, j);
            if (j >= side.size()) break;
            i = j + 1;
        } else {
            if (c == '5') ++count;
            i += SjisCharacterLength(side, i);
        }
    }
    return count;
}

SimfileSongScan ScanSimfileSong(LineSource& msd) {
    SimfileSongScan scan;
    std::string line;
    std::string data;
    const auto first = [&line](std::optional<std::string>& value, std::string_view tag) {
        if (!value) value = std::string(MsdHeaderValue(line, tag.size()));
    };
    while (msd.ReadLine(line)) {
        if (line.starts_with(kTitleTag)) {
            first(scan.title, kTitleTag);
        } else if (line.starts_with(kArtistTag)) {
            first(scan.artist, kArtistTag);
        } else if (line.starts_with(kFileTag)) {
            first(scan.file, kFileTag);
        } else if (line.starts_with(kBpmTag)) {
            scan.tempos.emplace_back(MsdHeaderValue(line, kBpmTag.size()));
        } else if (line.starts_with(kGapTag)) {
            scan.gaps.emplace_back(MsdHeaderValue(line, kGapTag.size()));
        } else {
            const auto style = std::find_if(kChartStyles.begin(), kChartStyles.end(),
                                            [&line](const StyleWords& words) { return line.starts_with(words.msd_tag); });
            if (style == kChartStyles.end()) continue;
            SimfileSongScan::ChartScan chart{std::string(ChartLabel(line))};
            data = StepDataOfChartLine(line, style->msd_tag.size());
            if (data.empty() || !EndsWithSemicolon(line)) (void)AppendChartLines(msd, data);
            chart.steps_5 = CountSteps5(data);
            scan.charts.push_back(std::move(chart));
        }
    }
    return scan;
}

SimfileTiming SimfileTimingOf(const SimfileSongScan& scan, const std::filesystem::path& source) {
    SimfileTiming timing;
    if (scan.tempos.empty()) throw ConversionError(Failure::kNoTempo, source, std::string(kBpmTag));
    timing.tempo_text = scan.tempos.front();
    try {
        timing.tempo = ReadDecimal(timing.tempo_text, source, kBpmTag);
    } catch (const ConversionError&) {
        timing.tempo = 0;
    }
    if (!(timing.tempo > 0)) throw ConversionError(Failure::kNoTempo, source, std::string(kBpmTag), timing.tempo_text);
    if (!scan.gaps.empty()) {
        timing.gap_text = scan.gaps.front();
        timing.gap = ReadDecimal(timing.gap_text, source, kGapTag);
    }
    return timing;
}

void NoteTimingLost(const SimfileSongScan& scan, const SimfileTiming& timing, bool first_source, ErrorList& errors) {
    const auto check = [&](const std::vector<std::string>& values, double kept, std::string_view tag) {
        for (std::size_t i = first_source ? 1 : 0; i < values.size(); ++i) {
            if (NumberOf(values[i]) != kept) errors.AddNote(note::kTimingPerChartLost, {}, std::string(tag) + values[i]);
        }
    };
    check(scan.tempos, timing.tempo, kBpmTag);
    // A song without a gap has the gap 0; a later source's "#GAP:0" is no change.
    check(scan.gaps, timing.gap, kGapTag);
}

WrittenSimfile WriteSimfile(std::span<const std::filesystem::path> sources, const std::filesystem::path& destination,
                            ErrorList& errors, Storage& storage) {
    WrittenSimfile written;
    std::unique_ptr<LineSink> sink;
    SimfileTiming timing;
    SimfileDifficulties difficulties;
    for (const auto& source : sources) {
        ChartFile file(source, FormatOfSource(source), errors, storage);
        SimfileSongScan scan;
        file.ReadMSD([&scan](LineSource& msd) { scan = ScanSimfileSong(msd); });
        // Its tempo stands beside each chart it gives, so a ddr file without
        // a chart it could give has none, but the tempo is the same.
        if (scan.tempos.empty() && FormatOfSource(source) == ChartFormat::kddr) scan.tempos.emplace_back(kDdrTempo);
        const bool first_source = sink == nullptr;
        if (first_source) {
            timing = SimfileTimingOf(scan, source);
            if (scan.file) {
                written.file_value = *scan.file;
                written.music = SimfileText(MusicNameOf(*scan.file), kFileTag, errors);
            }
            sink = storage.CreateDestination(destination, source);
            WriteSimfileHeader(scan, timing, written.music, errors, *sink);
        }
        NoteTimingLost(scan, timing, first_source, errors);

        file.ReadEachChart(errors, [&](std::size_t place, Chart&& chart) {
            const std::string label = place < scan.charts.size() ? scan.charts[place].label : std::string();
            SimfileChartHead head;
            head.steps_type = SimfileStepsType(chart.style);
            head.difficulty = difficulties.Next(chart);
            if (head.difficulty == kEditDifficulty) {
                head.description = EscapeSimfileValue(Cp932ToUtf8(chart.difficulty_word));
                errors.AddNote(note::kEditChart, label, chart.difficulty_word);
            }
            if (const auto meter = SimfileMeter(chart.level)) {
                head.meter = *meter;
            } else {
                errors.AddNote(note::kMeterDefault, label, chart.level);
            }
            if (place < scan.charts.size() && scan.charts[place].steps_5 > 0) {
                errors.AddNote(note::kStep5Dropped, label, CountText(scan.charts[place].steps_5));
            }
            const int columns = SimfileColumns(chart.style);
            if (chart.style == ChartStyle::kSingle && chart.pads.size() > 1 && !chart.pads[1].steps.empty()) {
                errors.AddNote(note::kSecondSideDropped, label, CountText(chart.pads[1].steps.size()));
            }
            sink->WriteLine("");
            WriteSimfileChart(head, chart, columns, *sink);
            ++written.charts;
        });
    }
    if (sink == nullptr) throw ConversionError(Failure::kInternal, destination, {}, "a simfile of no source");
    sink->Commit();
    return written;
}

}  // namespace torvane
