// The built torvane-cli, run as a user runs it, on charts in temporary folders.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::J;
using test::ReadFile;
using test::SplitCrLf;
using test::TempDir;
using test::WriteFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ShellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs the program in `folder` with `args`.
Outcome RunProgram(const fs::path& folder, const std::vector<std::string>& args) {
    const TempDir capture;
    std::string command = "cd " + ShellQuoted(folder.string()) + " && " + ShellQuoted(TORVANE_CLI);
    for (const auto& arg : args) command += " " + ShellQuoted(arg);
    command += " >" + ShellQuoted((capture / "out").string()) + " 2>" + ShellQuoted((capture / "err").string());
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = ReadFile(capture / "out");
    outcome.err = ReadFile(capture / "err");
    return outcome;
}

// Three clean charts: single basic, double another, couple maniac.
const std::string kSong = CrLf({
    "#TITLE:Song;",
    "#BPM:150;",
    "#GAP:0;",
    "#SINGLE:BASIC:3:",
    "00000000(4000)2(4268)(123)8;",
    "#DOUBLE:ANOTHER:5:",
    "000000004000:000000006000;",
    "#COUPLE:MANIAC:7:",
    "00000000(123)000:00000000(9)000;",
});

// One clean single chart, so that its d2r has one section.
const std::string kSingle = CrLf({"#TITLE:One;", "#BPM:120;", "#SINGLE:BASIC:1:", "000000004020;"});

// A beat group of five characters cannot be converted: one error line.
const std::string kFiveInABeat = CrLf({"#TITLE:Five;", "#SINGLE:BASIC:1:", "00000000(12345)4;"});

// A tempo that is not a number: the file cannot be converted to d2r.
const std::string kBadTempo = CrLf({"#TITLE:Bad;", "#BPM:fast;", "#SINGLE:BASIC:1:", "4;"});

const std::string kFiveInABeatError = J("five.msd：変換不能な脚符長さです(12345)");

// The step lines ("#001:...") of a ddr file.
std::vector<std::string> DdrStepLines(const std::string& bytes) {
    std::vector<std::string> steps;
    for (const auto& line : SplitCrLf(bytes)) {
        if (line.size() > 5 && (line[0] == '#' || line[0] == '$') && std::isdigit(static_cast<unsigned char>(line[1])) &&
            std::isdigit(static_cast<unsigned char>(line[2])) && std::isdigit(static_cast<unsigned char>(line[3]))) {
            steps.push_back(line);
        }
    }
    return steps;
}

TEST(TorvaneCli, WritesEachDestinationBesideItsSource) {
    TempDir dir;
    fs::create_directory(dir / "songs");
    WriteFile(dir / "songs" / "one.msd", kSingle);
    WriteFile(dir / "two.msd", kSingle);
    const Outcome outcome = RunProgram(dir.path(), {"msd2d2r", "songs/one.msd", "two.msd"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "songs/one.msd -> songs/one.d2r\ntwo.msd -> two.d2r\n");
    EXPECT_EQ(outcome.err, "torvane-cli: 2 converted (0 with error lines), 0 failed, 0 skipped\n");
    EXPECT_TRUE(fs::exists(dir / "songs" / "one.d2r"));
    EXPECT_TRUE(fs::exists(dir / "two.d2r"));
}

TEST(TorvaneCli, WritesEveryDestinationIntoTheOutDir) {
    TempDir dir;
    fs::create_directory(dir / "out");
    WriteFile(dir / "song.msd", kSong);
    const Outcome outcome = RunProgram(dir.path(), {"msd2ddr", "-o", "out", "song.msd"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "song.msd -> out/song_sb.ddr\nsong.msd -> out/song_da.ddr\nsong.msd -> out/song_cm.ddr\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "song.msd"}));
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(dir / "out")) written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"song_cm.ddr", "song_da.ddr", "song_sb.ddr"}));
}

