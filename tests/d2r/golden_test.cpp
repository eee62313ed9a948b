// Whole conversions against the cases under tests/golden/d2r: one folder per
// case, with input.msd and expected.d2r, or input.d2r and expected.MSD, and
// optionally errors.txt (UTF-8, one error line per line). Without errors.txt a
// case must convert without error lines. A case with notes.txt (code, chart
// and value, tab-separated, one note a line) must give exactly those notes;
// one with check.txt must give that block of torvane-cli check's report
// through d2r. Every d2r file of a case must read back without a triplet that
// begins inside a beat.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "d2r/d2r.hpp"
#include "preview/chart_check.hpp"
#include "preview/check_report.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SplitCrLf;

const fs::path& GoldenFolder() {
    static const fs::path folder = fs::path(TORVANE_TEST_DATA) / "golden" / "d2r";
    return folder;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(GoldenFolder())) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Lines as a reader sees them: code page 932 shown as UTF-8.
std::vector<std::string> Readable(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const auto& line : lines) out.push_back(Cp932ToUtf8(line));
    return out;
}

std::vector<std::string> ExpectedErrors(const fs::path& file) {
    std::vector<std::string> lines;
    std::string text = ReadFile(file);
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Utf8ToCp932(line));
        from = end + 1;
    }
    return lines;
}

std::vector<std::string> TextLines(const fs::path& file) {
    std::vector<std::string> lines;
    const std::string text = ReadFile(file);
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

std::vector<Note> ExpectedNotes(const fs::path& file) {
    std::vector<Note> notes;
    for (const std::string& line : TextLines(file)) {
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        EXPECT_NE(tab2, std::string::npos) << file << ": " << line;
        if (tab2 == std::string::npos) continue;
        notes.push_back({line.substr(0, tab1), Utf8ToCp932(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                         Utf8ToCp932(line.substr(tab2 + 1))});
    }
    return notes;
}

std::vector<std::string> NoteTexts(const std::vector<Note>& notes) {
    std::vector<std::string> out;
    for (const Note& note : notes) out.push_back(note.code + " [" + Cp932ToUtf8(note.chart) + "] " + Cp932ToUtf8(note.value));
    return out;
}

// The lines of the report's way through d2r, from its heading to the next way.
std::string CheckThroughD2r(const fs::path& msd) {
    const std::string report = FormatCheckReport(CheckRoundTrips(msd, ChartFormat::kMSD, DdrOptions{}));
    const std::size_t from = report.find("  through d2r:");
    if (from == std::string::npos) return {};
    const std::size_t end = report.find("  through ", from + 1);
    return report.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

class D2rGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(D2rGolden, ConvertsByteForByte) {
    const fs::path folder = GoldenFolder() / GetParam();
    test::TempDir temp;
    ErrorList errors;
    std::string expected;
    fs::path output;
    if (fs::exists(folder / "input.msd")) {
        output = temp / "output.d2r";
        ConvertMSD2d2r(folder / "input.msd", output, kCaption, errors);
        expected = ReadFile(folder / "expected.d2r");
    } else {
        ASSERT_TRUE(fs::exists(folder / "input.d2r")) << "no input in " << folder;
        output = temp / "output.MSD";
        Convertd2r2MSD(folder / "input.d2r", output, kCaption, errors);
        expected = ReadFile(folder / "expected.MSD");
    }
    const std::string actual = ReadFile(output);
    EXPECT_EQ(Readable(SplitCrLf(actual)), Readable(SplitCrLf(expected)));
    EXPECT_EQ(actual, expected) << "the bytes differ (line ends or encoding)";
    const std::vector<std::string> expected_errors =
        fs::exists(folder / "errors.txt") ? ExpectedErrors(folder / "errors.txt") : std::vector<std::string>{};
    EXPECT_EQ(Readable(errors.Lines()), Readable(expected_errors));
    if (fs::exists(folder / "notes.txt")) {
        EXPECT_EQ(NoteTexts(errors.Notes()), NoteTexts(ExpectedNotes(folder / "notes.txt")));
    }
    if (fs::exists(folder / "check.txt")) {
        EXPECT_EQ(CheckThroughD2r(folder / "input.msd"), ReadFile(folder / "check.txt"));
    }
}

TEST(D2rGoldenCases, WriteD2rThatReadsBackWithEveryTripletOnABeat) {
    test::TempDir temp;
    for (const std::string& name : CaseNames()) {
        const fs::path d2r = GoldenFolder() / name / "expected.d2r";
        if (!fs::exists(d2r)) continue;
        ErrorList errors;
        Convertd2r2MSD(d2r, temp / "back.MSD", kCaption, errors);
        for (const std::string& line : errors.Lines()) {
            EXPECT_EQ(line.find(ErrorMessage(ErrorCode::kTripletOffBeat)), std::string::npos) << name << ": " << Cp932ToUtf8(line);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, D2rGolden, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(D2rGoldenCases, IncludeTheWorkedExamplesOfBothDirections) {
    const auto names = CaseNames();
    for (const char* name : {"msd2d2r-worked-example", "d2r2msd-worked-example",
                             "msd2d2r-merge-skips-rests-after-32nd-beat", "msd2d2r-merge-loses-alignment"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
}

}  // namespace
}  // namespace torvane
