// torvane-cli ended from outside while it converts: a signal that it can
// catch drops the files in hand, writes the report of what was done and
// leaves every other destination as it was; SIGKILL at any moment leaves
// every destination old or new, and whole, and a later run removes the
// temporary file that a kill may leave.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_support.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Starts torvane-cli in `folder` with `args`, its output thrown away.
pid_t Start(const fs::path& folder, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(TORVANE_CLI)};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(TORVANE_CLI, argv.data());
    ::_exit(127);
}

bool HasTemporaryFile(const fs::path& folder) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        if (entry.path().filename().string().starts_with(".")) return true;
    }
    return false;
}

// Whether `pid` has a file open in `folder`: a named temporary file, or an
// unnamed one, which /proc shows as "FOLDER/#123 (deleted)".
bool WritesInto(pid_t pid, const fs::path& folder) {
    std::error_code ec;
    const std::string prefix = fs::canonical(folder).string() + "/";
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const fs::path target = fs::read_symlink(entry.path(), ec);
        if (!ec && target.string().starts_with(prefix)) return true;
    }
    return false;
}

// A double chart of `measures` measures of every rhythm.
std::string Chart(int measures) {
    static const char* const kSides[] = {"40208060", "(1234)(4000)(6080)20", "(123)(456)(789)(AB0)", "00000000"};
    std::string chart = "#DOUBLE:MANIAC:9:\r\n0000000000000000";
    for (int m = 0; m < measures; ++m) chart.append(kSides[m % 4]);
    chart += ":0000000000000000";
    for (int m = 0; m < measures; ++m) chart.append(kSides[(m + 1) % 4]);
    return chart + ";\r\n";
}

TEST(Signals, RemoveTheTemporaryFileInFlightAndLeaveTheDestinationAsItWas) {
    TempDir dir;
    fs::create_directory(dir / "out");
    std::string song = "#TITLE:Large;\r\n#BPM:150;\r\n";
    const std::string chart = Chart(600);
    while (song.size() < 40u * 1024 * 1024) song += chart;
    WriteFile(dir / "song.msd", song);
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        WriteFile(dir / "out" / "song.d2r", "old\r\n");
        const pid_t child = Start(dir.path(), {"msd2d2r", "-j1", "-o", "out", "song.msd"});
        ASSERT_GT(child, 0);
        // Killed once the temporary file is there, well before the end.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!WritesInto(child, dir / "out") && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(WritesInto(child, dir / "out")) << "no temporary file appeared";
        ::kill(child, signal_number);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << signal_number;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "song.msd"}));
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir / "out")) out.push_back(entry.path().filename());
        EXPECT_EQ(out, std::vector<std::string>{"song.d2r"}) << signal_number;
        EXPECT_EQ(ReadFile(dir / "out" / "song.d2r"), "old\r\n");
    }
}

TEST(Signals, ASignalStillWritesTheReportOfWhatWasDoneMarkedInterrupted) {
    TempDir dir;
    std::string large = "#TITLE:Large;\r\n#BPM:150;\r\n";
    const std::string chart = Chart(600);
    while (large.size() < 30u * 1024 * 1024) large += chart;
    fs::create_directory(dir / "lib");
    for (int i = 0; i < 40; ++i) {
        WriteFile(dir / "lib" / ("s" + std::to_string(100 + i) + ".msd"), i == 1 ? large : "#TITLE:S;\r\n" + Chart(20));
    }
    fs::create_directory(dir / "out");
    const pid_t child = Start(dir.path(), {"msd2d2r", "-j1", "-o", "out", "--report", "report.json", "lib"});
    ASSERT_GT(child, 0);
    // Stopped while the large second file is in hand.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!WritesInto(child, dir / "out") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_FALSE(HasTemporaryFile(dir / "out"));
    const auto report = nlohmann::json::parse(ReadFile(dir / "report.json"));
    EXPECT_EQ(report["interrupted"], true);
    ASSERT_EQ(report["files"].size(), 1u);
    EXPECT_EQ(report["files"][0]["source"], "lib/s100.msd");
    EXPECT_EQ(report["summary"]["not_started"], 39);
    EXPECT_TRUE(fs::exists(dir / "out" / "s100.d2r"));
    EXPECT_FALSE(fs::exists(dir / "out" / "s101.d2r"));
}

