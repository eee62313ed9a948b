// torvane-cli over chart libraries, run as a user runs it: folders in, a
// mirrored tree out, collisions, no-clobber, refusals, UTF-8, the report.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "program_runner.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::J;
using test::ProgramOutcome;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

ProgramOutcome Cli(const fs::path& folder, const std::vector<std::string>& args, const std::string& out_to = {}) {
    return test::RunProgramIn(folder, TORVANE_CLI, args, out_to);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t from = 0, at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        lines.push_back(text.substr(from, at - from));
    }
    return lines;
}

// Every file below `folder`, relative to it, sorted.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

const std::string kSong = CrLf({"#TITLE:" + J("恋のうた") + ";", "#BPM:150;", "#SINGLE:BASIC:3:",
                                "00000000(4000)2(4268)(123)8;"});
const std::string kFiveInABeat = CrLf({"#TITLE:Five;", "#SINGLE:BASIC:1:", "00000000(12345)4;"});

TEST(TorvaneCliLibrary, KeepsTheTreeOfAFolderBelowTheOutDirAndSumsUp) {
    TempDir dir;
    fs::create_directories(dir / "lib" / "pack1" / "song");
    fs::create_directories(dir / "lib" / "pack2");
    fs::create_directories(dir / "lib" / ".git");
    fs::create_directory(dir / "out");
    WriteFile(dir / "lib" / "pack1" / "song" / "one.msd", kSong);
    WriteFile(dir / "lib" / "pack2" / "two.MSD", kFiveInABeat);
    WriteFile(dir / "lib" / "pack2" / "notes.txt", "not a chart");
    WriteFile(dir / "lib" / ".git" / "x.msd", kSong);
    WriteFile(dir / "loose.msd", kSong);
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "-o", "out", "lib", "loose.msd"});
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_EQ(outcome.out,
              "lib/pack1/song/one.msd -> out/pack1/song/one.d2r\nlib/pack2/two.MSD -> out/pack2/two.d2r\n"
              "loose.msd -> out/loose.d2r\n");
    EXPECT_EQ(Lines(outcome.err), (std::vector<std::string>{"lib/pack2/two.MSD:3: 変換不能な脚符長さです(12345)",
                                                            "torvane-cli: 3 converted (1 with error lines), 0 failed, 0 skipped"}));
    EXPECT_EQ(Tree(dir / "out"), (std::vector<std::string>{"loose.d2r", "pack1/song/one.d2r", "pack2/two.d2r"}));
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos);  // no progress line off a terminal
}

TEST(TorvaneCliLibrary, AFolderWithoutSourcesIsAFailedArgument) {
    TempDir dir;
    fs::create_directories(dir / "lib");
    WriteFile(dir / "lib" / "song.d2r", "TITLE=x\r\n");
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2ddr", "lib"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.err, "torvane-cli: lib: no .msd file in it\n");
}

TEST(TorvaneCliLibrary, TheLaterOfTwoSourcesOfOneDestinationIsNotConvertedAndNothingIsWrittenForIt) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::create_directory(dir / "out");
    WriteFile(dir / "a" / "song.msd", kSong);
    WriteFile(dir / "b" / "song.msd", kFiveInABeat);
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "-o", "out", "a/song.msd", "b/song.msd"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.out, "a/song.msd -> out/song.d2r\n");
    EXPECT_NE(outcome.err.find("torvane-cli: b/song.msd: not converted: it would write the destination of a/song.msd"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find("12345"), std::string::npos);  // never read
    EXPECT_EQ(ReadFile(dir / "out" / "song.d2r").find("Five"), std::string::npos);

    // Side by side, told apart only by the case of the extension.
    WriteFile(dir / "a" / "song.MSD", kFiveInABeat);
    const ProgramOutcome side = Cli(dir.path(), {"msd2ddr", "a"});
    EXPECT_EQ(side.status, 3);
    EXPECT_EQ(side.out, "a/song.MSD -> a/song_sb.ddr\n");
    EXPECT_NE(side.err.find("a/song.msd: not converted: it would write the destination of a/song.MSD"), std::string::npos);
}

