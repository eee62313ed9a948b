// Whole conversions against the cases under tests/golden/d2r: one folder per
// case, with input.msd and expected.d2r, or input.d2r and expected.MSD, and
// optionally errors.txt (UTF-8, one error line per line). Without errors.txt a
// case must convert without error lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "d2r/d2r.hpp"
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
