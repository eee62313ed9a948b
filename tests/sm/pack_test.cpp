// torvane-cli sm over a pack: one folder per song with its simfile and music,
// the ddr files of a song as one source, and a collision told once.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.hpp"
#include "simfile_reader.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using test::ReadSimfile;
using test::Simfile;

int RunSm(std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), {"torvane-cli", "sm"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    std::ostringstream out_stream, err_stream;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out_stream, err_stream);
    out = out_stream.str();
    err = err_stream.str();
    return status;
}

TEST(TorvaneCliSm, ConvertsAPackIntoOneFolderPerSongWithItsMusic) {
    TempDir dir;
    const fs::path examples = TORVANE_EXAMPLES;
    const fs::path pack = dir.path() / "pack";
    for (const char* folder : {"a", "b", "c"}) fs::create_directories(pack / folder);
    fs::copy_file(examples / "sample.msd", pack / "a" / "song.msd");
    WriteFile(pack / "a" / "SAMPLE.WAV", "RIFF");
    fs::copy_file(examples / "sample_sb.ddr", pack / "b" / "other_sb.ddr");
    fs::copy_file(examples / "sample_sb.ddr", pack / "b" / "other_da.ddr");
    fs::copy_file(examples / "sample.d2r", pack / "c" / "x.d2r");
    fs::copy_file(examples / "sample.msd", pack / "c" / "x.msd");
    fs::create_directories(dir.path() / "out");

    std::string out, err;
    const int status = RunSm({"-j", "2", "-o", (dir.path() / "out").string(), pack.string()}, out, err);
    EXPECT_EQ(status, 3) << err;  // x.msd would write the simfile of x.d2r
    EXPECT_NE(err.find("x.msd: not converted: it would write the simfile of " + (pack / "c" / "x.d2r").string()),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("other_"), std::string::npos) << err;  // the ddr files of a song are one source

    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "out")) {
        if (entry.is_regular_file()) written.push_back(entry.path().lexically_relative(dir.path() / "out").string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"a/song/sample.wav", "a/song/song.sm", "b/other/other.sm",
                                                 "c/x/x.sm"}));
    EXPECT_EQ(ReadFile(dir.path() / "out" / "a" / "song" / "sample.wav"), "RIFF");

    const std::pair<const char*, std::size_t> charts[] = {
        {"a/song/song.sm", 0}, {"b/other/other.sm", 2}, {"c/x/x.sm", 0}};
    for (const auto& [name, count] : charts) {
        const Simfile simfile = ReadSimfile(ReadFile(dir.path() / "out" / name));
        EXPECT_GT(simfile.bpm, 0) << name;
        EXPECT_FALSE(simfile.charts.empty()) << name;
        if (count != 0) {
            EXPECT_EQ(simfile.charts.size(), count) << name;
        }
    }
    EXPECT_EQ(ReadSimfile(ReadFile(dir.path() / "out" / "a" / "song" / "song.sm")).tags.at("MUSIC"), "sample.wav");
}

}  // namespace
}  // namespace torvane
