// A library that holds what cannot be read: folders without read permission,
// links to nothing or into a loop, FIFOs, sockets and devices named like
// sources. Each is a failed source with its reason, on standard error and in
// the report; the rest of the batch converts; nothing hangs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "program_runner.hpp"
#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ProgramOutcome;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kSong = CrLf({"#TITLE:Song;", "#BPM:150;", "#SINGLE:BASIC:3:", "00000000248;"});

// A user without the folders' owner's rights: the tests run as root, which
// reads any folder.
constexpr const char* kNobody = "65534";

bool RunningAsRoot() { return geteuid() == 0; }

void MakeSocket(const fs::path& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.native().size(), sizeof address.sun_path);
    path.native().copy(address.sun_path, path.native().size());
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

// A library of one good song beside every kind of thing that cannot be read,
// each named like a source: what the plan must make of each, by its path
// below the library.
std::map<std::string, std::string> MakeHostileLibrary(const fs::path& lib) {
    fs::create_directories(lib / "good");
    WriteFile(lib / "good" / "song.msd", kSong);
    fs::create_symlink("nowhere.msd", lib / "dangling.msd");
    fs::create_symlink("loop-b.msd", lib / "loop-a.msd");
    fs::create_symlink("loop-a.msd", lib / "loop-b.msd");
    EXPECT_EQ(mkfifo((lib / "pipe.msd").c_str(), 0644), 0);
    MakeSocket(lib / "socket.msd");
    std::map<std::string, std::string> expected = {
        {"dangling.msd", "broken-link"},       {"good/song.msd", ""},
        {"loop-a.msd", "broken-link"},         {"loop-b.msd", "broken-link"},
        {"pipe.msd", "not-a-regular-file"},    {"socket.msd", "not-a-regular-file"},
    };
    // Only root makes device nodes; this one reads as /dev/zero would,
    // without end, and lies in the test's own folder.
    if (RunningAsRoot() && mknod((lib / "zero.msd").c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0) {
        expected["zero.msd"] = "not-a-regular-file";
    }
    // Names that are no source's are none of the batch's business.
    fs::create_symlink("nowhere", lib / "dangling.txt");
    EXPECT_EQ(mkfifo((lib / "pipe.txt").c_str(), 0644), 0);
    return expected;
}

std::map<std::string, std::string> Planned(const BatchPlan& plan, const fs::path& lib) {
    std::map<std::string, std::string> planned;
    for (const PlannedFile& file : plan.files) {
        planned[file.source.lexically_relative(lib).string()] = std::string(PlanProblemCode(file.problem));
    }
    return planned;
}

TEST(PlanBatch, PlansWhatAFolderWalkCannotReadAsFailedSourcesOfTheirReasons) {
    TempDir dir;
    const fs::path lib = dir / "lib";
    const auto expected = MakeHostileLibrary(lib);
    EXPECT_EQ(Planned(PlanBatch(Conversion::kMSD2d2r, {lib}), lib), expected);
}

TEST(PlanBatch, RefusesAFifoSocketDeviceOrBrokenLinkGivenAsASourceWithoutOpeningIt) {
    TempDir dir;
    const fs::path lib = dir / "lib";
    const auto expected = MakeHostileLibrary(lib);
    std::vector<fs::path> arguments;
    for (const auto& [name, code] : expected) arguments.push_back(lib / name);
    const BatchPlan plan = PlanBatch(Conversion::kMSD2d2r, arguments);
    EXPECT_EQ(Planned(plan, lib), expected);

    // The batch fails them at once, each with the engine's failure of its
    // code, for the window to word; reading the FIFO would wait for ever.
    std::vector<FileResult> results;
    BatchCallbacks callbacks;
    callbacks.file_done = [&](const FileResult& result) { results.push_back(result); };
    const BatchSummary summary = RunBatch(plan, BatchSettings{}, callbacks);
    EXPECT_EQ(summary.converted, 1u);
    EXPECT_EQ(summary.failed, expected.size() - 1);
    for (const FileResult& result : results) {
        const std::string name = result.source.lexically_relative(lib).string();
        if (expected.at(name).empty()) continue;
        ASSERT_NE(result.failure, nullptr) << name;
        EXPECT_EQ(FailureCode(result.failure->Kind()), expected.at(name)) << name;
    }
}

TEST(CheckSource, RefusesAFifoWithoutOpeningIt) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe.msd").c_str(), 0644), 0);
    try {
        (void)CheckSource(Conversion::kMSD2d2r, dir / "pipe.msd", EncodingChoice::kAuto);
        ADD_FAILURE() << "a FIFO was read";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.Kind(), Failure::kNotARegularFile);
    }
}

