// torvane-cli preview and check, run in-process on charts in temporary folders.

#include "memory_source.hpp"
#include "cli/chart_commands.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "preview/chart_svg.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RunTool(std::vector<std::string> args) {
    args.insert(args.begin(), "torvane-cli");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    Outcome outcome;
    outcome.status = RunCli(static_cast<int>(args.size()), argv.data(), out, err);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

fs::path Example(const char* name) { return fs::path(TORVANE_TEST_DATA) / ".." / "examples" / name; }

// Two charts of one kind, one of a difficulty the formats do not know.
const std::string kCharts = CrLf({"#TITLE:Song;", "#BPM:150;", "#GAP:0;", "#SINGLE:BASIC:3:4862;",
                                  "#DOUBLE:ANOTHER:5:4862:6248;", "#SINGLE:BASIC:4:(4862);", "#SINGLE:EASY:1:4;",
                                  "#SINGLE:BASIC:5:48;"});

TEST(PreviewNames, NamesEachChartLikeTheDdrFiles) {
    ErrorList errors;
    const auto source = MakeMemorySource(kCharts);
    const auto charts = ReadMSDCharts(*source, "song.msd", errors);
    const auto names = PreviewNames("lib/song.msd", ChartFormat::kMSD, charts);
    std::vector<std::string> texts;
    for (const auto& name : names) texts.push_back(name.string());
    EXPECT_EQ(texts, (std::vector<std::string>{"lib/song_sb.svg", "lib/song_da.svg", "lib/song_sb-2.svg",
                                               "lib/song_sx.svg", "lib/song_sb-3.svg"}));
    EXPECT_EQ(PreviewNames("lib/song.msd", ChartFormat::kMSD, charts, "out")[1], fs::path("out/song_da.svg"));
    // A ddr file keeps its stem, and its charts are all of one kind.
    const std::vector<Chart> two(2, charts[0]);
    EXPECT_EQ(PreviewNames("a/song_sb.ddr", ChartFormat::kddr, two),
              (std::vector<fs::path>{"a/song_sb.svg", "a/song_sb-2.svg"}));
}

TEST(TorvaneCliPreview, WritesOnePictureOfEachChartBesideItsSource) {
    TempDir temp;
    WriteFile(temp / "song.msd", kCharts);
    const Outcome run = RunTool({"preview", (temp / "song.msd").string()});
    EXPECT_EQ(run.status, kExitConverted) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* name : {"song_sb.svg", "song_da.svg", "song_sb-2.svg", "song_sx.svg", "song_sb-3.svg"}) {
        EXPECT_NE(run.out.find((temp / "song.msd").string() + " -> " + (temp / name).string() + "\n"),
                  std::string::npos)
            << name;
    }
    // The file holds exactly the picture, no temporary file is left.
    ErrorList errors;
    const auto source = MakeMemorySource(kCharts);
    const auto charts = ReadMSDCharts(*source, "song.msd", errors);
    EXPECT_EQ(ReadFile(temp / "song_da.svg"), RenderChartSvg(charts[1]));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path())) ++files;
    EXPECT_EQ(files, 6u);
}

TEST(TorvaneCliPreview, DrawsD2rAndDdrFilesIntoTheOutDir) {
    TempDir temp;
    const Outcome run = RunTool({"preview", "-q", "-o", temp.path().string(), Example("sample.d2r").string(),
                             Example("sample_sb.ddr").string()});
    // The d2r example's single basic picture is the ddr file's name too: the
    // later source is refused, naming the earlier one.
    EXPECT_EQ(run.status, kExitFailedFile);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("sample_sb.ddr: not drawn: its pictures could have the names of those of " +
                           Example("sample.d2r").string() + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::exists(temp / "sample_sb.svg"));
    EXPECT_TRUE(fs::exists(temp / "sample_da.svg"));
    EXPECT_TRUE(fs::exists(temp / "sample_cm.svg"));
}

TEST(TorvaneCliPreview, GivesTheStatusOfTheWorstFile) {
    TempDir temp;
    WriteFile(temp / "five.msd", CrLf({"#SINGLE:BASIC:1:(12345)4;"}));
    WriteFile(temp / "notes.txt", "#SINGLE:BASIC:1:4;");
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {{"preview", Example("sample_sb.ddr").string(), "-o", temp.path().string()}, kExitConverted},
        {{"preview", (temp / "five.msd").string()}, kExitErrorLines},
        {{"preview", (temp / "missing.msd").string()}, kExitFailedFile},
        {{"preview", (temp / "notes.txt").string()}, kExitFailedFile},
        {{"preview"}, kExitUsage},
        {{"preview", "-o", (temp / "no-such-folder").string(), (temp / "five.msd").string()}, kExitUsage},
        {{"preview", "--bogus", (temp / "five.msd").string()}, kExitUsage},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunTool(c.args).status, c.status) << c.args.back();
    }
    EXPECT_NE(RunTool({"preview", "--help"}).out.find("Usage: torvane-cli preview"), std::string::npos);
}

