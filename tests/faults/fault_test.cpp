// Conversions that fail part of the way through: every destination that
// existed stays byte for byte as it was, no temporary file is left behind,
// and a source is never destroyed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kOld = "an older file that must survive\r\n";

struct Source {
    Conversion conversion;
    std::string name;
    std::string good;  // converts cleanly
};

// A source of each conversion that converts, and the same source with a bad
// number after its first chart.
std::vector<Source> Sources() {
    const std::string msd = ReadFile(fs::path(TORVANE_EXAMPLES) / "sample.msd");
    const std::string d2r = ReadFile(fs::path(TORVANE_EXAMPLES) / "sample.d2r");
    const std::string ddr = ReadFile(fs::path(TORVANE_EXAMPLES) / "sample_sb.ddr");
    return {{Conversion::kMSD2d2r, "song.msd", msd},
            {Conversion::kd2r2MSD, "song.d2r", d2r},
            {Conversion::kMSD2ddr, "song.msd", msd},
            {Conversion::kddr2MSD, "song_sb.ddr", ddr}};
}

// The destinations a conversion of `source` into `folder` writes.
std::vector<fs::path> Destinations(const Source& s, const fs::path& folder) {
    DdrOptions options;
    TempDir scratch;
    WriteFile(scratch / s.name, s.good);
    ErrorList errors;
    std::vector<fs::path> names;
    for (const auto& written : RunConversion(s.conversion, scratch / s.name,
                                             DestinationFor(s.conversion, scratch / s.name), kCaption, options, errors)) {
        names.push_back(folder / written.filename());
    }
    return names;
}

// Every destination still holds the old file, and the folder holds nothing
// but the source and them: no temporary file is left.
void ExpectOldDestinationsAndNothingElse(const TempDir& dir, const std::string& source,
                                         const std::vector<fs::path>& destinations) {
    for (const auto& d : destinations) EXPECT_TRUE(ReadFile(d) == kOld) << d << " was replaced";
    std::vector<std::string> expected = {source};
    for (const auto& d : destinations) expected.push_back(d.filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Entries(), expected);
}

// Converts the source in `dir` into its usual destination, which must fail.
void ExpectConversionToFail(const Source& s, const TempDir& dir) {
    ErrorList errors;
    EXPECT_THROW((void)RunConversion(s.conversion, dir / s.name, DestinationFor(s.conversion, dir / s.name), kCaption,
                                     DdrOptions{}, errors),
                 ConversionError);
}

std::string WithBadNumberAfterTheFirstChart(const Source& s) {
    if (s.conversion == Conversion::kd2r2MSD) {
        // After the first section's step lines and its MUSICEND.
        const auto at = s.good.find("MUSICEND\r\n");
        return s.good.substr(0, at + 10) + "TEMPO10=fast\r\n" + s.good.substr(at + 10);
    }
    const auto at = s.good.find(";\r\n#DOUBLE:");
    return s.good.substr(0, at + 3) + "#BPM:fast;\r\n" + s.good.substr(at + 3);
}

TEST(FailedConversion, ABadNumberAfterSomeChartsLeavesEveryOldDestinationAsItWas) {
    for (const Source& s : Sources()) {
        // ddr files carry no numbers, and MSD to ddr copies them as comments.
        if (s.conversion == Conversion::kddr2MSD || s.conversion == Conversion::kMSD2ddr) continue;
        SCOPED_TRACE(s.name);
        TempDir dir;
        WriteFile(dir / s.name, WithBadNumberAfterTheFirstChart(s));
        const auto destinations = Destinations(s, dir.path());
        for (const auto& d : destinations) WriteFile(d, kOld);
        ExpectConversionToFail(s, dir);
        ExpectOldDestinationsAndNothingElse(dir, s.name, destinations);
    }
}

