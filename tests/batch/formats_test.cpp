// The format table: what names each format's files, and that reading a
// source as MSD is the conversion to MSD, made wherever the storage keeps it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "batch/formats.hpp"
#include "batch/sources.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

TEST(FormatTable, EachConversionReadsOneFormatAndNamesItsDestinationByTheOther) {
    struct Case {
        const char* name;
        const char* source;
        const char* destination;
    };
    const Case cases[] = {
        {"msd2d2r", "lib/Song.MSD", "lib/Song.d2r"},
        {"d2r2msd", "lib/song.D2R", "lib/song.MSD"},
        {"msd2ddr", "lib/song.msd", "lib/song.ddr"},
        {"ddr2msd", "lib/song_sb.ddr", "lib/song_sb.MSD"},
    };
    for (const Case& c : cases) {
        const auto conversion = ConversionNamed(c.name);
        ASSERT_TRUE(conversion) << c.name;
        EXPECT_EQ(RowOf(*conversion).name, c.name);
        EXPECT_TRUE(IsSourceOf(*conversion, c.source)) << c.name;
        EXPECT_EQ(DestinationFor(*conversion, c.source), fs::path(c.destination)) << c.name;
        EXPECT_EQ(RowOf(ConversionReading(*FormatOfFile(c.source))).from, RowOf(*conversion).from) << c.name;
    }
    for (const char* name : {"MSD2D2R", "preview", "check", "sm", ""}) EXPECT_FALSE(ConversionNamed(name)) << name;
}

TEST(FormatTable, OutputsAreNeverReadAsSources) {
    for (const OutputFormat output : {OutputFormat::kPictures, OutputFormat::kSimfiles}) {
        const FormatRow& row = RowOf(output);
        EXPECT_TRUE(row.source_extension.empty()) << row.name;
        const fs::path file = std::string("song") + std::string(row.destination_extension);
        EXPECT_FALSE(FormatOfFile(file)) << file;
        try {
            (void)FormatOfSource(file);
            ADD_FAILURE() << file;
        } catch (const ConversionError& error) {
            EXPECT_EQ(error.Kind(), Failure::kWrongFormat) << file;
        }
    }
    for (const ChartFormat format : kChartFormats) EXPECT_FALSE(RowOf(format).source_extension.empty());
}

TEST(ReadAsMsd, IsTheConversionToMsdAndLeavesAnMsdSourceAlone) {
    const fs::path examples = TORVANE_EXAMPLES;
    for (const char* name : {"sample.msd", "sample.d2r", "sample_sb.ddr"}) {
        const fs::path source = examples / name;
        const ChartFormat format = FormatOfSource(source);
        MemoryStorage read;
        read.files[source] = test::ReadFile(source);
        ErrorList read_errors;
        const fs::path msd = ReadAsMsd(source, format, read_errors, read);
        if (format == ChartFormat::kMSD) {
            EXPECT_EQ(msd, source);
            EXPECT_EQ(read.files.size(), 1u);
            continue;
        }
        MemoryStorage converted;
        converted.files[source] = read.files[source];
        ErrorList converted_errors;
        const fs::path destination = DestinationFor(ConversionReading(format), source);
        (void)RunConversion(ConversionReading(format), source, destination, kCaption, {}, converted_errors, converted);
        EXPECT_EQ(msd, destination) << name;
        EXPECT_EQ(read.files[msd], converted.files[destination]) << name;
        EXPECT_EQ(read_errors.Lines(), converted_errors.Lines()) << name;
    }
}

}  // namespace
}  // namespace torvane