TEST(TorvaneCliPreview, ReportsTheBatchAsJson) {
    TempDir temp;
    WriteFile(temp / "song.msd", kCharts);
    const Outcome run = RunTool({"preview", "--report", "-", (temp / "song.msd").string(), (temp / "gone.msd").string()});
    EXPECT_EQ(run.status, kExitFailedFile);
    const auto report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["report_version"], 1);
    EXPECT_EQ(report["conversion"], "preview");
    ASSERT_EQ(report["files"].size(), 2u);
    EXPECT_EQ(report["files"][0]["status"], "drawn");
    EXPECT_EQ(report["files"][0]["destinations"].size(), 5u);
    EXPECT_EQ(report["files"][1]["status"], "failed");
    EXPECT_EQ(report["files"][1]["reason"]["code"], "open-for-reading");
    EXPECT_EQ(report["summary"]["pictures"], 5);
    EXPECT_EQ(report["summary"]["failed"], 1);
    EXPECT_EQ(report["exit_status"], kExitFailedFile);
}

TEST(TorvaneCliCheck, ExitsByWhetherAnythingChanges) {
    TempDir temp;
    WriteFile(temp / "triplet.msd", CrLf({"#BPM:150;", "#GAP:0;", "#SINGLE:BASIC:3:00000000(4268)4(2486)(123)48;"}));
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {{"check", Example("sample.d2r").string(), Example("sample_sb.ddr").string()}, kExitNoChange},
        {{"check", (temp / "triplet.msd").string()}, kExitChanges},
        {{"check", Example("sample.d2r").string(), (temp / "missing.ddr").string()}, kExitFailedFile},
        {{"check"}, kExitUsage},
        {{"check", "--beat", "5", Example("sample.msd").string()}, kExitUsage},
        {{"check", "--lead-in", "later", Example("sample.msd").string()}, kExitUsage},
    };
    for (const auto& c : cases) EXPECT_EQ(RunTool(c.args).status, c.status) << c.args.back();

    const Outcome run = RunTool({"check", (temp / "triplet.msd").string()});
    // The triplet after a 16th note goes on the 32nd-note grid.
    EXPECT_NE(run.out.find("  through d2r:\n    chart 1, Single Basic level 3:\n      2 steps moved\n"
                           "        moved: measure 2 beat 3 5/6 -> measure 2 beat 3.875, down\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(RunTool({"check", Example("sample.d2r").string()}).out,
              Example("sample.d2r").string() + ": 3 charts\n  through MSD: no change\n");
}

TEST(TorvaneCliCheck, UsesTheConversionOptionsForTheWayThroughDdr) {
    // Reading a ddr file back puts 18 8th notes before its first measure with
    // a step. With the default deletion that measure starts with the first
    // step; placed at beat 2.5 it starts 3 8th notes earlier.
    const Outcome placed = RunTool({"check", "--report", "-", "--lead-in", "first-step", "--measure", "1", "--beat",
                                    "2.5", Example("sample.msd").string()});
    const Outcome deleted = RunTool({"check", "--report", "-", Example("sample.msd").string()});
    const auto gap_of = [](const Outcome& run) {
        const auto report = nlohmann::json::parse(run.out);
        const auto& values = report["files"][0]["round_trips"][1]["charts"][0]["values"];
        for (const auto& value : values) {
            if (value["what"] == "gap") return value["detail"].get<std::string>();
        }
        return std::string();
    };
    EXPECT_EQ(gap_of(placed), "the steps come 5.5625 beats later against the music");
    EXPECT_EQ(gap_of(deleted), "the steps come 4.0625 beats later against the music");
    const auto options = nlohmann::json::parse(placed.out)["options"];
    EXPECT_EQ(options["lead_in"], "first-step");
    EXPECT_EQ(options["beat"], 2.5);
}

TEST(TorvaneCliCheck, ReadsTheConversionOptionsAsMsd2ddrDoes) {
    TempDir temp;
    const std::string source = Example("sample.msd").string();
    const auto first_line = [](const std::string& text) { return text.substr(0, text.find('\n')); };
    const std::vector<std::vector<std::string>> refused = {
        {"--lead-in", "later"},  {"--delete", "151"}, {"--delete", "-1"}, {"--measure", "0"},
        {"--measure", "11"},     {"--beat", "0.5"},   {"--beat", "5"},    {"--beat", "2.25"},
    };
    for (const auto& options : refused) {
        std::vector<std::string> check = {"check"}, convert = {"msd2ddr", "-o", temp.path().string()};
        for (auto* args : {&check, &convert}) {
            args->insert(args->end(), options.begin(), options.end());
            args->push_back(source);
        }
        const Outcome checked = RunTool(check);
        const Outcome converted = RunTool(convert);
        EXPECT_EQ(checked.status, kExitUsage) << options[0] << ' ' << options[1];
        EXPECT_EQ(converted.status, kExitUsage) << options[0] << ' ' << options[1];
        EXPECT_EQ(first_line(checked.err), first_line(converted.err));
    }
    const std::vector<std::vector<std::string>> taken = {
        {},
        {"--lead-in", "first-step", "--measure", "10", "--beat", "4.5"},
        {"--lead-in", "as-is", "--delete", "0", "--measure", "1", "--beat", "1"},
        {"--delete", "150"},
    };
    for (const auto& options : taken) {
        std::vector<std::string> check = {"check", "--report", "-"};
        std::vector<std::string> convert = {"msd2ddr", "--report", "-", "-o", temp.path().string()};
        for (auto* args : {&check, &convert}) {
            args->insert(args->end(), options.begin(), options.end());
            args->push_back(source);
        }
        auto checked = nlohmann::json::parse(RunTool(check).out)["options"];
        auto converted = nlohmann::json::parse(RunTool(convert).out)["options"];
        for (const char* key : {"lead_in", "delete", "measure", "beat"}) {
            EXPECT_EQ(checked[key], converted[key]) << key << " of " << converted.dump();
        }
    }
    // The defaults of the option dialog.
    const auto defaults = nlohmann::json::parse(RunTool({"check", "--report", "-", source}).out)["options"];
    EXPECT_EQ(defaults, nlohmann::json::parse(R"({"encoding": "auto", "lead_in": "delete", "delete": 18,
                                                  "measure": 3, "beat": 1.0})"));
}

