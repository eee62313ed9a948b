#include "text/line_io.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "memory_source.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/destination_group.hpp"
#include "text/safe_file.hpp"

namespace torvane {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> AllLines(LineSource& source) {
    std::vector<std::string> lines;
    std::string line;
    while (source.ReadLine(line)) lines.push_back(line);
    return lines;
}

struct SplitCase {
    std::string bytes;
    std::vector<std::string> lines;
};

const std::vector<SplitCase> kSplitCases = {
    {"", {}},
    {"a", {"a"}},
    {"a\r\nb\r\n", {"a", "b"}},
    {"a\nb\n", {"a", "b"}},
    {"a\rb\r", {"a", "b"}},
    {"a\r\n\r\nb", {"a", "", "b"}},
    {"\r\n", {""}},
    {"a\r\rb", {"a", "", "b"}},
    {"a\n\rb", {"a", "", "b"}},
    {std::string("x\0y\r\n", 5), {std::string("x\0y", 3)}},
    {"\x82\xa0\x5c\r\n", {"\x82\xa0\x5c"}},
};

TEST(LineSource, MemorySplitsAtEveryKindOfLineEnd) {
    for (const auto& c : kSplitCases) {
        auto source = MakeMemorySource(c.bytes);
        EXPECT_EQ(AllLines(*source), c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST(LineSource, FileSplitsLikeMemory) {
    TempDir dir;
    for (const auto& c : kSplitCases) {
        WriteFile(dir / "in.txt", c.bytes);
        auto source = DiskStorage().OpenSource(dir / "in.txt");
        EXPECT_EQ(AllLines(*source), c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST(LineSource, FileKeepsCrLfSplitAcrossItsReadBuffer) {
    // Put the CR LF pair across the 64 KiB chunk boundary, and a lone CR on it.
    TempDir dir;
    for (std::size_t first : {65535u, 65536u, 65534u}) {
        std::string bytes(first, 'x');
        bytes += "\r\nyy\r";
        bytes += std::string(70000, 'z');
        WriteFile(dir / "in.txt", bytes);
        auto source = DiskStorage().OpenSource(dir / "in.txt");
        const auto lines = AllLines(*source);
        ASSERT_EQ(lines.size(), 3u) << first;
        EXPECT_EQ(lines[0].size(), first);
        EXPECT_EQ(lines[1], "yy");
        EXPECT_EQ(lines[2].size(), 70000u);
    }
}

TEST(LineSource, RewindReadsTheSameLinesAgain) {
    TempDir dir;
    WriteFile(dir / "in.txt", "one\r\ntwo\rthree");
    auto source = DiskStorage().OpenSource(dir / "in.txt");
    const auto first = AllLines(*source);
    source->Rewind();
    EXPECT_EQ(AllLines(*source), first);
    EXPECT_EQ(first, (std::vector<std::string>{"one", "two", "three"}));
}

// A check reads a file's bytes, then its lines, then the conversion reads
// them again: a file that fits in the read buffer is read from the disk
// once, and every reading from the start gives the same bytes and lines,
// whether or not the file fits.
TEST(LineSource, BytesThenLinesFromTheStartGiveTheFileEachTime) {
    TempDir dir;
    for (const std::size_t size : {0UL, 11UL, 65535UL, 65536UL, 65537UL, 200000UL}) {
        std::string bytes;
        std::vector<std::string> lines;
        while (bytes.size() < size) {
            lines.push_back(std::string(1 + lines.size() % 90, static_cast<char>('a' + lines.size() % 26)));
            bytes += lines.back() + "\r\n";
        }
        WriteFile(dir / "in.txt", bytes);
        auto source = DiskStorage().OpenSource(dir / "in.txt");
        for (int round = 0; round < 2; ++round) {
            std::string read;
            char chunk[7000];
            for (std::size_t n; (n = source->ReadBytes(chunk, sizeof chunk)) > 0;) read.append(chunk, n);
            EXPECT_EQ(read, bytes) << size;
            source->Rewind();
            EXPECT_EQ(AllLines(*source), lines) << size;
            source->Rewind();
        }
    }
}

TEST(LineSource, MissingFileIsAConversionError) {
    TempDir dir;
    EXPECT_THROW((void)DiskStorage().OpenSource(dir / "none.msd"), ConversionError);
    EXPECT_THROW((void)DiskStorage().OpenSource(dir.path()), ConversionError);
}

TEST(LineSink, CommitWritesCrLfLinesAndLeavesNoTemporaryFile) {
    TempDir dir;
    auto out = DiskStorage().CreateDestination(dir / "out.txt", dir / "in.txt");
    out->WriteLine("a");
    out->WriteLine("");
    out->WriteLine(std::string(100000, 'b'));
    out->Commit();
    EXPECT_EQ(ReadFile(dir / "out.txt"), "a\r\n\r\n" + std::string(100000, 'b') + "\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.txt"});
}

TEST(LineSink, WithoutCommitTheOldDestinationStaysAndTheTemporaryFileGoes) {
    TempDir dir;
    WriteFile(dir / "out.txt", "good\r\n");
    {
        auto out = DiskStorage().CreateDestination(dir / "out.txt", dir / "in.txt");
        out->WriteLine("half");
    }
    EXPECT_EQ(ReadFile(dir / "out.txt"), "good\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.txt"});
}

TEST(LineSink, RefusesToReplaceItsOwnSource) {
    TempDir dir;
    WriteFile(dir / "song.MSD", "keep\r\n");
    EXPECT_THROW((void)DiskStorage().CreateDestination(dir / "song.MSD", dir / "song.MSD"), ConversionError);
    EXPECT_THROW((void)DiskStorage().CreateDestination(dir / "song.MSD", dir / "." / "song.MSD"), ConversionError);
    EXPECT_EQ(ReadFile(dir / "song.MSD"), "keep\r\n");
}

TEST(LineSink, KeepsTheModeOfTheFileItReplaces) {
    TempDir dir;
    WriteFile(dir / "out.txt", "old");
    ::chmod((dir / "out.txt").c_str(), 0640);
    auto out = DiskStorage().CreateDestination(dir / "out.txt", {});
    out->WriteLine("new");
    out->Commit();
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(LineSink, WritesANameNearTheFileSystemsLimit) {
    // The temporary file's name is longer than the destination's.
    TempDir dir;
    const std::string name(255, 'a');
    auto out = DiskStorage().CreateDestination(dir / name, {});
    out->WriteLine("x");
    out->Commit();
    EXPECT_EQ(ReadFile(dir / name), "x\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{name});
}

TEST(LineSink, UnwritableFolderIsAConversionError) {
    TempDir dir;
    EXPECT_THROW((void)DiskStorage().CreateDestination(dir / "missing" / "out.txt", {}), ConversionError);
}

TEST(MemoryStorage, CommittedDestinationBecomesAReadableFile) {
    MemoryStorage storage;
    storage.files["in"] = "x\r\ny";
    auto out = storage.CreateDestination("out", "in");
    out->WriteLine("1");
    EXPECT_FALSE(storage.files.contains("out"));
    out->Commit();
    EXPECT_EQ(storage.files["out"], "1\r\n");
    auto source = storage.OpenSource("in");
    EXPECT_EQ(AllLines(*source), (std::vector<std::string>{"x", "y"}));
    EXPECT_THROW((void)storage.OpenSource("nothing"), ConversionError);
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

using test::TempDir;

void WriteThrough(Storage& storage, const std::filesystem::path& destination, const std::string& line) {
    auto sink = storage.CreateDestination(destination, {});
    sink->WriteLine(line);
    sink->Commit();
}

TEST(DestinationGroup, PutsItsFilesInPlaceOnlyOnCommitAndLeavesNoTemporaryFile) {
    TempDir dir;
    WriteFile(dir / "a.d2r", "old a\r\n");
    DestinationGroup group;
    DestinationGroup::Writes first;
    WriteThrough(first, dir / "a.d2r", "new a");
    WriteThrough(first, dir / "b.d2r", "b once");
    WriteThrough(first, dir / "b.d2r", "b again");  // the later file of one destination wins
    group.Add(first, 7);
    EXPECT_EQ(ReadFile(dir / "a.d2r"), "old a\r\n");
    EXPECT_EQ(group.Files(), 2u);

    const auto results = group.Commit();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].owner, 7u);
    EXPECT_EQ(results[0].outcome, DestinationGroup::Outcome::kPlaced);
    EXPECT_EQ(ReadFile(dir / "a.d2r"), "new a\r\n");
    EXPECT_EQ(ReadFile(dir / "b.d2r"), "b again\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.d2r", "b.d2r"}));
    EXPECT_EQ(group.Files(), 0u);
}

TEST(DestinationGroup, WritesThatAreDiscardedOrNeverAddedReplaceNothing) {
    TempDir dir;
    WriteFile(dir / "a.d2r", "old a\r\n");
    {
        DestinationGroup::Writes writes;
        WriteThrough(writes, dir / "a.d2r", "new a");
        {
            auto unfinished = writes.CreateDestination(dir / "c.d2r", {});
            unfinished->WriteLine("half");
        }
        writes.Discard();
    }
    {
        DestinationGroup group;
        DestinationGroup::Writes writes;
        WriteThrough(writes, dir / "a.d2r", "new a");
        group.Add(writes, 0);
    }  // a group that is never committed
    EXPECT_EQ(ReadFile(dir / "a.d2r"), "old a\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.d2r"});
}

TEST(DestinationGroup, WithoutClobberingLeavesADestinationThatExistsAlone) {
    TempDir dir;
    WriteFile(dir / "a.d2r", "old a\r\n");
    DestinationGroup group(true);
    DestinationGroup::Writes writes;
    WriteThrough(writes, dir / "a.d2r", "new a");
    WriteThrough(writes, dir / "b.d2r", "new b");
    group.Add(writes, 0);
    const auto results = group.Commit();
    EXPECT_EQ(results[0].outcome, DestinationGroup::Outcome::kExisted);
    EXPECT_EQ(results[1].outcome, DestinationGroup::Outcome::kPlaced);
    EXPECT_EQ(ReadFile(dir / "a.d2r"), "old a\r\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.d2r", "b.d2r"}));
}

TEST(DestinationGroup, AFileThatAppearsWhileItsDestinationIsWrittenIsReplacedOrWithoutClobberingKept) {
    // The destination is free as its write begins, so it would take its name
    // in one link: a file made there meanwhile must still be replaced, or
    // kept without clobbering, and no temporary file be left.
    for (const bool no_clobber : {false, true}) {
        TempDir dir;
        DestinationGroup group(no_clobber);
        DestinationGroup::Writes writes;
        WriteThrough(writes, dir / "a.d2r", "new a");
        WriteThrough(writes, dir / "b.d2r", "new b");
        group.Add(writes, 0);
        WriteFile(dir / "a.d2r", "made meanwhile\r\n");
        const auto results = group.Commit();
        EXPECT_EQ(results[0].outcome,
                  no_clobber ? DestinationGroup::Outcome::kExisted : DestinationGroup::Outcome::kPlaced);
        EXPECT_EQ(results[1].outcome, DestinationGroup::Outcome::kPlaced);
        EXPECT_EQ(ReadFile(dir / "a.d2r"), no_clobber ? "made meanwhile\r\n" : "new a\r\n");
        EXPECT_EQ(ReadFile(dir / "b.d2r"), "new b\r\n");
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"a.d2r", "b.d2r"}));
        struct stat st {};
        ASSERT_EQ(::stat((dir / "b.d2r").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, CreationMode());
        EXPECT_EQ(st.st_nlink, 1u);
    }
}

