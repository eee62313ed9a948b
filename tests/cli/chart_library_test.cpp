// preview and check over chart libraries, in-process: the rules of the
// conversions for folders, collisions, refusals, UTF-8 and the report.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/chart_commands.hpp"
#include "cli/cli.hpp"
#include "test_support.hpp"

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

Outcome RunTool(std::vector<std::string> args, std::ostream* out_stream = nullptr) {
    args.insert(args.begin(), "torvane-cli");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    Outcome outcome;
    outcome.status = RunCli(static_cast<int>(args.size()), argv.data(), out_stream ? *out_stream : out, err);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

const std::vector<std::string> kSongLines = {"#TITLE:恋のうた;", "#ARTIST:ﾃｽﾄ歌手;", "#BPM:150;", "#GAP:0;",
                                             "#SINGLE:BASIC:3:", "00000000(4000)2(4268)(123)8;"};

std::string SongIn(bool utf8) {
    std::vector<std::string> lines = kSongLines;
    if (!utf8) {
        for (auto& line : lines) line = J(line);
    }
    return CrLf(lines);
}

const std::string kDouble = CrLf({"#TITLE:Two;", "#BPM:120;", "#DOUBLE:MANIAC:7:48264826;"});
// The example d2r file: a single basic, a double another and a couple maniac.
std::string D2r() { return ReadFile(fs::path(TORVANE_TEST_DATA) / ".." / "examples" / "sample.d2r"); }

TEST(TorvaneCliChartLibrary, PreviewsAFolderIntoAMirroredTree) {
    TempDir dir;
    fs::create_directories(dir / "lib" / "pack1" / "song");
    fs::create_directories(dir / "lib" / "pack2");
    fs::create_directories(dir / "lib" / ".hidden");
    fs::create_directory(dir / "out");
    WriteFile(dir / "lib" / "pack1" / "song" / "one.msd", SongIn(false));
    WriteFile(dir / "lib" / "pack2" / "two.MSD", kDouble);
    WriteFile(dir / "lib" / "pack2" / "three.d2r", D2r());
    WriteFile(dir / "lib" / "pack2" / "notes.txt", "not a chart");
    WriteFile(dir / "lib" / ".hidden" / "x.msd", kDouble);
    const Outcome run = RunTool({"preview", "-o", (dir / "out").string(), (dir / "lib").string()});
    EXPECT_EQ(run.status, kExitConverted) << run.err;
    EXPECT_EQ(Tree(dir / "out"),
              (std::vector<std::string>{"pack1/song/one_sb.svg", "pack2/three_cm.svg", "pack2/three_da.svg",
                                        "pack2/three_sb.svg", "pack2/two_dm.svg"}));
    // Byte order of the paths: "three" before "two".
    const std::string lib = (dir / "lib").string();
    const std::string out = (dir / "out").string();
    const std::string three = lib + "/pack2/three.d2r -> " + out + "/pack2/three_";
    EXPECT_EQ(run.out, lib + "/pack1/song/one.msd -> " + out + "/pack1/song/one_sb.svg\n" + three + "sb.svg\n" +
                           three + "da.svg\n" + three + "cm.svg\n" + lib + "/pack2/two.MSD -> " + out +
                           "/pack2/two_dm.svg\n");
    EXPECT_EQ(run.err, "torvane-cli: 3 drawn (0 with error lines), 0 failed, 0 skipped\n");
    // -q silences the summary too; check walks the same folder.
    EXPECT_EQ(RunTool({"preview", "-q", "-o", out, lib}).err, "");
    const Outcome checked = RunTool({"check", lib});
    EXPECT_NE(checked.err.find("3 checked"), std::string::npos) << checked.err;

    fs::create_directory(dir / "empty");
    WriteFile(dir / "empty" / "readme.txt", "nothing");
    const Outcome none = RunTool({"preview", (dir / "empty").string()});
    EXPECT_EQ(none.status, kExitFailedFile);
    EXPECT_EQ(none.err, "torvane-cli: " + (dir / "empty").string() + ": no chart file in it\n");
}

TEST(TorvaneCliChartLibrary, RefusesALaterSourceOfTheSamePicturesBeforeDrawingAny) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::create_directory(dir / "out");
    WriteFile(dir / "a" / "song.msd", kDouble);
    WriteFile(dir / "b" / "song.msd", SongIn(false));
    const std::string later = (dir / "b" / "song.msd").string();
    const Outcome run = RunTool({"preview", "-o", (dir / "out").string(), (dir / "a" / "song.msd").string(), later});
    EXPECT_EQ(run.status, kExitFailedFile);
    EXPECT_EQ(Tree(dir / "out"), std::vector<std::string>{"song_dm.svg"});
    EXPECT_NE(run.err.find("torvane-cli: " + later + ": not drawn: its pictures could have the names of those of " +
                           (dir / "a" / "song.msd").string() + "\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("1 drawn (0 with error lines), 1 failed, 0 skipped"), std::string::npos);

    // Beside each other: an MSD and a d2r of one stem. The same file named
    // twice is no collision.
    WriteFile(dir / "a" / "song.d2r", D2r());
    EXPECT_EQ(RunTool({"preview", (dir / "a").string()}).status, kExitFailedFile);
    EXPECT_EQ(RunTool({"preview", (dir / "a" / "song.msd").string(), (dir / "a" / "song.msd").string()}).status,
              kExitConverted);

    // No-clobber leaves an existing picture alone and says so.
    const std::string picture = (dir / "out" / "song_dm.svg").string();
    WriteFile(picture, "old");
    const Outcome kept = RunTool({"preview", "-n", "-o", (dir / "out").string(), (dir / "a" / "song.msd").string()});
    EXPECT_EQ(kept.status, kExitConverted) << kept.err;
    EXPECT_EQ(kept.out, (dir / "a" / "song.msd").string() + ": skipped, " + picture + " exists\n");
    EXPECT_EQ(ReadFile(picture), "old");
}

TEST(TorvaneCliChartLibrary, RefusesEmptyBinaryAndWrongFilesAndDrawsTheOthers) {
    TempDir dir;
    fs::create_directory(dir / "lib");
    WriteFile(dir / "lib" / "a_good.msd", CrLf({"#TITLE:Five;", "#SINGLE:BASIC:1:(12345)4;"}));
    WriteFile(dir / "lib" / "b_empty.msd", "");
    WriteFile(dir / "lib" / "c_binary.ddr", std::string("#title x\r\n\0\0\0", 13));
    WriteFile(dir / "lib" / "d_wrong.msd", D2r());
    WriteFile(dir / "lib" / "e_good.d2r", D2r());
    const Outcome run = RunTool({"preview", "--report", "-", (dir / "lib").string()});
    EXPECT_EQ(run.status, kExitFailedFile);
    EXPECT_EQ(Tree(dir / "lib"), (std::vector<std::string>{"a_good.msd", "a_good_sb.svg", "b_empty.msd",
                                                           "c_binary.ddr", "d_wrong.msd", "e_good.d2r",
                                                           "e_good_cm.svg", "e_good_da.svg", "e_good_sb.svg"}));
    const std::string lib = (dir / "lib").string();
    for (const std::string& line : {lib + "/b_empty.msd: empty file", lib + "/c_binary.ddr: binary data, not a chart file",
                                   lib + "/d_wrong.msd: not an MSD file (no MSD tag in it)"}) {
        EXPECT_NE(run.err.find("torvane-cli: " + line + "\n"), std::string::npos) << line << "\n" << run.err;
    }

    // The report, parsed back: one shape with the conversions'.
    const auto report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report["report_version"], 1);
    EXPECT_EQ(report["conversion"], "preview");
    EXPECT_EQ(report["options"]["encoding"], "auto");
    ASSERT_EQ(report["files"].size(), 5u);
    std::vector<std::string> statuses, codes;
    for (const auto& file : report["files"]) {
        statuses.push_back(file["status"]);
        codes.push_back(file["reason"].is_null() ? "" : file["reason"]["code"].get<std::string>());
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{"drawn", "failed", "failed", "failed", "drawn"}));
    EXPECT_EQ(codes, (std::vector<std::string>{"", "empty-file", "binary-data", "wrong-format", ""}));
    EXPECT_EQ(report["files"][4]["destinations"][0], lib + "/e_good_sb.svg");
    const auto& error_line = report["files"][0]["error_lines"][0];
    EXPECT_EQ(error_line["line"].get<std::string>().rfind("a_good.msd", 0), 0u) << error_line;
    EXPECT_NE(error_line["code"], "unknown");
    EXPECT_EQ(report["summary"]["files"], 5);
    EXPECT_EQ(report["summary"]["converted"], 2);
    EXPECT_EQ(report["summary"]["with_error_lines"], 1);
    EXPECT_EQ(report["summary"]["failed"], 3);
    EXPECT_EQ(report["summary"]["pictures"], 4);
    EXPECT_EQ(report["exit_status"], kExitFailedFile);

    // check refuses them the same way, and reports each file it read.
    const Outcome checked = RunTool({"check", "--report", "-", lib});
    EXPECT_EQ(checked.status, kExitFailedFile);
    const auto check_report = nlohmann::json::parse(checked.out);
    EXPECT_EQ(check_report["conversion"], "check");
    EXPECT_EQ(check_report["files"][0]["status"], "checked");
    EXPECT_TRUE(check_report["files"][0]["round_trips"].is_array());
    EXPECT_EQ(check_report["files"][4]["changed"], false);
    EXPECT_EQ(check_report["files"][3]["reason"]["code"], "wrong-format");
    EXPECT_EQ(check_report["summary"]["changed"].get<int>() + check_report["summary"]["unchanged"].get<int>(), 2);
    EXPECT_EQ(check_report["summary"]["failed"], 3);
}