TEST(TorvaneCli, NamesTheMsdOfBothConversionsBackInUpperCase) {
    TempDir dir;
    WriteFile(dir / "one.msd", kSingle);
    ASSERT_EQ(RunProgram(dir.path(), {"msd2d2r", "one.msd"}).status, 0);
    ASSERT_EQ(RunProgram(dir.path(), {"msd2ddr", "one.msd"}).status, 0);

    const Outcome from_d2r = RunProgram(dir.path(), {"d2r2msd", "one.d2r"});
    EXPECT_EQ(from_d2r.status, 0) << from_d2r.err;
    EXPECT_EQ(from_d2r.out, "one.d2r -> one.MSD\n");
    const Outcome from_ddr = RunProgram(dir.path(), {"ddr2msd", "--quiet", "one_sb.ddr"});
    EXPECT_EQ(from_ddr.status, 0) << from_ddr.err;
    EXPECT_EQ(from_ddr.out, "");
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{"one.MSD", "one.d2r", "one.msd", "one_sb.MSD", "one_sb.ddr"}));
}

TEST(TorvaneCli, ErrorLinesGiveStatusOneOnStandardErrorInUtf8) {
    TempDir dir;
    WriteFile(dir / "five.msd", kFiveInABeat);
    const Outcome outcome = RunProgram(dir.path(), {"msd2d2r", "five.msd"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "five.msd -> five.d2r\n");
    EXPECT_EQ(outcome.err, "five.msd:3: 変換不能な脚符長さです(12345)\n");
}

// Standard error names the source as given and the line where the offending
// text begins, as editors read it, also inside a chart of several lines; the
// log keeps the line as it always was.
TEST(TorvaneCli, ErrorLinesOnStandardErrorBeginWithThePathAndLine) {
    TempDir dir;
    fs::create_directories(dir / "pack" / "a");
    WriteFile(dir / "pack" / "a" / "song.msd",
              J("#TITLE:t;\r\n#BPM:120;\r\n#GAP:0;\r\n#SINGLE:BASIC:1:\r\n4444\r\n(12345)4\r\n4444;\r\n"
                "#DOUBLE:MANIAC:9:4444\r\n4444\r\n"));
    const Outcome outcome = RunProgram(dir.path(), {"msd2d2r", "--error-log", "log.txt", "pack/a/song.msd"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              "pack/a/song.msd:6: 変換不能な脚符長さです(12345)\n"
              "pack/a/song.msd:8: 譜面データが「;」で終わっていません#DOUBLE:MANIAC:9:\n");
    EXPECT_EQ(ReadFile(dir / "log.txt"), J("song.msd：変換不能な脚符長さです(12345)\r\n"
                                           "song.msd：譜面データが「;」で終わっていません#DOUBLE:MANIAC:9:\r\n"));
}

TEST(TorvaneCli, SavesTheErrorLogOnlyWhenThereAreErrorLines) {
    TempDir dir;
    WriteFile(dir / "five.msd", kFiveInABeat);
    WriteFile(dir / "one.msd", kSingle);

    EXPECT_EQ(RunProgram(dir.path(), {"msd2d2r", "--error-log", "log.txt", "one.msd"}).status, 0);
    EXPECT_FALSE(fs::exists(dir / "log.txt"));
    WriteFile(dir / "log.txt", "kept");
    EXPECT_EQ(RunProgram(dir.path(), {"msd2ddr", "--error-log", "log.txt", "one.msd"}).status, 0);
    EXPECT_EQ(ReadFile(dir / "log.txt"), "kept");

    EXPECT_EQ(RunProgram(dir.path(), {"msd2d2r", "--error-log", "log.txt", "five.msd", "one.msd", "five.msd"}).status,
              1);
    EXPECT_EQ(ReadFile(dir / "log.txt"), CrLf({kFiveInABeatError, kFiveInABeatError}));
}

TEST(TorvaneCli, AFileThatCannotBeConvertedDoesNotStopTheBatch) {
    TempDir dir;
    WriteFile(dir / "a.msd", kSingle);
    WriteFile(dir / "bad.msd", kBadTempo);
    WriteFile(dir / "c.msd", kSingle);
    WriteFile(dir / "bad.d2r", "the old destination\r\n");
    const Outcome outcome = RunProgram(dir.path(), {"msd2d2r", "a.msd", "bad.msd", "missing.msd", "c.msd"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.out, "a.msd -> a.d2r\nc.msd -> c.d2r\n");
    std::vector<std::string> err_lines;
    for (std::size_t from = 0, at; (at = outcome.err.find('\n', from)) != std::string::npos; from = at + 1) {
        err_lines.push_back(outcome.err.substr(from, at - from));
    }
    ASSERT_EQ(err_lines.size(), 3u) << outcome.err;
    EXPECT_TRUE(err_lines[0].starts_with("torvane-cli: bad.msd: ")) << err_lines[0];
    EXPECT_NE(err_lines[0].find("fast"), std::string::npos) << err_lines[0];
    EXPECT_TRUE(err_lines[1].starts_with("torvane-cli: missing.msd: ")) << err_lines[1];
    EXPECT_EQ(err_lines[2], "torvane-cli: 2 converted (0 with error lines), 2 failed, 0 skipped");
    EXPECT_EQ(ReadFile(dir / "bad.d2r"), "the old destination\r\n");
    EXPECT_TRUE(fs::exists(dir / "a.d2r"));
    EXPECT_TRUE(fs::exists(dir / "c.d2r"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.d2r", "a.msd", "bad.d2r", "bad.msd", "c.d2r", "c.msd"}));
}

TEST(TorvaneCli, UsageErrorsGiveStatusTwoAndConvertNothing) {
    TempDir dir;
    WriteFile(dir / "one.msd", kSingle);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"msd2dwi", "one.msd"}, {"msd2d2r", "--bogus", "one.msd"},
          {"msd2ddr", "--delete", "151", "one.msd"}, {"msd2d2r", "--measure", "2", "one.msd"}, {"msd2d2r"},
          {"msd2d2r", "-o", "missing", "one.msd"}, {},
          // Where the report or the error log cannot be written: known before anything is converted.
          {"msd2d2r", "--report", "missing/report.json", "one.msd"},
          {"msd2d2r", "--error-log", "one.msd/errors.txt", "one.msd"}}) {
        const Outcome outcome = RunProgram(dir.path(), args);
        EXPECT_EQ(outcome.status, 2) << outcome.err;
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("torvane-cli: ")) << outcome.err;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"one.msd"});
}