TEST(FailedConversion, AFolderThatCannotHoldTheDestinationFailsCleanly) {
    for (const Source& s : Sources()) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        WriteFile(dir / s.name, s.good);
        WriteFile(dir / "not-a-folder", kOld);
        ErrorList errors;
        EXPECT_THROW((void)RunConversion(s.conversion, dir / s.name,
                                         DestinationFor(s.conversion, dir / s.name, dir / "not-a-folder"), kCaption,
                                         DdrOptions{}, errors),
                     ConversionError);
        EXPECT_EQ(ReadFile(dir / "not-a-folder"), kOld);
        EXPECT_EQ(ReadFile(dir / s.name), s.good);
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"not-a-folder", s.name}));
    }
}

// Lets writes fail as on a full disk: files may not grow beyond `bytes`.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    sighandler_t old_handler_;
};

// A source long enough that its destination outgrows the limit.
std::string Long(const Source& s) {
    if (s.conversion == Conversion::kddr2MSD) {
        std::string out = s.good;
        for (int m = 1; m <= 999; ++m) {
            char line[64];
            std::snprintf(line, sizeof line, "#%03d:1248124812481248\r\n", m);
            out += line;
        }
        return out;
    }
    if (s.conversion == Conversion::kMSD2ddr) {
        // One chart file outgrows the limit, before any other chart is done.
        std::string out = "#SINGLE:BASIC:3:\r\n";
        for (int m = 0; m < 4000; ++m) out += "(1248)(8421)(0000)(1200)\r\n";
        return out + ";\r\n" + s.good;
    }
    const std::string charts =
        s.good.substr(s.good.find(s.conversion == Conversion::kd2r2MSD ? "*-----" : "#SINGLE:"));
    std::string out = s.good;
    for (int i = 0; i < 40; ++i) out += charts;
    return out;
}

TEST(FailedConversion, AWriteThatFailsAsOnAFullDiskLeavesTheOldDestination) {
    for (const Source& s : Sources()) {
        SCOPED_TRACE(s.name);
        TempDir dir;
        WriteFile(dir / s.name, Long(s));
        const auto destinations = Destinations(s, dir.path());
        for (const auto& d : destinations) WriteFile(d, kOld);
        {
            FileSizeLimit limit(16 * 1024);
            ExpectConversionToFail(s, dir);
        }
        ExpectOldDestinationsAndNothingElse(dir, s.name, destinations);
    }
}

TEST(FailedConversion, ASourceThatIsAlsoTheDestinationIsNeverDestroyed) {
    // d2r to MSD of a file named like its own destination.
    TempDir dir;
    const Source s = Sources()[1];
    WriteFile(dir / "song.MSD", s.good);
    ErrorList errors;
    EXPECT_THROW((void)RunConversion(Conversion::kd2r2MSD, dir / "song.MSD",
                                     DestinationFor(Conversion::kd2r2MSD, dir / "song.MSD"), kCaption, DdrOptions{},
                                     errors),
                 ConversionError);
    EXPECT_EQ(ReadFile(dir / "song.MSD"), s.good);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"song.MSD"});
}

}  // namespace
}  // namespace torvane

namespace torvane {
namespace {

// The lead-in limit is the conversion's: the program keeps its own, a caller
// (the fuzz targets) may ask for a far lower one.
TEST(LeadInLimit, ALowerLimitRefusesALeadInThatTheProgramsOwnTakes) {
    std::string d2r = ReadFile(std::filesystem::path(TORVANE_EXAMPLES) / "sample.d2r");
    const auto start = d2r.find("START=");
    ASSERT_NE(start, std::string::npos);
    d2r.replace(start, d2r.find('\r', start) - start, "START=1000");
    MemoryStorage storage;
    storage.files["in.d2r"] = d2r;
    ErrorList errors;
    EXPECT_NO_THROW((void)RunConversion(Conversion::kd2r2MSD, "in.d2r", "out.MSD", kCaption, {}, errors, storage));
    try {
        (void)RunConversion(Conversion::kd2r2MSD, "in.d2r", "low.MSD", kCaption, {}, errors, storage, 4096);
        ADD_FAILURE() << "a START past the lower limit was taken";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.Kind(), Failure::kNumberOutOfRange);
    }
    EXPECT_FALSE(storage.files.contains("low.MSD"));
}

}  // namespace
}  // namespace torvane
