// Whole conversions against the golden cases in tests/golden/ddr: one folder
// per case with its input, its expected files and, when the conversion
// reports problems, errors.txt (UTF-8, one error line per line).
//
// A folder with input.msd is converted MSD to ddr with the options of its
// options.txt ("mode=0", "delete_count=18", "measure=3", "half_beat=2"; the
// dialog's defaults for what it leaves out); every other file of the folder is
// a ddr file that the conversion must write. A folder with input.ddr is
// converted ddr to MSD and must give expected.MSD. A folder with notes.txt
// (code, chart and value, tab-separated, one note a line) must give exactly
// those notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ddr/ddr.hpp"
#include "test_support.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;

const fs::path kGoldenFolder = fs::path(TORVANE_TEST_DATA) / "golden" / "ddr";

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kGoldenFolder, ec)) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> TextLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

DdrOptions ReadOptions(const fs::path& file) {
    DdrOptions options;
    for (const auto& line : TextLines(file)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const int value = std::stoi(line.substr(equals + 1));
        if (key == "mode") options.mode = static_cast<DdrOptions::Mode>(value);
        else if (key == "delete_count") options.delete_count = value;
        else if (key == "measure") options.measure = value;
        else if (key == "half_beat") options.half_beat = value;
        else ADD_FAILURE() << "unknown option " << key << " in " << file;
    }
    return options;
}

bool IsCaseInput(const std::string& name) {
    return name == "input.msd" || name == "input.ddr" || name == "options.txt" || name == "errors.txt" ||
           name == "notes.txt";
}

// Every file of `folder` but the inputs, by name.
std::map<std::string, std::string> FilesBesideInputs(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!IsCaseInput(name)) files[name] = ReadFile(entry.path());
    }
    return files;
}

class DdrGolden : public testing::TestWithParam<std::string> {};

TEST_P(DdrGolden, WritesEveryExpectedFileByteForByte) {
    const fs::path folder = kGoldenFolder / GetParam();
    TempDir dir;
    ErrorList errors;
    std::map<std::string, std::string> expected;
    if (fs::exists(folder / "input.msd")) {
        fs::copy_file(folder / "input.msd", dir / "input.msd");
        const DdrOptions options =
            fs::exists(folder / "options.txt") ? ReadOptions(folder / "options.txt") : DdrOptions();
        const auto written = ConvertMSD2ddr(dir / "input.msd", dir / "input.ddr", kCaption, options, errors);
        expected = FilesBesideInputs(folder);
        std::vector<std::string> written_names;
        for (const auto& file : written) written_names.push_back(file.filename().string());
        std::sort(written_names.begin(), written_names.end());
        std::vector<std::string> expected_names;
        for (const auto& [name, bytes] : expected) expected_names.push_back(name);
        EXPECT_EQ(written_names, expected_names) << "the files that the conversion says it wrote";
    } else {
        ASSERT_TRUE(fs::exists(folder / "input.ddr")) << folder << " has no input";
        fs::copy_file(folder / "input.ddr", dir / "input.ddr");
        Convertddr2MSD(dir / "input.ddr", dir / "input.MSD", kCaption, errors);
        expected["input.MSD"] = ReadFile(folder / "expected.MSD");
    }

    std::vector<std::string> produced;
    for (const auto& name : dir.Entries()) {
        if (!IsCaseInput(name)) produced.push_back(name);
    }
    std::vector<std::string> expected_names;
    for (const auto& [name, bytes] : expected) expected_names.push_back(name);
    EXPECT_EQ(produced, expected_names) << "files in the destination folder";
    for (const auto& [name, bytes] : expected) {
        const std::string actual = ReadFile(dir / name);
        EXPECT_EQ(SplitCrLf(actual), SplitCrLf(bytes)) << name;
        EXPECT_EQ(actual, bytes) << name << " differs in its bytes";
    }

    std::vector<std::string> expected_errors;
    if (fs::exists(folder / "errors.txt")) {
        for (const auto& line : TextLines(folder / "errors.txt")) expected_errors.push_back(Utf8ToCp932(line));
    }
    EXPECT_EQ(errors.Lines(), expected_errors);
    if (fs::exists(folder / "notes.txt")) {
        std::vector<std::string> expected_notes;
        for (const auto& line : TextLines(folder / "notes.txt")) expected_notes.push_back(Utf8ToCp932(line));
        std::vector<std::string> notes;
        for (const Note& note : errors.Notes()) notes.push_back(note.code + "\t" + note.chart + "\t" + note.value);
        EXPECT_EQ(notes, expected_notes);
    }
}

std::string CaseTestName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, DdrGolden, testing::ValuesIn(CaseNames()), CaseTestName);

TEST(DdrGolden, FindsTheCases) { EXPECT_GE(CaseNames().size(), 3u); }

}  // namespace
}  // namespace torvane