TEST(TorvaneCli, HelpAndVersionExitWithZeroWithoutFiles) {
    TempDir dir;
    const Outcome help = RunProgram(dir.path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: torvane-cli CONVERSION [OPTIONS] FILE...")) << help.out;
    EXPECT_EQ(help.err, "");
    const Outcome version = RunProgram(dir.path(), {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "torvane-cli Torvane Ver.4.2\n");
    EXPECT_EQ(version.err, "");
}

// The first step of the chart lies after 20 empty 8th-note positions.
struct LeadInCase {
    std::vector<std::string> options;
    std::string step_line;
};

void PrintTo(const LeadInCase& c, std::ostream* os) {
    *os << "msd2ddr";
    for (const auto& option : c.options) *os << ' ' << option;
    *os << " -> " << c.step_line;
}

class TorvaneCliLeadIn : public ::testing::TestWithParam<LeadInCase> {};

TEST_P(TorvaneCliLeadIn, PlacesTheFirstStepWhereTheOptionsSay) {
    TempDir dir;
    WriteFile(dir / "lead.msd", CrLf({"#TITLE:Lead;", "#SINGLE:BASIC:3:", "00000000000000000000", "4000;"}));
    std::vector<std::string> args = {"msd2ddr"};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    args.push_back("lead.msd");
    const Outcome outcome = RunProgram(dir.path(), args);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(DdrStepLines(ReadFile(dir / "lead_sb.ddr")), std::vector<std::string>{GetParam().step_line});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TorvaneCliLeadIn,
    ::testing::Values(LeadInCase{{}, "#001:0100"},                                    // 18 deleted
                      LeadInCase{{"--delete", "20"}, "#001:1000"},                    // all deleted
                      LeadInCase{{"--lead-in", "delete", "--delete", "0"}, "#003:0010"},
                      LeadInCase{{"--lead-in", "as-is"}, "#003:0010"},
                      LeadInCase{{"--lead-in", "first-step"}, "#003:1000"},           // measure 3, beat 1
                      LeadInCase{{"--lead-in", "first-step", "--measure", "1", "--beat", "1"}, "#001:1000"},
                      LeadInCase{{"--lead-in", "first-step", "--measure", "2", "--beat", "1.5"}, "#002:01000000"},
                      LeadInCase{{"--lead-in", "first-step", "--measure", "10", "--beat", "4.5"},
                                 "#010:00000001"}));

// The README converts the example charts; the d2r and ddr examples are what
// the writers make of the example MSD, so converting beside the sources
// changes nothing.
TEST(TorvaneCliExamples, AreWhatTheWritersMakeOfTheSampleMsd) {
    TempDir out;
    const fs::path examples = TORVANE_EXAMPLES;
    const Outcome d2r = RunProgram(examples, {"msd2d2r", "-o", out.path().string(), "sample.msd"});
    EXPECT_EQ(d2r.status, 0) << d2r.err;
    EXPECT_EQ(d2r.out, "sample.msd -> " + (out / "sample.d2r").string() + "\n");
    const Outcome ddr = RunProgram(examples, {"msd2ddr", "-o", out.path().string(), "sample.msd"});
    EXPECT_EQ(ddr.status, 0) << ddr.err;
    EXPECT_EQ(out.Entries(), (std::vector<std::string>{"sample.d2r", "sample_cm.ddr", "sample_da.ddr", "sample_sb.ddr"}));
    EXPECT_EQ(ReadFile(out / "sample.d2r"), ReadFile(examples / "sample.d2r"));
    EXPECT_EQ(ReadFile(out / "sample_sb.ddr"), ReadFile(examples / "sample_sb.ddr"));
}

TEST(TorvaneCliExamples, ConvertBackToMsd) {
    TempDir out;
    const fs::path examples = TORVANE_EXAMPLES;
    const Outcome from_ddr = RunProgram(examples, {"ddr2msd", "-o", out.path().string(), "sample_sb.ddr"});
    EXPECT_EQ(from_ddr.status, 0) << from_ddr.err;
    const Outcome from_d2r = RunProgram(examples, {"d2r2msd", "-o", out.path().string(), "sample.d2r"});
    EXPECT_LE(from_d2r.status, 1) << from_d2r.err;
    EXPECT_EQ(out.Entries(), (std::vector<std::string>{"sample.MSD", "sample_sb.MSD"}));
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

TEST(TorvaneCli, UsageErrorsNameEveryCommandAndHintAtDashDashForANameThatBeginsWithADash) {
    TempDir dir;
    WriteFile(dir / "-song.msd", kSingle);
    Outcome outcome = RunProgram(dir.path(), {"msd2dwi", "x.msd"});
    EXPECT_NE(outcome.err.find("(use msd2d2r, d2r2msd, msd2ddr, ddr2msd, preview or check)"), std::string::npos)
        << outcome.err;
    for (const std::string command : {"msd2d2r", "check", "preview"}) {
        outcome = RunProgram(dir.path(), {command, "-song.msd"});
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find("put -- before the file names"), std::string::npos) << outcome.err;
        outcome = RunProgram(dir.path(), {command, "--", "-song.msd"});
        EXPECT_LE(outcome.status, 1) << outcome.err;
    }
    outcome = RunProgram(dir.path(), {"msd2d2r", "--bogus", "x.msd"});
    EXPECT_EQ(outcome.err.find("put --"), std::string::npos) << outcome.err;
}

TEST(TorvaneCli, ShowsNamesWithControlCharactersAndCodePage932BytesAsOneEscapedLine) {
    TempDir dir;
    const std::string names[] = {"a\nb.msd", "\x1b[31mred.msd", "\x8b\xc8.msd", "back\\slash.msd"};
    for (const auto& name : names) WriteFile(dir / name, kSingle);
    const Outcome outcome = RunProgram(dir.path(), {"msd2d2r", "-j1", names[0], names[1], names[2], names[3]});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out,
              "a\\nb.msd -> a\\nb.d2r\n"
              "\\x1b[31mred.msd -> \\x1b[31mred.d2r\n"
              "曲.msd -> 曲.d2r\n"
              "back\\\\slash.msd -> back\\\\slash.d2r\n");
}

// Runs a shell command line in `folder`: its status, and the program's
// standard error kept in "err".
int RunShell(const fs::path& folder, const std::string& line) {
    const std::string command = "cd " + ShellQuoted(folder.string()) + " && bash -c " + ShellQuoted(line);
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(TorvaneCli, CheckRemovesTheScratchFoldersThatAKilledCheckLeftAndLeavesNoneOfItsOwn) {
    TempDir dir;
    WriteFile(dir / "song.msd", kSong);
    fs::create_directory(dir / "tmp");
    const pid_t ended = [] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        int status = 0;
        ::waitpid(child, &status, 0);
        return child;
    }();
    const std::string killed = "torvane-check-" + std::to_string(ended) + "-abcdef";
    const std::string running = "torvane-check-" + std::to_string(::getpid()) + "-abcdef";
    for (const auto& name : {killed, running}) {
        fs::create_directory(dir / "tmp" / name);
        WriteFile(dir / "tmp" / name / "0", "#TITLE:x;\r\n");
    }
    const int status = RunShell(dir.path(), "TMPDIR=tmp " + ShellQuoted(TORVANE_CLI) + " check song.msd >/dev/null");
    EXPECT_LE(status, 1);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir / "tmp")) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{running});
}