TEST(TorvaneCliCheck, ReportsEveryStepAsJson) {
    TempDir temp;
    std::string steps;
    for (int measure = 1; measure <= 1010; ++measure) steps += "40000000";
    WriteFile(temp / "long.msd", CrLf({"#BPM:120;", "#GAP:0;", "#SINGLE:BASIC:1:" + steps + ";"}));
    const fs::path report_file = temp / "report.json";
    const Outcome run = RunTool({"check", "--report", report_file.string(), (temp / "long.msd").string()});
    EXPECT_EQ(run.status, kExitChanges);
    EXPECT_NE(run.out.find("11 steps lost"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("and 3 more"), std::string::npos);  // the people's report lists a few
    const auto report = nlohmann::json::parse(ReadFile(report_file));
    EXPECT_EQ(report["summary"]["changed"], 1);
    EXPECT_EQ(report["files"][0]["status"], "checked");
    EXPECT_EQ(report["files"][0]["changed"], true);
    const auto& ddr = report["files"][0]["round_trips"][1];
    EXPECT_EQ(ddr["way"], "through ddr");
    const auto& lost = ddr["charts"][0]["steps"];
    ASSERT_EQ(lost.size(), 11u);  // the report for scripts lists them all
    EXPECT_EQ(lost[0]["change"], "lost");
    EXPECT_EQ(lost[0]["before"]["position"], "measure 1000 beat 1");
    EXPECT_EQ(lost[0]["before"]["panels"], nlohmann::json::array({"left"}));
    EXPECT_EQ(lost[10]["before"]["position"], "measure 1010 beat 1");
    EXPECT_FALSE(ddr["charts"][0].contains("after") && !ddr["charts"][0]["after"].is_null());
    // Nothing cut: no count beside the lists.
    EXPECT_FALSE(ddr["charts"][0].contains("steps_total"));
    EXPECT_FALSE(ddr["charts"][0].contains("step_counts"));
    EXPECT_FALSE(ddr.contains("error_lines_total"));
}

TEST(TorvaneCliCheck, ListsTheFirstThousandChangesAndErrorLinesAndCountsTheRest) {
    // From measure 1000 on, ddr keeps no step: two a measure lost, and the
    // way back reports a line for every measure of its file past 999.
    TempDir temp;
    std::string steps;
    for (int measure = 1; measure <= 3200; ++measure) steps += measure < 1000 ? "40000000" : "40002000";
    WriteFile(temp / "long.msd", CrLf({"#BPM:120;", "#GAP:0;", "#SINGLE:BASIC:1:" + steps + ";"}));
    const Outcome run = RunTool({"check", "--report", "-", (temp / "long.msd").string()});
    EXPECT_EQ(run.status, kExitChanges);
    const auto report = nlohmann::json::parse(run.out);
    const auto& ddr = report["files"][0]["round_trips"][1];
    const auto& chart = ddr["charts"][0];
    const std::size_t lost = 2 * (3200 - 999);
    ASSERT_EQ(chart["steps"].size(), 1000u);
    EXPECT_EQ(chart["steps"][0]["before"]["position"], "measure 1000 beat 1");
    EXPECT_EQ(chart["steps"][999]["before"]["position"], "measure 1499 beat 3");
    EXPECT_EQ(chart["steps_total"], lost);
    EXPECT_EQ(chart["step_counts"], nlohmann::json::parse(R"({"lost": )" + std::to_string(lost) +
                                                          R"(, "added": 0, "moved": 0, "panels": 0})"));
    ASSERT_EQ(ddr["error_lines"].size(), 1000u);
    EXPECT_GT(ddr["error_lines_total"].get<std::size_t>(), 1000u);

    // The report for people counts every change all the same.
    const Outcome told = RunTool({"check", (temp / "long.msd").string()});
    EXPECT_NE(told.out.find(std::to_string(lost) + " steps lost\n"), std::string::npos) << told.out;
    EXPECT_NE(told.out.find("and " + std::to_string(lost - 8) + " more\n"), std::string::npos) << told.out;
}

}  // namespace
}  // namespace torvane
