// The command line's parsing and batch rules, run in-process over a stand-in
// conversion so that they do not depend on what the converters make of a chart.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::J;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Stands in for the converters. A source whose name starts with "bad" cannot
// be converted, one that starts with "warn" has a chart problem, one that
// starts with "empty" holds no chart (msd2ddr writes nothing for it).
struct FakeConversions {
    std::vector<std::string> sources;
    std::vector<std::string> destinations;
    DdrOptions options;

    std::vector<fs::path> operator()(Conversion conversion, const fs::path& source, const fs::path& destination,
                                     const DdrOptions& ddr_options, ErrorList& errors) {
        sources.push_back(source.string());
        destinations.push_back(destination.string());
        options = ddr_options;
        const std::string name = source.filename().string();
        if (name.starts_with("warn")) errors.Add(name, ErrorCode::kBeatGroupLength, "(12345)");
        if (name.starts_with("bad")) throw ConversionError(Failure::kOpenForReading, source);
        if (conversion != Conversion::kMSD2ddr) return {destination};
        if (name.starts_with("empty")) return {};
        const auto stem = destination.parent_path() / destination.stem();
        return {stem.string() + "_sb.ddr", stem.string() + "_da.ddr"};
    }
};

Outcome RunArgs(std::vector<std::string> args, FakeConversions& fake) {
    args.insert(args.begin(), "torvane-cli");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    Outcome outcome;
    outcome.status = RunCli(static_cast<int>(args.size()), argv.data(), out, err, std::ref(fake));
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

Outcome RunArgs(std::vector<std::string> args) {
    FakeConversions fake;
    return RunArgs(std::move(args), fake);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// --- Usage errors ---

struct UsageCase {
    std::vector<std::string> args;
    std::string reason;  // a piece of the one-line reason
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << "torvane-cli";
    for (const auto& arg : c.args) *os << " '" << arg << "'";
}

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, RefusesWithOneLineReasonAndConvertsNothing) {
    FakeConversions fake;
    const Outcome outcome = RunArgs(GetParam().args, fake);
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(fake.sources.empty());
    const auto lines = Lines(outcome.err);
    ASSERT_EQ(lines.size(), 2u) << outcome.err;
    EXPECT_TRUE(lines[0].starts_with("torvane-cli: ")) << lines[0];
    EXPECT_NE(lines[0].find(GetParam().reason), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("--help"), std::string::npos) << lines[1];
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsage,
    ::testing::Values(
        UsageCase{{}, "no conversion"},
        UsageCase{{"msd2dwi", "song.msd"}, "unknown conversion 'msd2dwi'"},
        UsageCase{{"MSD2D2R", "song.msd"}, "unknown conversion 'MSD2D2R'"},
        UsageCase{{"msd2d2r"}, "no file given"},
        UsageCase{{"msd2ddr", "--lead-in", "as-is"}, "no file given"},
        UsageCase{{"msd2d2r", "--bogus", "song.msd"}, "--bogus"},
        UsageCase{{"msd2d2r", "song.msd", "-o"}, "-o"},
        UsageCase{{"msd2d2r", "-q", "song.msd", "--out-dir=a", "--out-dir=b"}, "--out-dir"},
        UsageCase{{"msd2d2r", "--lead-in", "as-is", "song.msd"}, "--lead-in applies to msd2ddr only"},
        UsageCase{{"d2r2msd", "--delete", "0", "song.d2r"}, "--delete applies to msd2ddr only"},
        UsageCase{{"ddr2msd", "--measure", "3", "song.ddr"}, "--measure applies to msd2ddr only"},
        UsageCase{{"msd2d2r", "--beat", "1", "song.msd"}, "--beat applies to msd2ddr only"},
        UsageCase{{"msd2ddr", "--lead-in", "Delete", "song.msd"}, "--lead-in must be delete, first-step or as-is"},
        UsageCase{{"msd2ddr", "--lead-in", "1", "song.msd"}, "--lead-in must be"},
        UsageCase{{"msd2ddr", "--delete", "151", "song.msd"}, "--delete must be a whole number from 0 to 150"},
        UsageCase{{"msd2ddr", "--delete", "-1", "song.msd"}, "--delete must be a whole number from 0 to 150"},
        UsageCase{{"msd2ddr", "--delete", "1.5", "song.msd"}, "not '1.5'"},
        UsageCase{{"msd2ddr", "--delete", "", "song.msd"}, "--delete must be"},
        UsageCase{{"msd2ddr", "--delete", "18x", "song.msd"}, "not '18x'"},
        UsageCase{{"msd2ddr", "--measure", "0", "song.msd"}, "--measure must be a whole number from 1 to 10"},
        UsageCase{{"msd2ddr", "--measure", "11", "song.msd"}, "--measure must be"},
        UsageCase{{"msd2ddr", "--beat", "0.5", "song.msd"}, "--beat must be 1 to 4.5 in steps of 0.5"},
        UsageCase{{"msd2ddr", "--beat", "5", "song.msd"}, "--beat must be"},
        UsageCase{{"msd2ddr", "--beat", "2.25", "song.msd"}, "not '2.25'"},
        UsageCase{{"msd2ddr", "--beat", "1,5", "song.msd"}, "not '1,5'"},
        UsageCase{{"msd2ddr", "--beat", "nan", "song.msd"}, "--beat must be"},
        UsageCase{{"msd2ddr", "--beat", "inf", "song.msd"}, "--beat must be"},
        UsageCase{{"msd2d2r", "--error-log", "", "song.msd"}, "--error-log needs a file name"},
        UsageCase{{"msd2d2r", "-o", "no such folder", "song.msd"}, "folder 'no such folder' does not exist"},
        UsageCase{{"msd2d2r", "-o", "", "song.msd"}, "does not exist"}));

TEST(CliUsage, StandsAProgramStartWithoutAnyArgument) {
    FakeConversions fake;
    std::ostringstream out, err;
    char* argv[] = {nullptr};
    EXPECT_EQ(RunCli(0, argv, out, err, std::ref(fake)), kExitUsage);
    EXPECT_NE(err.str().find("no conversion"), std::string::npos) << err.str();
}

TEST(CliUsage, RefusesAnOutDirThatIsAFile) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    const Outcome outcome = RunArgs({"msd2d2r", "-o", (dir / "file").string(), "song.msd"});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_NE(outcome.err.find("is not a folder"), std::string::npos) << outcome.err;
}