ProgramOutcome Cli(const fs::path& folder, const std::vector<std::string>& args) {
    return test::RunProgramIn(folder, TORVANE_CLI, args);
}

// As an ordinary user: a folder of the library without read permission, and
// one given directly.
ProgramOutcome CliAsUser(const fs::path& folder, const std::vector<std::string>& args) {
    if (!RunningAsRoot()) return Cli(folder, args);
    std::vector<std::string> with_user = {std::string("--reuid=") + kNobody, std::string("--regid=") + kNobody,
                                          "--clear-groups", TORVANE_CLI};
    with_user.insert(with_user.end(), args.begin(), args.end());
    return test::RunProgramIn(folder, "setpriv", with_user);
}

TEST(TorvaneCliWalk, ReportsEachUnreadableThingAsAFailedSourceAndConvertsTheRest) {
    TempDir dir;
    const fs::path lib = dir / "lib";
    auto expected = MakeHostileLibrary(lib);
    fs::create_directories(lib / "locked" / "inner");
    WriteFile(lib / "locked" / "inner" / "hidden-song.msd", kSong);
    fs::permissions(lib / "locked", fs::perms::none);
    expected["locked"] = "unreadable-folder";
    fs::create_directories(dir / "out");
    // The other user writes the output and the report, and passes through
    // the test's folder.
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir / "out", fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(lib, fs::directory_options::skip_permission_denied)) {
        std::error_code ec;
        if (entry.is_directory(ec) && entry.path() != lib / "locked") {
            fs::permissions(entry.path(), fs::perms::all, ec);
        }
    }
    fs::permissions(lib, fs::perms::all);

    const ProgramOutcome outcome = CliAsUser(dir.path(), {"msd2d2r", "-o", "out", "--report", "out/report.json", "lib"});
    fs::permissions(lib / "locked", fs::perms::owner_all);
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_EQ(outcome.out, "lib/good/song.msd -> out/good/song.d2r\n");
    EXPECT_TRUE(fs::exists(dir / "out" / "good" / "song.d2r"));
    for (const auto& [name, code] : expected) {
        if (code.empty()) continue;
        EXPECT_NE(outcome.err.find("torvane-cli: lib/" + name + ": "), std::string::npos) << name << "\n" << outcome.err;
    }
    const auto report = nlohmann::json::parse(ReadFile(dir / "out" / "report.json"));
    std::map<std::string, std::string> reported;
    for (const auto& file : report.at("files")) {
        const std::string source = file.at("source").get<std::string>().substr(std::string("lib/").size());
        reported[source] = file.at("reason").is_null() ? "" : file.at("reason").at("code").get<std::string>();
    }
    EXPECT_EQ(reported, expected);
}

TEST(TorvaneCliWalk, AFolderGivenDirectlyThatCannotBeReadIsUnreadableNotEmpty) {
    TempDir dir;
    fs::create_directories(dir / "locked");
    WriteFile(dir / "locked" / "song.msd", kSong);
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir / "locked", fs::perms::none);
    const ProgramOutcome outcome = CliAsUser(dir.path(), {"msd2d2r", "locked"});
    fs::permissions(dir / "locked", fs::perms::owner_all);
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.err,
              "torvane-cli: locked: cannot read the folder: Permission denied\n");
}

TEST(TorvaneCliWalk, AFifoGivenAsASourceIsRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe.msd").c_str(), 0644), 0);
    const ProgramOutcome outcome = Cli(dir.path(), {"msd2d2r", "pipe.msd"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.err,
              "torvane-cli: pipe.msd: not a regular file (a FIFO, socket or device); not read\n");
}

}  // namespace
}  // namespace torvane
