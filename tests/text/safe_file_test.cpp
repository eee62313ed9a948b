// Where files are written: unnamed temporary files, the leftovers of runs
// that no longer run, the files of reports and logs, and how a path is shown.
#include "text/safe_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "test_support.hpp"
#include "text/output_names.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(DisplayPath, ShowsEveryNameAsOneLineOfUtf8) {
    const struct {
        std::string bytes;
        std::string shown;
    } kCases[] = {
        {"pack/a/song.msd", "pack/a/song.msd"},
        {"曲/ダンス.msd", "曲/ダンス.msd"},                        // UTF-8 as it is
        {"\x8b\xc8/\x83\x5f\x83\x93\x83\x58.msd", "曲/ダンス.msd"},  // code page 932 read as such
        {"\xb1\xb2.msd", "ｱｲ.msd"},                                // half-width katakana
        {"a\nb.msd", "a\\nb.msd"},
        {"a\tb\rc", "a\\tb\\rc"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"del\x7f", "del\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"\x85\x40", "\\x85@"},                // a code page 932 pair without a character
        {"\xff\xfe.msd", "\\xff\\xfe.msd"},    // neither UTF-8 nor code page 932
        {"\x83", "\\x83"},                     // a first byte alone
        {"c1\xc2\x85", "c1\\xc2\\x85"},        // a C1 control character in UTF-8
        {"\xe2\xb5\x81\x45", "\xe2\xb5\x81" "E"},  // valid UTF-8 stays UTF-8
        {"", ""},
    };
    for (const auto& c : kCases) EXPECT_EQ(DisplayPath(c.bytes), c.shown) << c.bytes;
}

TEST(TempFileOwner, ReadsTheProcessIdOfATemporaryNameOnly) {
    const struct {
        std::string name;
        pid_t owner;
    } kCases[] = {
        {".song.d2r.tv1234.Ab3xYz", 1234},
        {".torvane.tv7.abcdef", 7},
        {".a.tv1.zzzzzz", 1},
        {".song.d2r.XXXXXX", 0},  // no process id
        {"song.d2r.tv1234.Ab3xYz", 0},  // not hidden
        {".song.d2r.tv1234.Ab3xY", 0},  // five characters
        {".song.d2r.tv.Ab3xYz", 0},
        {".song.d2r.1234.Ab3xYz", 0},
        {".song.d2r.tv12a4.Ab3xYz", 0},
        {".song.d2r.tv1234.Ab-xYz", 0},
        {".tv1234.abcdef", 0},  // no name before it
    };
    for (const auto& c : kCases) EXPECT_EQ(TempFileOwner(c.name), c.owner) << c.name;
    EXPECT_EQ(TempFileOwner(fs::path(TempFilePattern("x/song.d2r")).filename().string()), ::getpid());
}

pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(TempFile, ARunRemovesTheTemporaryFilesOfProcessesThatNoLongerRunOnly) {
    TempDir dir;
    const std::string dead = ".song.d2r.tv" + std::to_string(EndedProcess()) + ".abcdef";
    const std::string live = ".song.d2r.tv" + std::to_string(::getppid()) + ".abcdef";
    const std::string own = ".other.d2r.tv" + std::to_string(::getpid()) + ".abcdef";
    for (const auto& name : {dead, live, own, std::string(".song.d2r.XXXXXX"), std::string("song.msd")}) {
        WriteFile(dir / name, "x");
    }
    {
        TempFile file(dir / "song.d2r");
        file.WriteLine("a");
        file.Close(true);
        file.Replace();
    }
    EXPECT_FALSE(fs::exists(dir / dead));
    for (const auto& name : {live, own, std::string(".song.d2r.XXXXXX"), std::string("song.msd")}) {
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    }
}

TEST(ScratchFolderOwner, ReadsTheProcessIdOfAScratchFolderOfItsPrefixOnly) {
    const struct {
        std::string name;
        pid_t owner;
    } kCases[] = {
        {"torvane-check-1234-Ab3xYz", 1234},
        {"torvane-check-7-abcdef", 7},
        {"torvane-check-XXXXXX", 0},          // a name of before: no process id
        {"torvane-check--abcdef", 0},
        {"torvane-check-12a4-abcdef", 0},
        {"torvane-check-0123-abcdef", 0},
        {"torvane-check-1234567890-abcdef", 0},  // longer than a process id
        {"torvane-check-1234-abcde", 0},        // five characters
        {"torvane-check-1234.abcdef", 0},
        {"torvane-other-1234-abcdef", 0},
        {"xtorvane-check-1234-abcdef", 0},
    };
    for (const auto& c : kCases) EXPECT_EQ(ScratchFolderOwner("torvane-check", c.name), c.owner) << c.name;
}