TEST(CliUsage, LeavesTheErrorLogUntouched) {
    TempDir dir;
    WriteFile(dir / "log.txt", "old");
    const Outcome outcome = RunArgs({"msd2ddr", "--delete", "999", "--error-log", (dir / "log.txt").string(), "warn.msd"});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_EQ(ReadFile(dir / "log.txt"), "old");
}

// --- Help and version ---

TEST(CliHelp, HelpAndVersionGoToStandardOutputWithStatusZero) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"msd2d2r", "--help"}, {"--version"}, {"nonsense", "-h"},
          {"msd2ddr", "--delete", "999", "--help"}}) {
        FakeConversions fake;
        const Outcome outcome = RunArgs(args, fake);
        EXPECT_EQ(outcome.status, kExitConverted) << args.back();
        EXPECT_EQ(outcome.err, "") << args.back();
        EXPECT_FALSE(outcome.out.empty()) << args.back();
        EXPECT_TRUE(fake.sources.empty());
    }
}

TEST(CliHelp, HelpShowsTheInterfaceAndAnExample) {
    const Outcome outcome = RunArgs({"--help"});
    EXPECT_TRUE(outcome.out.starts_with("Usage: torvane-cli CONVERSION [OPTIONS] FILE...\n"));
    for (const char* piece : {"msd2d2r", "d2r2msd", "msd2ddr", "ddr2msd", "--out-dir", "--error-log", "--quiet",
                              "--lead-in", "--delete", "--measure", "--beat", "--version", "Example:"}) {
        EXPECT_NE(outcome.out.find(piece), std::string::npos) << piece;
    }
}

// --- Options of msd2ddr ---

struct OptionCase {
    std::vector<std::string> args;
    DdrOptions expected;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << "msd2ddr";
    for (const auto& arg : c.args) *os << ' ' << arg;
}

class CliDdrOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CliDdrOptions, ReachTheConversion) {
    FakeConversions fake;
    auto args = GetParam().args;
    args.insert(args.begin(), "msd2ddr");
    args.push_back("song.msd");
    const Outcome outcome = RunArgs(args, fake);
    ASSERT_EQ(outcome.status, kExitConverted) << outcome.err;
    EXPECT_EQ(fake.options.mode, GetParam().expected.mode);
    EXPECT_EQ(fake.options.delete_count, GetParam().expected.delete_count);
    EXPECT_EQ(fake.options.measure, GetParam().expected.measure);
    EXPECT_EQ(fake.options.half_beat, GetParam().expected.half_beat);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliDdrOptions,
    ::testing::Values(OptionCase{{}, {DdrOptions::kDeleteLeadIn, 18, 3, 2}},
                      OptionCase{{"--lead-in", "delete", "--delete", "0"}, {DdrOptions::kDeleteLeadIn, 0, 3, 2}},
                      OptionCase{{"--delete", "150"}, {DdrOptions::kDeleteLeadIn, 150, 3, 2}},
                      OptionCase{{"--lead-in", "first-step"}, {DdrOptions::kFirstStepAt, 18, 3, 2}},
                      OptionCase{{"--lead-in", "first-step", "--measure", "1", "--beat", "1.5"}, {DdrOptions::kFirstStepAt, 18, 1, 3}},
                      OptionCase{{"--lead-in=first-step", "--measure=10", "--beat=4.5"}, {DdrOptions::kFirstStepAt, 18, 10, 9}},
                      OptionCase{{"--beat", "3"}, {DdrOptions::kDeleteLeadIn, 18, 3, 6}},
                      OptionCase{{"--beat", "2.0"}, {DdrOptions::kDeleteLeadIn, 18, 3, 4}},
                      OptionCase{{"--lead-in", "as-is"}, {DdrOptions::kAsItIs, 18, 3, 2}}));