TEST(DestinationGroup, RefusesTheSourceAsDestination) {
    TempDir dir;
    WriteFile(dir / "a.msd", "source\r\n");
    DestinationGroup::Writes writes;
    EXPECT_THROW((void)writes.CreateDestination(dir / "a.msd", dir / "a.msd"), ConversionError);
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

TEST(LineSource, ReadsTheBytesAsTheyStandAndThenLinesAfterARewind) {
    test::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + (i % 3 == 0 ? "\r\n" : "\n");
    WriteFile(dir / "in.txt", bytes);
    MemoryStorage memory;
    memory.files["in.txt"] = bytes;
    for (Storage* storage : {&DiskStorage(), static_cast<Storage*>(&memory)}) {
        auto source = storage->OpenSource(storage == &memory ? std::filesystem::path("in.txt") : dir / "in.txt");
        std::string line;
        ASSERT_TRUE(source->ReadLine(line));  // bytes read into the buffer already count too
        source->Rewind();
        std::string read;
        char buffer[1000];
        for (std::size_t n; (n = source->ReadBytes(buffer, sizeof buffer)) > 0;) read.append(buffer, n);
        EXPECT_EQ(read, bytes);
        source->Rewind();
        EXPECT_EQ(AllLines(*source).size(), 20000u);
    }
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// Lines that `make(i, after_cr)` makes, each ended by CR LF, LF or CR at
// random (`after_cr`: the line before ended by a lone CR), as bytes and as
// the lines a reader should give.
struct EndedLines {
    std::string bytes;
    std::vector<std::string> lines;
};

template <typename Make>
EndedLines WithRandomEnds(std::mt19937& random, int count, Make make) {
    EndedLines ended;
    const char* const ends[] = {"\r\n", "\n", "\r"};
    for (int i = 0; i < count; ++i) {
        std::string line = make(i, ended.bytes.ends_with("\r"));
        ended.bytes += line;
        ended.bytes += ends[random() % 3];
        ended.lines.push_back(std::move(line));
    }
    return ended;
}

// The same bytes in memory and in a file.
struct MemoryAndFile {
    explicit MemoryAndFile(const std::string& bytes) : memory(MakeMemorySource(bytes)) {
        WriteFile(dir / "in.txt", bytes);
        file = DiskStorage().OpenSource(dir / "in.txt");
    }
    [[nodiscard]] std::array<LineSource*, 2> Sources() const { return {memory.get(), file.get()}; }

    test::TempDir dir;
    std::unique_ptr<LineSource> memory;
    std::unique_ptr<LineSource> file;
};

TEST(LineSource, SplitsLinesOfEveryLengthAtEveryKindOfEndLikeAPlainScan) {
    std::mt19937 random(7);
    const EndedLines ended = WithRandomEnds(random, 3000, [&random](int, bool after_cr) {
        std::string line;
        // After a lone CR an empty line ended by LF would make one CR LF.
        const int length = static_cast<int>(random() % 40) + (after_cr ? 1 : 0);
        for (int k = 0; k < length; ++k) {
            // Bytes near CR and LF, and Shift-JIS bytes, none of them a line end.
            const char pool[] = {'a', '\x0b', '\x0c', '\x0e', '\x8d', '\x8a', '\x82', '\xa0', '0', '\t'};
            line += pool[random() % sizeof pool];
        }
        return line;
    });
    const MemoryAndFile both(ended.bytes);
    for (LineSource* source : both.Sources()) {
        const std::vector<std::string> lines = AllLines(*source);
        ASSERT_EQ(lines.size(), ended.lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], ended.lines[i]) << "line " << i;
    }
}

// Charts are read as runs of lines up to one that ends with ";": the same
// lines, starts and count as reading them one by one, across the read buffer
// and past a line longer than it.
TEST(LineSource, AppendsTheLinesThroughOneThatEndsWithAByteAsReadingThemOneByOne) {
    std::mt19937 random(11);
    const EndedLines ended = WithRandomEnds(random, 6000, [&random](int i, bool after_cr) {
        // Lines of up to 40 bytes, a few about as long as the lines gathered
        // before they are appended, and one longer than the read buffer.
        std::string line(random() % 41 + (after_cr ? 1 : 0), 'a');
        if (i % 997 == 0) line.assign(4090 + random() % 12, 'c');
        if (i == 2500) line.assign(100000, 'b');
        if (!line.empty() && random() % 7 == 0) line.back() = ';';
        return line;
    });
    const std::vector<std::string>& lines = ended.lines;
    const MemoryAndFile both(ended.bytes);
    for (LineSource* source : both.Sources()) {
        std::size_t line_number = 0;
        source->CountLinesInto(&line_number);
        std::size_t next = 0;
        for (;;) {
            std::string data = "x";
            std::vector<std::size_t> starts;
            const bool found = source->AppendLinesThrough(';', data, &starts);
            std::string expected = "x";
            std::vector<std::size_t> expected_starts;
            while (next < lines.size()) {
                expected_starts.push_back(expected.size());
                expected += lines[next++];
                if (!lines[next - 1].empty() && lines[next - 1].back() == ';') break;
            }
            ASSERT_EQ(data, expected);
            ASSERT_EQ(starts, expected_starts);
            ASSERT_EQ(line_number, next);
            if (!found) break;
        }
        EXPECT_EQ(next, lines.size());
        source->CountLinesInto(nullptr);
    }
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// Every line read in place, or in place and copied by turns, with the
// number it was counted as.
std::vector<std::string> LinesInPlace(LineSource& source, bool by_turns) {
    std::vector<std::string> lines;
    std::size_t line_number = 0;
    source.CountLinesInto(&line_number);
    for (;;) {
        std::string copied;
        std::string_view line;
        const bool copy = by_turns && lines.size() % 2 == 1;
        if (!(copy ? source.ReadLine(copied) : source.ReadLineView(line))) break;
        lines.emplace_back(copy ? std::string_view(copied) : line);
        EXPECT_EQ(line_number, lines.size());
    }
    source.CountLinesInto(nullptr);
    return lines;
}

// A line read in place is the line read as a copy, wherever its end falls
// against the file's read buffer: a CR LF split by it, a lone CR or LF on
// either side of it, an empty line, a last line with no end.
TEST(LineSource, ReadsEachLineInPlaceAsItReadsItAsACopy) {
    const std::vector<std::string> kAround = {"ab\r\ncd\r\n", "ab\r\rcd", "ab\n\rcd\n", "ab\r", "ab\r\n",
                                              "ab",         "\r\n\r\n",  "a\nb\rc\r\nd", "",      "\r\n\n\r"};
    constexpr std::size_t kBuffer = 1 << 16;
    const std::string head = "head\r\n";
    TempDir dir;
    for (const std::string& around : kAround) {
        // The buffer ends from just before `around` to just past it.
        for (std::size_t into = 0; into <= around.size() + 1; ++into) {
            const std::string bytes = head + std::string(kBuffer - head.size() - into, 'x') + around;
            for (const std::string& tail : {std::string(), std::string("end"), std::string("end\r")}) {
                WriteFile(dir / "in.txt", bytes + tail);
                auto memory = MakeMemorySource(bytes + tail);
                const std::vector<std::string> expected = AllLines(*memory);
                memory->Rewind();
                EXPECT_EQ(LinesInPlace(*memory, false), expected);
                for (const bool by_turns : {false, true}) {
                    auto file = DiskStorage().OpenSource(dir / "in.txt");
                    EXPECT_EQ(LinesInPlace(*file, by_turns), expected)
                        << testing::PrintToString(around) << " " << into << " " << tail << " " << by_turns;
                }
            }
        }
    }
}

}  // namespace
}  // namespace torvane