TEST(TorvaneCli, AClosedStandardOutputStopsTheBatchCleanlyWithOneLine) {
    TempDir dir;
    fs::create_directory(dir / "lib");
    for (int i = 0; i < 400; ++i) WriteFile(dir / "lib" / ("s" + std::to_string(1000 + i) + ".msd"), kSong);
    fs::create_directory(dir / "out");
    // The reader is gone before the first line is written.
    const int status = RunShell(dir.path(), ShellQuoted(TORVANE_CLI) +
                                                " msd2d2r -j2 -o out --report report.json lib 2>err | true;"
                                                " exit ${PIPESTATUS[0]}");
    EXPECT_EQ(status, 3);
    EXPECT_EQ(ReadFile(dir / "err"), "torvane-cli: standard output: cannot write it: Broken pipe\n");
    std::size_t placed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
        ++placed;
    }
    EXPECT_LT(placed, 400u);
    const std::string report = ReadFile(dir / "report.json");
    EXPECT_NE(report.find("\"interrupted\": true"), std::string::npos) << report;
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

TEST(TorvaneCli, AHeaderOnlyMsdSaysSoAndAFailedFileLeavesNoMirroredFolder) {
    TempDir dir;
    fs::create_directories(dir / "lib" / "good");
    fs::create_directories(dir / "lib" / "bad" / "deeper");
    fs::create_directory(dir / "out");
    WriteFile(dir / "lib" / "good" / "song.msd", kSingle);
    WriteFile(dir / "lib" / "bad" / "deeper" / "empty.msd", "");
    WriteFile(dir / "lib" / "headers.msd", CrLf({"#TITLE:Headers only;", "#BPM:120;"}));
    const Outcome outcome = RunProgram(dir.path(), {"msd2ddr", "-j1", "-o", "out", "--report", "report.json", "lib"});
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "good" / "song_sb.ddr"));
    EXPECT_FALSE(fs::exists(dir / "out" / "bad")) << "a folder made for a file that failed";
    const std::string report = ReadFile(dir / "report.json");
    EXPECT_NE(report.find("\"code\": \"no-chart\""), std::string::npos) << report;
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