// --- The batch ---

TEST(CliBatch, NamesTheDestinationOfEachConversion) {
    struct Case {
        const char* conversion;
        const char* source;
        const char* destination;
    };
    for (const Case& c : {Case{"msd2d2r", "x/song.msd", "x/song.d2r"}, Case{"d2r2msd", "x/song.d2r", "x/song.MSD"},
                          Case{"msd2ddr", "x/song.msd", "x/song.ddr"}, Case{"ddr2msd", "x/song_sb.ddr", "x/song_sb.MSD"},
                          Case{"d2r2msd", "x/a.b.d2r", "x/a.b.MSD"}}) {
        FakeConversions fake;
        RunArgs({c.conversion, c.source}, fake);
        EXPECT_EQ(fake.destinations, std::vector<std::string>{c.destination}) << c.conversion;
    }
}

TEST(CliBatch, WritesEveryDestinationIntoTheOutDir) {
    TempDir out;
    FakeConversions fake;
    const Outcome outcome = RunArgs({"ddr2msd", "a/one_sb.ddr", "--out-dir", out.path().string(), "b/two_dm.ddr"}, fake);
    EXPECT_EQ(outcome.status, kExitConverted);
    EXPECT_EQ(fake.destinations,
              (std::vector<std::string>{(out / "one_sb.MSD").string(), (out / "two_dm.MSD").string()}));
    EXPECT_EQ(outcome.out, "a/one_sb.ddr -> " + (out / "one_sb.MSD").string() + "\nb/two_dm.ddr -> " +
                               (out / "two_dm.MSD").string() + "\n");
}

TEST(CliBatch, PrintsOneLinePerChartFileOfMsd2ddr) {
    const Outcome outcome = RunArgs({"msd2ddr", "x/song.msd", "empty.msd"});
    EXPECT_EQ(outcome.status, kExitConverted);
    EXPECT_EQ(outcome.out, "x/song.msd -> x/song_sb.ddr\nx/song.msd -> x/song_da.ddr\n");
}

TEST(CliBatch, QuietPrintsNothingOnStandardOutputButStillTheProblems) {
    const Outcome outcome = RunArgs({"msd2d2r", "-q", "a.msd", "warn.msd", "bad.msd"});
    EXPECT_EQ(outcome.status, kExitFailedFile);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(Lines(outcome.err).size(), 2u) << outcome.err;
}

TEST(CliBatch, AFileThatFailsDoesNotStopTheBatch) {
    FakeConversions fake;
    const Outcome outcome = RunArgs({"msd2d2r", "a.msd", "dir/bad.msd", "c.msd"}, fake);
    EXPECT_EQ(outcome.status, kExitFailedFile);
    EXPECT_EQ(fake.sources, (std::vector<std::string>{"a.msd", "dir/bad.msd", "c.msd"}));
    EXPECT_EQ(outcome.out, "a.msd -> a.d2r\nc.msd -> c.d2r\n");
    // The engine's message already begins with the path; it is not repeated.
    EXPECT_EQ(outcome.err,
              "torvane-cli: dir/bad.msd: cannot open it for reading\n"
              "torvane-cli: 2 converted (0 with error lines), 1 failed, 0 skipped\n");
}

TEST(CliBatch, AFailedFileOutweighsErrorLines) {
    EXPECT_EQ(RunArgs({"msd2d2r", "warn.msd", "bad.msd"}).status, kExitFailedFile);
    EXPECT_EQ(RunArgs({"msd2d2r", "bad.msd", "warn.msd"}).status, kExitFailedFile);
}

TEST(CliBatch, ReportsAnyFailureOfAConversionAsAFailedFile) {
    int calls = 0;
    ConvertFile throwing = [&](Conversion, const fs::path&, const fs::path&, const DdrOptions&,
                               ErrorList&) -> std::vector<fs::path> {
        if (++calls == 1) throw std::length_error("too long");
        return {"b.d2r"};
    };
    std::vector<std::string> args = {"torvane-cli", "msd2d2r", "a.msd", "b.msd"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, throwing), kExitFailedFile);
    EXPECT_EQ(err.str(),
              "torvane-cli: a.msd: too large to convert: too long\n"
              "torvane-cli: 1 converted (0 with error lines), 1 failed, 0 skipped\n");
    EXPECT_EQ(out.str(), "b.msd -> b.d2r\n");
}

