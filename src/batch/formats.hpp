#pragma once
// Every format Torvane reads or writes, one row each: what names its files,
// how a file of it becomes MSD, the hub, in memory or on disk, how MSD is
// written in it and how its destinations are named. The conversions, the
// planner, the input checks, the commands that look at charts and the
// window's file dialogs all read their formats here.

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "d2r/d2r_format.hpp"
#include "ddr/ddr.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

// The formats a chart is read from, numbered as the formats' codes.
enum class ChartFormat : int { kMSD = 1, kd2r = 2, kddr = 3 };

// The outputs that are no chart format: nothing reads them back.
enum class OutputFormat : int { kPictures = 4, kSimfiles = 5 };

enum class Conversion { kMSD2d2r, kd2r2MSD, kMSD2ddr, kddr2MSD };

// How the destinations of one source are named.
enum class DestinationNaming {
    kExtensionReplaced,  // song.msd gives song.d2r
    kOnePerChart,        // song.msd gives song_sb.ddr, song_da.ddr, ...
    kFolderPerSong,      // song.msd gives song.sm, in a folder "song" of its own below --out-dir
};

// Converts `source` of a format to MSD at `destination` in `storage`, with
// the caption of the files Torvane writes; `max_lead_in` bounds the lead-in
// rests a header value may ask for.
using ReadAsMsdFunction = void (*)(const std::filesystem::path& source, const std::filesystem::path& destination,
                                   std::string_view caption, ErrorList& errors, Storage& storage,
                                   long long max_lead_in);

// Writes the MSD file `source` in a format and returns the files written.
using WriteFunction = std::vector<std::filesystem::path> (*)(const std::filesystem::path& source,
                                                             const std::filesystem::path& destination,
                                                             std::string_view caption, const DdrOptions& options,
                                                             ErrorList& errors, Storage& storage,
                                                             long long max_lead_in);

struct FormatRow {
    std::string_view name;                   // "MSD", "d2r", "ddr", "pictures", "simfiles"
    std::string_view source_extension;       // lower case; empty for an output only
    std::string_view destination_extension;  // what a destination of the format ends in
    DestinationNaming naming;
    ReadAsMsdFunction read_as_msd;  // none for MSD itself and for outputs
    // None for MSD, which is written by reading as MSD, and for the outputs,
    // drawn and written by the floors that know them (src/preview, src/sm).
    WriteFunction write;
};

// MSD, d2r, ddr, pictures, simfiles.
[[nodiscard]] const FormatRow& RowOf(ChartFormat format);
[[nodiscard]] const FormatRow& RowOf(OutputFormat format);

// The formats read, in the order of their codes: the entries of the window's
// open dialog.
inline constexpr std::array<ChartFormat, 3> kChartFormats = {ChartFormat::kMSD, ChartFormat::kd2r,
                                                             ChartFormat::kddr};

// The format that the file's extension names (".msd", ".d2r", ".ddr", in any
// case); none for another extension.
[[nodiscard]] std::optional<ChartFormat> FormatOfFile(const std::filesystem::path& file);

// The format of a source to read, or a ConversionError of kind kWrongFormat
// for a name of none of the formats read.
[[nodiscard]] ChartFormat FormatOfSource(const std::filesystem::path& source);

struct ConversionRow {
    std::string_view name;  // "msd2d2r", as the command line and reports name it
    ChartFormat from;
    ChartFormat to;
};

[[nodiscard]] const ConversionRow& RowOf(Conversion conversion);

// The conversion named `name` ("msd2d2r", ...); none for another name.
[[nodiscard]] std::optional<Conversion> ConversionNamed(std::string_view name);

// The conversion whose input checks and reading a source of `format` shares:
// the one that reads that format (msd2d2r for MSD).
[[nodiscard]] Conversion ConversionReading(ChartFormat format);

// Makes `source` of `format` MSD in `storage` and returns the MSD file to
// read: the source itself for MSD, else its conversion named like the source
// with the extension ".MSD", with the error lines that conversion reports.
// Throws ConversionError.
[[nodiscard]] std::filesystem::path ReadAsMsd(const std::filesystem::path& source, ChartFormat format,
                                              ErrorList& errors, Storage& storage,
                                              long long max_lead_in = kMaxLeadIn);

}  // namespace torvane