TEST(TorvaneCliChartLibrary, DrawsAUtf8TwinAsItsShiftJisTwin) {
    TempDir dir;
    WriteFile(dir / "sjis.msd", SongIn(false));
    WriteFile(dir / "utf8.msd", SongIn(true));
    WriteFile(dir / "mark.msd", "\xEF\xBB\xBF" + SongIn(true));
    const Outcome run = RunTool({"preview", (dir / "sjis.msd").string(), (dir / "utf8.msd").string(),
                                 (dir / "mark.msd").string()});
    EXPECT_EQ(run.status, kExitConverted) << run.err;
    const std::string svg = ReadFile(dir / "sjis_sb.svg");
    EXPECT_NE(svg.find("恋のうた"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "utf8_sb.svg"), svg);
    EXPECT_EQ(ReadFile(dir / "mark_sb.svg"), svg);
    EXPECT_EQ(run.err.find("sjis.msd: read as UTF-8"), std::string::npos);
    EXPECT_NE(run.err.find("torvane-cli: " + (dir / "utf8.msd").string() + ": read as UTF-8\n"), std::string::npos);
    EXPECT_NE(run.err.find("torvane-cli: " + (dir / "mark.msd").string() + ": read as UTF-8\n"), std::string::npos);

    // Read as Shift-JIS when told, the UTF-8 twin draws differently.
    const Outcome told = RunTool({"preview", "--encoding", "cp932", (dir / "utf8.msd").string()});
    EXPECT_EQ(told.err.find("read as UTF-8"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "utf8_sb.svg"), svg);
    EXPECT_EQ(RunTool({"preview", "--encoding", "latin1", (dir / "utf8.msd").string()}).status, kExitUsage);
}

TEST(TorvaneCliChartLibrary, AFailedWriteToStandardOutputGivesStatus3) {
    TempDir dir;
    WriteFile(dir / "song.msd", kDouble);
    std::ostream broken(nullptr);
    for (const char* command : {"preview", "check"}) {
        const Outcome run = RunTool({command, (dir / "song.msd").string()}, &broken);
        EXPECT_EQ(run.status, kExitFailedFile) << command;
        EXPECT_NE(run.err.find("torvane-cli: standard output: cannot write it"), std::string::npos) << run.err;
    }
}

TEST(TorvaneCliChartLibrary, TheTopLevelHelpNamesPreviewAndCheck) {
    const Outcome run = RunTool({"--help"});
    EXPECT_NE(run.out.find("\n  preview "), std::string::npos);
    EXPECT_NE(run.out.find("\n  check "), std::string::npos);
}

}  // namespace
}  // namespace torvane