TEST(CliBatch, OptionsMayFollowTheFilesAndDashDashEndsThem) {
    FakeConversions fake;
    const Outcome outcome = RunArgs({"msd2ddr", "a.msd", "--lead-in", "as-is", "--", "-b.msd"}, fake);
    EXPECT_EQ(outcome.status, kExitConverted) << outcome.err;
    EXPECT_EQ(fake.sources, (std::vector<std::string>{"a.msd", "-b.msd"}));
    EXPECT_EQ(fake.options.mode, DdrOptions::kAsItIs);
}

// --- The error log ---

TEST(CliErrorLog, IsNotTouchedWithoutErrorLines) {
    TempDir dir;
    const auto log = dir / "errors.txt";
    WriteFile(log, "old log");
    const auto written_before = fs::last_write_time(log);
    EXPECT_EQ(RunArgs({"msd2d2r", "--error-log", log.string(), "a.msd"}).status, kExitConverted);
    EXPECT_EQ(ReadFile(log), "old log");
    EXPECT_EQ(fs::last_write_time(log), written_before);

    EXPECT_EQ(RunArgs({"msd2d2r", "--error-log", (dir / "new.txt").string(), "a.msd", "bad.msd"}).status, kExitFailedFile);
    EXPECT_FALSE(fs::exists(dir / "new.txt"));
}

TEST(CliErrorLog, KeepsTheLinesFoundBesideAFailedFile) {
    TempDir dir;
    const auto log = dir / "errors.txt";
    EXPECT_EQ(RunArgs({"msd2d2r", "--error-log", log.string(), "warn.msd", "bad.msd"}).status, kExitFailedFile);
    EXPECT_EQ(ReadFile(log), CrLf({"warn.msd" + J("：変換不能な脚符長さです") + "(12345)"}));
}

TEST(CliErrorLog, ThatCannotBeWrittenIsAUsageErrorBeforeAnythingIsConverted) {
    TempDir dir;
    const auto log = dir / "missing" / "errors.txt";
    const Outcome outcome = RunArgs({"msd2d2r", "--error-log", log.string(), "warn.msd"});
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_NE(outcome.err.find("torvane-cli: --error-log " + log.string() + ": cannot create it"), std::string::npos)
        << outcome.err;
    EXPECT_TRUE(outcome.out.empty()) << outcome.out;
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

Outcome RunOnTerminal(std::vector<std::string> args) {
    args.insert(args.begin(), "torvane-cli");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    std::ostringstream out, err;
    Outcome outcome;
    outcome.status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, CliTerminal{true, 40});
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

TEST(CliProgress, IsDrawnOnATerminalAndWipedBeforeAnythingElse) {
    test::TempDir dir;
    test::WriteFile(dir / "a.msd", "#TITLE:a;\r\n");
    test::WriteFile(dir / "b.msd", "not a chart\r\n");
    const std::string long_name = "a-name-far-too-long-for-the-forty-columns-of-this-terminal.msd";
    test::WriteFile(dir / long_name, "#TITLE:c;\r\n");
    const Outcome outcome = RunOnTerminal({"msd2d2r", "-j1", (dir / "a.msd").string(), (dir / "b.msd").string(),
                                           (dir / long_name).string()});
    EXPECT_EQ(outcome.status, kExitFailedFile);
    const std::string wipe = "\r\x1b[K";
    EXPECT_NE(outcome.err.find(wipe + "[0/3] "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(wipe + "[2/3] ..."), std::string::npos) << outcome.err;
    // Every line of its own begins on a wiped line, and the last thing left is no progress.
    EXPECT_NE(outcome.err.find(wipe + "torvane-cli: " + (dir / "b.msd").string() + ": not an MSD file"),
              std::string::npos)
        << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with("skipped\n")) << outcome.err;
    // A progress line fits the terminal's width.
    const std::string progress = wipe + "[";
    for (std::size_t at = outcome.err.find(progress); at != std::string::npos; at = outcome.err.find(progress, at + 1)) {
        const std::size_t start = at + wipe.size();
        const std::size_t line_end = outcome.err.find_first_of("\r\n", start);
        EXPECT_LT(line_end - start, 40u) << outcome.err.substr(start, line_end - start);
    }
    EXPECT_EQ(RunOnTerminal({"msd2d2r", "--no-progress", (dir / "a.msd").string()}).err.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace torvane
