#pragma once
// A simfile reader of the tests' own, written from the format as simulators
// read it, not from the writer: tags "#NAME:value;", "\" escaping the next
// character, "//" starting a comment to the end of its line, and "#NOTES:"
// with five fields and rows of measures separated by ",".

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::test {

struct SimfileStep {
    long long tick = 0;  // 24 a beat, from beat 0 of the chart
    int column = 0;
    double seconds = 0;  // into the music: beat * 60 / BPM - OFFSET

    friend bool operator==(const SimfileStep&, const SimfileStep&) = default;
};

struct SimfileNotes {
    std::string steps_type;
    std::string description;
    std::string difficulty;
    std::string meter;
    std::string groove_values;
    std::vector<int> rows_per_measure;
    std::vector<SimfileStep> steps;  // in row order, columns left to right
};

struct Simfile {
    std::map<std::string, std::string> tags;  // unescaped values of every tag but "#NOTES:"
    double offset = 0;
    double bpm = 0;
    std::vector<SimfileNotes> charts;
};

namespace simfile_detail {

inline std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// One tag's name and its value split at unescaped ":", each piece unescaped.
struct RawTag {
    std::string name;
    std::vector<std::string> fields;
};

inline std::vector<RawTag> ReadTags(std::string_view text) {
    std::vector<RawTag> tags;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.substr(i, 2) == "//") {
            i = text.find('\n', i);
            if (i == std::string_view::npos) break;
            continue;
        }
        if (text[i] != '#') {
            if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') {
                throw std::runtime_error("text outside a tag at byte " + std::to_string(i));
            }
            ++i;
            continue;
        }
        RawTag tag;
        const auto colon = text.find(':', i);
        if (colon == std::string_view::npos) throw std::runtime_error("a tag without \":\"");
        tag.name = std::string(text.substr(i + 1, colon - i - 1));
        std::string field;
        bool ended = false;
        for (i = colon + 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\\' && i + 1 < text.size()) {
                field.push_back(text[++i]);
            } else if (c == '/' && text.substr(i, 2) == "//") {
                i = text.find('\n', i);
                if (i == std::string_view::npos) throw std::runtime_error("a comment ends the file inside a tag");
                field.push_back('\n');
            } else if (c == ':') {
                tag.fields.push_back(field);
                field.clear();
            } else if (c == ';') {
                tag.fields.push_back(field);
                ended = true;
                ++i;
                break;
            } else {
                field.push_back(c);
            }
        }
        if (!ended) throw std::runtime_error("tag #" + tag.name + " without \";\"");
        tags.push_back(std::move(tag));
    }
    return tags;
}

inline double Number(const std::string& text) {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used != text.size()) throw std::runtime_error("not a number: " + text);
    return value;
}

}  // namespace simfile_detail

// Reads a simfile; throws std::runtime_error for what a simulator could not read.
inline Simfile ReadSimfile(std::string_view text) {
    using namespace simfile_detail;
    Simfile simfile;
    for (const auto& tag : ReadTags(text)) {
        if (tag.name != "NOTES") {
            std::string value;
            for (std::size_t f = 0; f < tag.fields.size(); ++f) value += (f > 0 ? ":" : "") + tag.fields[f];
            simfile.tags[tag.name] = value;
            continue;
        }
        if (tag.fields.size() != 6) throw std::runtime_error("#NOTES: without six fields");
        SimfileNotes notes;
        notes.steps_type = Trim(tag.fields[0]);
        notes.description = Trim(tag.fields[1]);
        notes.difficulty = Trim(tag.fields[2]);
        notes.meter = Trim(tag.fields[3]);
        notes.groove_values = Trim(tag.fields[4]);
        const std::size_t columns = notes.steps_type == "dance-single" ? 4 : 8;
        std::vector<std::string> measures(1);
        for (const char c : tag.fields[5]) {
            if (c == ',') {
                measures.emplace_back();
            } else {
                measures.back().push_back(c);
            }
        }
        for (std::size_t m = 0; m < measures.size(); ++m) {
            std::vector<std::string> rows;
            std::size_t from = 0;
            const std::string& measure = measures[m];
            while (from <= measure.size()) {
                auto end = measure.find('\n', from);
                if (end == std::string::npos) end = measure.size();
                const std::string row = Trim(std::string_view(measure).substr(from, end - from));
                if (!row.empty()) rows.push_back(row);
                from = end + 1;
            }
            const auto count = static_cast<long long>(rows.size());
            if (count == 0 || 192 % count != 0) throw std::runtime_error("a measure of " + std::to_string(count) + " rows");
            notes.rows_per_measure.push_back(static_cast<int>(count));
            for (long long r = 0; r < count; ++r) {
                if (rows[static_cast<std::size_t>(r)].size() != columns) throw std::runtime_error("a row of the wrong width");
                const long long halves = m * 192 + r * 192 / count;
                if (halves % 2 != 0) throw std::runtime_error("a row between ticks");
                for (std::size_t c = 0; c < columns; ++c) {
                    const char step = rows[static_cast<std::size_t>(r)][c];
                    if (step == '0') continue;
                    if (step != '1') throw std::runtime_error(std::string("a step of kind ") + step);
                    notes.steps.push_back({halves / 2, static_cast<int>(c), 0});
                }
            }
        }
        simfile.charts.push_back(std::move(notes));
    }
    const auto bpms = simfile.tags["BPMS"];
    const auto equals = bpms.find('=');
    if (equals == std::string::npos || Number(bpms.substr(0, equals)) != 0) throw std::runtime_error("#BPMS: " + bpms);
    simfile.bpm = Number(bpms.substr(equals + 1));
    simfile.offset = Number(simfile.tags["OFFSET"]);
    for (auto& chart : simfile.charts) {
        for (auto& step : chart.steps) {
            step.seconds = static_cast<double>(step.tick) / 24.0 * 60.0 / simfile.bpm - simfile.offset;
        }
    }
    return simfile;
}

}  // namespace torvane::test