TEST(TorvaneCliLibrary, NoClobberReportsTheFileAsSkipped) {
    TempDir dir;
    WriteFile(dir / "one.msd", kSong);
    WriteFile(dir / "two.msd", kSong);
    WriteFile(dir / "one.d2r", "mine\r\n");
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "-n", "one.msd", "two.msd"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "one.msd: skipped, one.d2r exists\ntwo.msd -> two.d2r\n");
    EXPECT_EQ(outcome.err, "torvane-cli: 1 converted (0 with error lines), 0 failed, 1 skipped\n");
    EXPECT_EQ(ReadFile(dir / "one.d2r"), "mine\r\n");
}

TEST(TorvaneCliLibrary, RefusesEmptyBinaryAndWrongFormatSourcesAndKeepsTheOldDestination) {
    struct Case {
        const char* conversion;
        const char* source;
        std::string bytes;
        const char* destination;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"msd2d2r", "song.msd", "", "song.d2r", "empty file"},
        {"msd2d2r", "song.msd", std::string("#TITLE:x;\r\n\0\x01\x02", 14), "song.d2r", "binary data, not a chart file"},
        {"msd2d2r", "song.msd", CrLf({"TITLE=x", "8.:L   :    :"}), "song.d2r", "not an MSD file (no MSD tag in it)"},
        {"ddr2msd", "song.ddr", kSong, "song.MSD", "not a ddr file (no ddr directive or step line in it)"},
        {"d2r2msd", "song.d2r", kSong, "song.MSD", "not a d2r file (no d2r key or step line in it)"},
        // UTF-16 with its mark is read as text, and "#T" is no MSD tag.
        {"msd2ddr", "song.msd", std::string("\xFF\xFE#\0T\0", 6), "song_sb.ddr", "not an MSD file (no MSD tag in it)"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / c.source, c.bytes);
        WriteFile(dir / c.destination, "old\r\n");
        const ProgramOutcome outcome = Cli(dir.path(), {c.conversion, c.source});
        EXPECT_EQ(outcome.status, 3) << c.reason;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "torvane-cli: " + std::string(c.source) + ": " + c.reason + "\n");
        EXPECT_EQ(ReadFile(dir / c.destination), "old\r\n");
        EXPECT_EQ(dir.Entries().size(), 2u) << c.reason;
    }
}

TEST(TorvaneCliLibrary, ReadsUtf8AsItsShiftJisTwinAndSaysSoEvenWhenQuiet) {
    TempDir dir;
    WriteFile(dir / "sjis.msd", kSong);
    WriteFile(dir / "utf8.msd", Cp932ToUtf8(kSong));
    WriteFile(dir / "mark.msd", "\xEF\xBB\xBF" + Cp932ToUtf8(kSong));
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "-q", "sjis.msd", "utf8.msd", "mark.msd"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "torvane-cli: utf8.msd: read as UTF-8\ntorvane-cli: mark.msd: read as UTF-8\n");
    EXPECT_EQ(ReadFile(dir / "utf8.d2r"), ReadFile(dir / "sjis.d2r"));
    EXPECT_EQ(ReadFile(dir / "mark.d2r"), ReadFile(dir / "sjis.d2r"));
    // Asked for, Shift-JIS is taken as it stands: the mark costs the title.
    ASSERT_EQ(Cli(dir.path(), {"msd2d2r", "--encoding", "cp932", "mark.msd"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "mark.d2r").find("TITLE="), std::string::npos);
}