TEST(ScratchFolder, IsNamedAfterItsProcessAndRemovesThoseOfProcessesThatNoLongerRunOnly) {
    TempDir dir;
    const std::string dead = "torvane-check-" + std::to_string(EndedProcess()) + "-abcdef";
    const std::string live = "torvane-check-" + std::to_string(::getppid()) + "-abcdef";
    const std::string other = "torvane-other-" + std::to_string(EndedProcess()) + "-abcdef";
    const std::string old = "torvane-check-a1B2c3";
    for (const auto& name : {dead, live, other, old}) {
        fs::create_directory(dir / name);
        WriteFile(dir / name / "0", "x");
    }
    // A file of a dead process's name is no folder of a check: it stays.
    const std::string dead_file = "torvane-check-" + std::to_string(EndedProcess()) + "-ghijkl";
    WriteFile(dir / dead_file, "x");

    const fs::path made = MakeScratchFolder(dir.path(), "torvane-check");
    EXPECT_EQ(made.parent_path(), dir.path());
    EXPECT_EQ(ScratchFolderOwner("torvane-check", made.filename().string()), ::getpid());
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_FALSE(fs::exists(dir / dead));
    for (const auto& name : {live, other, old, dead_file}) EXPECT_TRUE(fs::exists(dir / name)) << name;

    // Once per process: a folder left later is for the next run to remove.
    const std::string dead_later = "torvane-check-" + std::to_string(EndedProcess()) + "-mnopqr";
    fs::create_directory(dir / dead_later);
    const fs::path second = MakeScratchFolder(dir.path(), "torvane-check");
    EXPECT_NE(second, made);
    EXPECT_TRUE(fs::exists(dir / dead_later));
}

TEST(TempFile, IsNamedOnlyToBePutInPlace) {
    TempDir dir;
    TempFile file(dir / "song.d2r");
    if (!file.Unnamed()) GTEST_SKIP() << "the file system of " << dir.path() << " makes no unnamed files";
    file.WriteLine("a");
    file.Close(true);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{});
    file.Link();
    ASSERT_EQ(dir.Entries().size(), 1u);
    EXPECT_EQ(TempFileOwner(dir.Entries().front()), ::getpid());
    ASSERT_EQ(file.PutInPlace(false), 0);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"song.d2r"});
    EXPECT_EQ(ReadFile(dir / "song.d2r"), "a\r\n");
}

mode_t ModeOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(ReportFile, ANewFileGetsTheUsualModeAndAFileIsReplaced) {
    TempDir dir;
    ReportFile(dir / "report.json").Write("{}\n");
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "report.json"), 0666u & ~mask);
    ReportFile(dir / "report.json").Write("[]\n");
    EXPECT_EQ(ReadFile(dir / "report.json"), "[]\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"report.json"});
}

TEST(ReportFile, ALinkIsFollowedAndKept) {
    TempDir dir;
    fs::create_directory(dir / "logs");
    WriteFile(dir / "logs" / "errors.txt", "old");
    ::chmod((dir / "logs" / "errors.txt").c_str(), 0644);
    fs::create_symlink("logs/errors.txt", dir / "link.txt");
    ReportFile(dir / "link.txt").Write("new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(ReadFile(dir / "logs" / "errors.txt"), "new");
    EXPECT_EQ(ModeOf(dir / "logs" / "errors.txt"), 0644u);
    // A link to a file not there yet makes it.
    fs::create_symlink("logs/later.txt", dir / "later.txt");
    ReportFile(dir / "later.txt").Write("made");
    EXPECT_TRUE(fs::is_symlink(dir / "later.txt"));
    EXPECT_EQ(ReadFile(dir / "logs" / "later.txt"), "made");
}

TEST(ReportFile, AFifoIsWrittenInPlace) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string read;
    std::thread reader([&] { read = ReadFile(dir / "fifo"); });
    {
        ReportFile file(dir / "fifo");
        file.Write("{\"files\": []}\n");
    }
    reader.join();
    EXPECT_EQ(read, "{\"files\": []}\n");
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"fifo"});
}

TEST(ReportFile, ADeviceIsWrittenInPlace) {
    TempDir dir;
    // A null device of our own, never the system's.
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
        GTEST_SKIP() << "mknod is not permitted here";
    }
    ReportFile(dir / "null").Write("anything");
    EXPECT_TRUE(fs::is_character_file(dir / "null"));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"null"});
}

TEST(ReportFile, AFolderThatTakesNoFileIsRefusedAtOnce) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    EXPECT_THROW(ReportFile(dir / "missing" / "report.json"), ConversionError);
    EXPECT_THROW(ReportFile(dir / "file" / "report.json"), ConversionError);
    fs::create_directory(dir / "folder");
    EXPECT_THROW(ReportFile(dir / "folder"), ConversionError);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"file", "folder"}));
}

}  // namespace
}  // namespace torvane