TEST(TorvaneCli, PreviewAndCheckWriteEachLineOfACharacterWithoutAShiftJisFormOnce) {
    TempDir dir;
    // The character on the title and again on a later line: two lines, each once.
    WriteFile(dir / "s.msd", "#TITLE:Love\u2665\u30c6\u30b9\u30c8;\r\n#ARTIST:\u2665;\r\n#BPM:120;\r\n"
                             "#SINGLE:BASIC:1:\r\n000000004020;\r\n");
    const std::string message = "Shift-JIS\xe3\x81\xa7\xe8\xa1\xa8\xe3\x81\x9b\xe3\x81\xaa\xe3\x81\x84"
                                "\xe6\x96\x87\xe5\xad\x97\xe3\x81\xa7\xe3\x81\x99U+2665\n";
    for (const std::string command : {"msd2d2r", "preview", "check"}) {
        const Outcome outcome = RunProgram(dir.path(), {command, "s.msd"});
        for (const std::string& line : {"s.msd:1: " + message, "s.msd:2: " + message}) {
            std::size_t count = 0;
            for (auto at = outcome.err.find(line); at != std::string::npos; at = outcome.err.find(line, at + 1)) ++count;
            EXPECT_EQ(count, 1u) << command << ": " << line << "\n" << outcome.err;
        }
    }
}

}  // namespace
}  // namespace torvane