// A folder of the build machine's disk, or of a tmpfs: /dev/shm when it is
// one, else one mounted for the test where that is allowed.
class KillOn : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) {
            dir_ = std::make_unique<TempDir>();
            root_ = dir_->path();
            return;
        }
        struct statfs info {};
        if (::statfs("/dev/shm", &info) == 0 && info.f_type == TMPFS_MAGIC && ::access("/dev/shm", W_OK) == 0) {
            root_ = "/dev/shm/torvane-kill-" + std::to_string(::getpid());
            fs::create_directories(root_);
            return;
        }
        dir_ = std::make_unique<TempDir>();
        if (::mount("tmpfs", dir_->path().c_str(), "tmpfs", 0, "size=256m") == 0) {
            mounted_ = true;
            root_ = dir_->path();
            return;
        }
        GTEST_SKIP() << "no tmpfs: /dev/shm is not one and mounting one is not permitted";
    }
    void TearDown() override {
        if (mounted_) {
            ::umount(dir_->path().c_str());
        } else if (dir_ == nullptr && !root_.empty()) {
            std::error_code ec;
            fs::remove_all(root_, ec);
        }
    }
    fs::path root_;
    std::unique_ptr<TempDir> dir_;
    bool mounted_ = false;
};

std::size_t TemporaryFiles(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        count += entry.path().filename().string().starts_with(".");
    }
    return count;
}

TEST_P(KillOn, SigkillAtAnyMomentLeavesEveryDestinationOldOrNewAndTheNextRunNoTemporaryFile) {
    const fs::path& dir = root_;
    for (int i = 0; i < 300; ++i) {
        const fs::path file = dir / "lib" / ("p" + std::to_string(i % 4)) / ("s" + std::to_string(i) + ".msd");
        fs::create_directories(file.parent_path());
        WriteFile(file, "#TITLE:S" + std::to_string(i) + ";\r\n" + Chart(20 + i % 50));
    }
    // What a whole run writes.
    fs::create_directory(dir / "new");
    const auto run_start = std::chrono::steady_clock::now();
    const pid_t full = Start(dir, {"msd2d2r", "-o", "new", "-j2", "lib"});
    int status = 0;
    ASSERT_EQ(::waitpid(full, &status, 0), full);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1);  // the pads' triplets disagree: error lines
    const auto run_time = std::chrono::steady_clock::now() - run_start;
    std::map<fs::path, std::string> fresh;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "new")) {
        if (entry.is_regular_file()) fresh[entry.path().lexically_relative(dir / "new")] = ReadFile(entry.path());
    }
    ASSERT_EQ(fresh.size(), 300u);

    const unsigned start = std::random_device()();
    std::mt19937 random(start);
    std::uniform_int_distribution<long long> moment(0, std::chrono::duration_cast<std::chrono::microseconds>(run_time).count());
    std::size_t left = 0;
    for (int round = 0; round < 12; ++round) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        for (const auto& [name, bytes] : fresh) {
            fs::create_directories((dir / "out" / name).parent_path());
            WriteFile(dir / "out" / name, "old\r\n");
        }
        const auto delay = std::chrono::microseconds(moment(random));
        const pid_t child = Start(dir, {"msd2d2r", "-o", "out", "-j2", "lib"});
        std::this_thread::sleep_for(delay);
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        std::size_t new_files = 0;
        for (const auto& [name, bytes] : fresh) {
            const std::string now = ReadFile(dir / "out" / name);
            EXPECT_TRUE(now == "old\r\n" || now == bytes)
                << name << " is neither old nor new after SIGKILL at " << delay.count() << " us (random start " << start << ")";
            new_files += now == bytes;
        }
        // A named temporary file lives only between its link and its rename.
        const std::size_t temporary = TemporaryFiles(dir / "out");
        left += temporary;
        EXPECT_LE(temporary, 2u) << "after SIGKILL at " << delay.count() << " us (random start " << start << ")";
        // The next run takes away what the killed one left.
        const pid_t next = Start(dir, {"msd2d2r", "-o", "out", "-j2", "lib"});
        ASSERT_EQ(::waitpid(next, &status, 0), next);
        EXPECT_EQ(TemporaryFiles(dir / "out"), 0u) << "random start " << start;
        RecordProperty("round" + std::to_string(round), std::to_string(delay.count()) + " us: " +
                                                          std::to_string(new_files) + " new, " +
                                                          std::to_string(temporary) + " temporary");
    }
    RecordProperty("temporary_files_left", std::to_string(left));
}

INSTANTIATE_TEST_SUITE_P(Signals, KillOn, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Tmpfs" : "Disk"; });

}  // namespace
}  // namespace torvane