TEST(TorvaneCliLibrary, WritesAReportThatScriptsCanReadBack) {
    TempDir dir;
    fs::create_directories(dir / "lib");
    WriteFile(dir / "lib" / "a.msd", kSong);
    WriteFile(dir / "lib" / "b.msd", kFiveInABeat);
    WriteFile(dir / "lib" / "c.msd", "");
    WriteFile(dir / "lib" / "d.msd", Cp932ToUtf8(kSong));
    WriteFile(dir / "lib" / "a.d2r", "old\r\n");
    const ProgramOutcome outcome =
        Cli(dir.path(), {"msd2d2r", "--no-clobber", "--report", "report.json", "-j", "2", "lib"});
    EXPECT_EQ(outcome.status, 3);
    const auto report = nlohmann::json::parse(ReadFile(dir / "report.json"));
    EXPECT_EQ(report["report_version"], 1);
    EXPECT_EQ(report["conversion"], "msd2d2r");
    EXPECT_EQ(report["options"]["no_clobber"], true);
    EXPECT_EQ(report["options"]["jobs"], 2);
    EXPECT_EQ(report["exit_status"], 3);
    const auto& files = report["files"];
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0]["source"], "lib/a.msd");
    EXPECT_EQ(files[0]["status"], "skipped");
    EXPECT_EQ(files[0]["reason"]["code"], "destination-exists");
    EXPECT_EQ(files[0]["left_alone"], nlohmann::json::array({"lib/a.d2r"}));
    EXPECT_EQ(files[1]["status"], "converted");
    EXPECT_EQ(files[1]["destinations"], nlohmann::json::array({"lib/b.d2r"}));
    ASSERT_EQ(files[1]["error_lines"].size(), 1u);
    EXPECT_EQ(files[1]["error_lines"][0]["code"], "beat-group-length");
    EXPECT_EQ(files[1]["error_lines"][0]["message"], "：変換不能な脚符長さです");
    EXPECT_EQ(files[1]["error_lines"][0]["text"], "(12345)");
    EXPECT_EQ(files[1]["error_lines"][0]["line"], "b.msd：変換不能な脚符長さです(12345)");
    EXPECT_EQ(files[1]["error_lines"][0]["source_line"], 3);
    EXPECT_EQ(files[1]["error_lines"][0]["chart"], "#SINGLE:BASIC:1:");
    EXPECT_EQ(files[1]["error_lines"][0]["at"], "measure 2 beat 1");
    EXPECT_EQ(files[2]["status"], "failed");
    EXPECT_EQ(files[2]["reason"]["code"], "empty-file");
    EXPECT_EQ(files[2]["reason"]["message"], "empty file");
    EXPECT_TRUE(files[2]["destinations"].empty());
    EXPECT_EQ(files[3]["encoding"], "utf-8");
    EXPECT_EQ(report["summary"],
              nlohmann::json({{"files", 4}, {"converted", 2}, {"with_error_lines", 1}, {"failed", 1}, {"skipped", 1},
                              {"error_lines", 1}, {"notes", 1}}));

    // To standard output, in place of the file lines.
    const ProgramOutcome to_out = Cli(dir.path(), {"msd2d2r", "--report", "-", "lib/b.msd"});
    EXPECT_EQ(to_out.status, 1);
    EXPECT_EQ(nlohmann::json::parse(to_out.out)["files"][0]["source"], "lib/b.msd");
}

TEST(TorvaneCliLibrary, PrintsAndWritesTheSameForAnyNumberOfJobs) {
    TempDir dir;
    for (int i = 0; i < 24; ++i) {
        const fs::path file = dir / "lib" / ("p" + std::to_string(i % 3)) / ("s" + std::to_string(i) + ".msd");
        fs::create_directories(file.parent_path());
        WriteFile(file, i % 5 == 0 ? kFiveInABeat : i % 7 == 3 ? std::string("junk\r\n") : kSong);
    }
    std::string expected_out, expected_err, expected_report;
    std::vector<std::string> expected_tree;
    for (const char* jobs : {"1", "4"}) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        const ProgramOutcome outcome =
            Cli(dir.path(), {"msd2ddr", "-j", jobs, "-o", "out", "--report", "out/report.json", "lib"});
        EXPECT_EQ(outcome.status, 3);
        std::string report = ReadFile(dir / "out" / "report.json");
        report.replace(report.find("\"jobs\": "), 10, "\"jobs\": N,");
        if (std::string(jobs) == "1") {
            expected_out = outcome.out;
            expected_err = outcome.err;
            expected_report = report;
            expected_tree = Tree(dir / "out");
            continue;
        }
        EXPECT_EQ(outcome.out, expected_out);
        EXPECT_EQ(outcome.err, expected_err);
        EXPECT_EQ(report, expected_report);
        EXPECT_EQ(Tree(dir / "out"), expected_tree);
    }
}

TEST(TorvaneCliLibrary, AFailedWriteToStandardOutputIsAFailure) {
    TempDir dir;
    WriteFile(dir / "one.msd", kSong);
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "one.msd"}, "/dev/full");
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.err, "torvane-cli: standard output: cannot write it: No space left on device\n");
    const ProgramOutcome report = Cli(dir.path(), {"msd2d2r", "--report", "-", "one.msd"}, "/dev/full");
    EXPECT_EQ(report.status, 3);
}

}  // namespace
}  // namespace torvane
