// Measures the four conversions on generated charts of 1, 4, 16 and 64 MB.
//
// For each conversion and size it prints the input throughput, the peak
// memory of a process that runs the conversion once, and the ratio of the
// conversion's time to its I/O floor: reading the same input line by line and
// writing the same output bytes, with no conversion, in the same run. Times
// are medians of repeated runs after a warm-up run, the conversion and its
// floor taking turns, round all sizes. The growth factor from 16 to 64 MB shows whether time
// grows linearly (4.0). A last table gives the peak memory for files of one
// chart of 16 and of 64 MB, against the goal for the chart's size, one the
// peak memory and time of check beside msd2d2r's on the same files, and one the time of drawing every
// chart of the MSD sources as pictures against converting them to d2r and to
// ddr, written to disk and, to tell the work from the flushes, to memory,
// with the pictures' size.
//
// Usage: torvane-bench [--sizes 1,4,16,64] [--runs N]
//        torvane-bench --peak CONVERSION SOURCE DESTINATION   (one run; prints peak KiB)
//        torvane-bench --write-inputs FOLDER [--sizes ...]      (writes the generated sources, for profiling,
//                                                              the merging rule's worst case and the memory
//                                                              table's one-chart file at each size)
//        --no-chart-memory leaves out the table of peak memory against one chart's size
//        --no-preview leaves out the table of pictures against conversions
//        --library-only prints only the table of whole libraries (with --write-inputs: writes them)
//        --no-library leaves that table out
//        --preview-only gives the table of pictures against conversions alone
//        --check-memory-only gives the table of check's peak memory and time beside msd2d2r's alone
//        --check-peak SOURCE                                    (one check; prints peak KiB)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/conversions.hpp"
#include "library.hpp"
#include "d2r/d2r.hpp"
#include "ddr/ddr.hpp"
#include "msd/decoder.hpp"
#include "preview/chart_check.hpp"
#include "preview/chart_loader.hpp"
#include "preview/chart_svg.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/line_io.hpp"

namespace fs = std::filesystem;
using torvane::Conversion;

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

struct ConversionInfo {
    Conversion conversion;
    const char* name;
    const char* source_extension;
};

const ConversionInfo kConversions[] = {
    {Conversion::kMSD2d2r, "msd2d2r", ".msd"},
    {Conversion::kd2r2MSD, "d2r2msd", ".d2r"},
    {Conversion::kMSD2ddr, "msd2ddr", ".msd"},
    {Conversion::kddr2MSD, "ddr2msd", ".ddr"},
};

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One side of a measure in several notations: 8th notes, 16th and 32nd groups,
// triplets and a rest. The second side uses the same rhythm with other panels
// so that the triplets of both pads agree.
const char* const kFirstSide[] = {"40208060", "(1234)(4000)(6080)20", "(123)(456)(789)(AB0)",
                                   "(12345678)(40000000)00(6080)", "00000000", "(4)(2)(8)(6)"};
const char* const kSecondSide[] = {"60804020", "(3214)(6000)(4020)80", "(321)(654)(987)(BA0)",
                                    "(32145678)(60000000)00(4020)", "00000000", "(6)(8)(2)(4)"};

// A double chart of `measures` measures, one measure per line.
std::string MsdChart(int measures) {
    std::string chart = "#DOUBLE:MANIAC:9:\r\n0000000000000000\r\n";
    for (int m = 0; m < measures; ++m) chart.append(kFirstSide[m % 6]).append("\r\n");
    chart += ":\r\n0000000000000000\r\n";
    for (int m = 0; m < measures; ++m) chart.append(kSecondSide[m % 6]).append("\r\n");
    chart += ";\r\n";
    return chart;
}

const char* const kMsdHeader = "#TITLE:Bench;\r\n#ARTIST:Torvane;\r\n#FILE:bench.wav;\r\n#BPM:150;\r\n#GAP:-40;\r\n";

// A source of about `size` bytes: a header and then the same chart unit again
// and again, so that a larger size is the smaller one repeated.
std::string Repeat(const std::string& head, const std::string& unit, std::size_t size) {
    std::string out = head;
    const std::size_t count = std::max<std::size_t>(1, (size - std::min(size, head.size())) / unit.size());
    out.reserve(head.size() + count * unit.size());
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

struct Inputs {
    std::string msd_unit, d2r_head, d2r_unit, ddr_head, ddr_unit;
};

// Builds one chart unit per format by converting an MSD chart with the engine.
Inputs MakeUnits(const fs::path& dir) {
    Inputs in;
    const int measures = 600;  // ddr step lines are read back with three digits
    in.msd_unit = MsdChart(measures);
    WriteAll(dir / "unit.msd", kMsdHeader + in.msd_unit);
    torvane::ErrorList errors;
    torvane::DdrOptions as_it_is;
    as_it_is.mode = torvane::DdrOptions::kAsItIs;
    torvane::RunConversion(Conversion::kMSD2d2r, dir / "unit.msd", dir / "unit.d2r", torvane::kCaption, as_it_is,
                           errors);
    const std::string d2r = ReadAll(dir / "unit.d2r");
    const auto section = d2r.find("*----------------------");
    in.d2r_head = d2r.substr(0, section);
    in.d2r_unit = d2r.substr(section);
    torvane::RunConversion(Conversion::kMSD2ddr, dir / "unit.msd", dir / "unit.ddr", torvane::kCaption, as_it_is,
                           errors);
    const std::string ddr = ReadAll(dir / "unit_dm.ddr");
    // The step lines follow the level comment, the last line of the head.
    const auto level = ddr.find("#comment LEVEL ");
    const auto steps = level == std::string::npos ? level : ddr.find("\r\n", level) + 2;
    if (steps == std::string::npos) throw std::runtime_error("the generated ddr chart has no level line");
    in.ddr_head = ddr.substr(0, steps);
    // Charts after the first are separated by a comment line.
    in.ddr_unit = ddr.substr(steps) + "#comment\r\n";
    return in;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

template <typename F>
double TimeSeconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return Seconds(std::chrono::steady_clock::now() - start);
}

std::vector<fs::path> Convert(const ConversionInfo& c, const fs::path& source, const fs::path& destination) {
    torvane::ErrorList errors;
    torvane::DdrOptions options;
    options.mode = torvane::DdrOptions::kAsItIs;
    return torvane::RunConversion(c.conversion, source, destination, torvane::kCaption, options, errors);
}

// An output file as the floor writes it again: its bytes and its lines.
struct Output {
    std::string bytes;
    std::vector<std::string_view> lines;
};
using Outputs = std::vector<Output>;

Output ReadOutput(const fs::path& file) {
    Output output;
    output.bytes = ReadAll(file);
    const std::string_view bytes = output.bytes;
    std::size_t from = 0;
    for (auto at = bytes.find("\r\n"); at != std::string_view::npos; at = bytes.find("\r\n", from)) {
        output.lines.push_back(bytes.substr(from, at - from));
        from = at + 2;
    }
    return output;
}

// Reads the source line by line and writes the given output lines, as a
// conversion would, but with nothing in between: `commits` files in all,
// taking the outputs in turn, each safely (temporary file, sync, rename).
void IoFloor(const fs::path& source, const Outputs& outputs, std::size_t commits, const fs::path& scratch) {
    auto in = torvane::DiskStorage().OpenSource(source);
    std::string line;
    std::size_t count = 0;
    while (in->ReadLine(line)) ++count;
    for (std::size_t i = 0; i < commits && !outputs.empty(); ++i) {
        const Output& output = outputs[i % outputs.size()];
        // Beside the source's name, so that each size replaces its own files
        // as the conversion does, never a larger one of another size.
        auto out = torvane::DiskStorage().CreateDestination(
            scratch / ("floor-" + source.stem().string() + "-" + std::to_string(i % outputs.size())), source);
        for (const std::string_view l : output.lines) out->WriteLine(l);
        out->Commit();
    }
    if (count == 0) std::abort();
}

// How many files a conversion of `input` commits. MSD to ddr writes a file for
// every chart as soon as the chart is complete, and a later chart of the same
// style and difficulty writes that file again; the generated sources repeat
// one chart, so the conversion writes one file again and again. The floor
// writes what the conversion writes. The other conversions write one file.
std::size_t Commits(Conversion conversion, const std::string& input, std::size_t outputs) {
    if (conversion != Conversion::kMSD2ddr) return outputs;
    std::size_t charts = 0;
    for (const char* tag : {"\n#SINGLE:", "\n#DOUBLE:", "\n#COUPLE:"}) {
        for (auto at = input.find(tag); at != std::string::npos; at = input.find(tag, at + 1)) ++charts;
    }
    return std::max(charts, outputs);
}

// Runs one conversion in a fresh process and returns its peak resident
// memory, as the process itself reads it (VmHWM): the figure of the exec'd
// image alone, not of this process that spawned it.
double PeakMiB(const char* self, const ConversionInfo& c, const fs::path& source, const fs::path& destination) {
    std::string command = "'";
    command.append(self).append("' --peak ").append(c.name).append(" '").append(source.string());
    command.append("' '").append(destination.string()).append("'");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    double kib = -1;
    if (std::fscanf(pipe, "%lf", &kib) != 1) kib = -1;
    if (::pclose(pipe) != 0) return -1;
    return kib / 1024.0;
}

// The peak resident memory of this process in KiB.
long PeakKiBOfThisProcess() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

int PeakMode(const std::string& name, const fs::path& source, const fs::path& destination) {
    for (const auto& c : kConversions) {
        if (name == c.name) {
            Convert(c, source, destination);
            std::printf("%ld\n", PeakKiBOfThisProcess());
            return 0;
        }
    }
    return 2;
}

// `check` of an MSD file in this process, as the command runs it: prints the
// peak KiB.
int CheckPeakMode(const fs::path& source) {
    (void)torvane::CheckRoundTrips(source, torvane::ChartFormat::kMSD, torvane::DdrOptions{});
    std::printf("%ld\n", PeakKiBOfThisProcess());
    return 0;
}

double CheckPeakMiB(const char* self, const fs::path& source) {
    const std::string command = std::string("'") + self + "' --check-peak '" + source.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    double kib = -1;
    if (std::fscanf(pipe, "%lf", &kib) != 1) kib = -1;
    if (::pclose(pipe) != 0) return -1;
    return kib / 1024.0;
}

// The peak memory of check beside msd2d2r's on the same MSD files: one chart
// of many measures, and many charts of 600 measures. check should stay within
// twice msd2d2r's. Beside them the time of each, a process's whole run, the
// median of three taking turns: check converts the file four times.
void CheckMemory(const char* self, const Inputs& units, const fs::path& dir) {
    std::printf("\npeak memory of check beside msd2d2r on the same MSD file:\n");
    std::printf("%-22s %9s %13s %11s %7s %11s %9s\n", "file", "input MB", "msd2d2r MB", "check MB", "ratio",
                "msd2d2r s", "check s");
    struct File {
        std::string name;
        std::string bytes;
    };
    const std::vector<File> files = {{"one chart, 25000 m.", kMsdHeader + MsdChart(25000)},
                                     {"one chart, 200000 m.", kMsdHeader + MsdChart(200000)},
                                     {"charts of 600 m., 4 MB", Repeat(kMsdHeader, units.msd_unit, 4u << 20)},
                                     {"charts of 600 m., 16 MB", Repeat(kMsdHeader, units.msd_unit, 16u << 20)}};
    constexpr int kRuns = 3;
    for (const File& file : files) {
        const fs::path msd = dir / "check.msd";
        WriteAll(msd, file.bytes);
        std::vector<double> converted, checked, convert_times, check_times;
        for (int run = 0; run < kRuns; ++run) {
            convert_times.push_back(
                TimeSeconds([&] { converted.push_back(PeakMiB(self, kConversions[0], msd, dir / "check.d2r")); }));
            check_times.push_back(TimeSeconds([&] { checked.push_back(CheckPeakMiB(self, msd)); }));
        }
        std::printf("%-22s %9.1f %13.1f %11.1f %7.2f %11.2f %9.2f\n", file.name.c_str(),
                    static_cast<double>(file.bytes.size()) / kMiB, Median(converted), Median(checked),
                    Median(checked) / Median(converted), Median(convert_times), Median(check_times));
        std::fflush(stdout);
        fs::remove(msd);
    }
}

// Peak memory against the size of one chart: a file of a single double chart
// of about 16 and 64 MB of MSD, and its d2r conversion as the source of d2r to
// MSD. The goal is 1.5 times the chart's own size in bytes of the source
// plus 16 MB (one job). The chart's expanded text is both pads written out
// at one character per 32nd-note cell, as the converters decode them; the
// growth of the peak between the two sizes, per byte of growth of the
// expanded text, is what a conversion holds per byte of a chart. ddr charts
// are left out: their measure numbers end at 999.
void ChartMemory(const char* self, const fs::path& dir) {
    constexpr int kChartMiB[] = {16, 64};
    constexpr double kGoalPerChartByte = 1.5;
    constexpr double kGoalPerJobMiB = 16;
    std::printf("\npeak memory for a file of one chart (expanded: both pads at one character per 32nd note);\n");
    std::printf("goal: at most %.1f x the chart's size in the source + %.0f MB\n", kGoalPerChartByte, kGoalPerJobMiB);
    std::printf("%-8s %9s %9s %12s %9s %9s\n", "convert", "measures", "input MB", "expanded MB", "peak MB", "goal MB");
    std::map<std::string, std::map<int, double>> peaks;
    std::map<int, double> expanded;
    const double bytes_per_measure = static_cast<double>(MsdChart(600).size()) / 600;
    for (const int mib : kChartMiB) {
        const int measures = static_cast<int>(mib * kMiB / bytes_per_measure);
        std::string sides[2];
        for (int m = 0; m < measures; ++m) {
            sides[0].append(kFirstSide[m % 6]);
            sides[1].append(kSecondSide[m % 6]);
        }
        torvane::ErrorList errors;
        expanded[mib] =
            static_cast<double>(torvane::DecodeMSDSteps("0000000000000000" + sides[0], "bench", errors).size() +
                                torvane::DecodeMSDSteps("0000000000000000" + sides[1], "bench", errors).size()) /
            kMiB;
        const fs::path msd = dir / ("chart-" + std::to_string(mib) + ".msd");
        const fs::path d2r = dir / ("chart-" + std::to_string(mib) + ".d2r");
        WriteAll(msd, kMsdHeader + MsdChart(measures));
        Convert(kConversions[0], msd, d2r);
        for (const auto& c : kConversions) {
            if (c.conversion == Conversion::kddr2MSD) continue;
            const fs::path& source = c.conversion == Conversion::kd2r2MSD ? d2r : msd;
            const fs::path destination = dir / (std::string("chart-out-") + c.name +
                                                std::string(torvane::DestinationExtension(c.conversion)));
            const double peak = PeakMiB(self, c, source, destination);
            const double input = static_cast<double>(fs::file_size(source)) / kMiB;
            const double goal = kGoalPerChartByte * input + kGoalPerJobMiB;
            peaks[c.name][mib] = peak;
            std::printf("%-8s %9d %9.1f %12.1f %9.1f %9.1f %s\n", c.name, measures, input, expanded[mib], peak, goal,
                        peak <= goal ? "ok" : "OVER");
            std::fflush(stdout);
            for (const auto& entry : fs::directory_iterator(dir)) {
                if (entry.path().filename().string().starts_with("chart-out-")) fs::remove(entry.path());
            }
        }
        fs::remove(msd);
        fs::remove(d2r);
    }
    std::printf("\nmemory per byte of expanded text (growth from %d to %d MB charts):\n", kChartMiB[0], kChartMiB[1]);
    for (const auto& c : kConversions) {
        if (c.conversion == Conversion::kddr2MSD) continue;
        std::printf("  %-8s %.2f\n", c.name,
                    (peaks[c.name][kChartMiB[1]] - peaks[c.name][kChartMiB[0]]) /
                        (expanded[kChartMiB[1]] - expanded[kChartMiB[0]]));
    }
}

}  // namespace

// What torvane-cli preview does with one source: every chart read and drawn,
// one at a time, each picture written safely.
std::size_t DrawPictures(const fs::path& source, const fs::path& folder) {
    torvane::ErrorList errors;
    torvane::ChartFile file(source, torvane::ChartFormat::kMSD, errors);
    file.ReadEachChart(errors, [&](std::size_t place, torvane::Chart&& chart) {
        const std::string svg = torvane::RenderChartSvg(chart);
        auto sink = torvane::DiskStorage().CreateDestination(folder / ("chart-" + std::to_string(place) + ".svg"), source);
        std::string_view rest = svg;
        for (std::size_t end = rest.find("\r\n"); end != std::string_view::npos; end = rest.find("\r\n")) {
            sink->WriteLine(rest.substr(0, end));
            rest.remove_prefix(end + 2);
        }
        sink->Commit();
    });
    return file.Heads().size();
}

// The same work with every file written to memory: drawing and converting
// without the flush that makes each file durable, which the pictures (one
// file per chart) pay as often as MSD to ddr, and MSD to d2r once.
std::size_t DrawPicturesInMemory(const fs::path& source) {
    torvane::ErrorList errors;
    torvane::MemoryDestinations memory(torvane::DiskStorage());
    torvane::ChartFile file(source, torvane::ChartFormat::kMSD, errors, memory);
    file.ReadEachChart(errors, [&](std::size_t place, torvane::Chart&& chart) {
        const std::string svg = torvane::RenderChartSvg(chart);
        auto sink = memory.CreateDestination("chart-" + std::to_string(place) + ".svg", source);
        std::string_view rest = svg;
        for (std::size_t end = rest.find("\r\n"); end != std::string_view::npos; end = rest.find("\r\n")) {
            sink->WriteLine(rest.substr(0, end));
            rest.remove_prefix(end + 2);
        }
        sink->Commit();
    });
    return file.Heads().size();
}

void ConvertInMemory(Conversion conversion, const fs::path& source) {
    torvane::ErrorList errors;
    torvane::MemoryDestinations memory(torvane::DiskStorage());
    if (conversion == Conversion::kMSD2d2r) {
        torvane::ConvertMSD2d2r(source, "memory.d2r", torvane::kCaption, errors, memory);
    } else {
        torvane::DdrOptions options;
        options.mode = torvane::DdrOptions::kAsItIs;
        (void)torvane::ConvertMSD2ddr(source, "memory.ddr", torvane::kCaption, options, errors, memory);
    }
}

// Previewing a library should take no longer than converting it: the time to
// draw every chart of an MSD source against the time to convert it to d2r (one
// file) and to ddr (one file per chart, as the pictures), taking turns; then
// the same with the files kept in memory.
void PreviewAgainstConversion(const Inputs& units, const std::vector<int>& sizes, int runs, const fs::path& dir) {
    std::printf("\n%-8s %7s %9s %9s %9s %10s %10s %10s %10s\n", "preview", "MB", "MB/s", "charts", "SVG MB",
                "x msd2d2r", "x msd2ddr", "x msd2d2r", "x msd2ddr");
    std::printf("%-8s %7s %9s %9s %9s %21s %21s\n", "", "", "", "", "", "(on disk)", "(in memory)");
    const fs::path pictures = dir / "pictures";
    fs::create_directories(pictures);
    for (const int mb : sizes) {
        const fs::path source = dir / ("preview-" + std::to_string(mb) + ".msd");
        const std::string input = Repeat(kMsdHeader, units.msd_unit, static_cast<std::size_t>(mb) * 1024 * 1024);
        WriteAll(source, input);
        std::vector<double> preview_times;
        std::vector<double> d2r_times;
        std::vector<double> ddr_times;
        std::vector<double> memory_times[3];
        std::size_t charts = 0;
        for (int round = 0; round <= runs; ++round) {
            ::sync();
            const double p = TimeSeconds([&] { charts = DrawPictures(source, pictures); });
            ::sync();
            const double d2r = TimeSeconds([&] { Convert(kConversions[0], source, dir / "preview-out.d2r"); });
            ::sync();
            const double ddr = TimeSeconds([&] { Convert(kConversions[2], source, dir / "preview-out.ddr"); });
            const double memory_p = TimeSeconds([&] { DrawPicturesInMemory(source); });
            const double memory_d2r = TimeSeconds([&] { ConvertInMemory(Conversion::kMSD2d2r, source); });
            const double memory_ddr = TimeSeconds([&] { ConvertInMemory(Conversion::kMSD2ddr, source); });
            if (round == 0) continue;
            preview_times.push_back(p);
            d2r_times.push_back(d2r);
            ddr_times.push_back(ddr);
            memory_times[0].push_back(memory_p);
            memory_times[1].push_back(memory_d2r);
            memory_times[2].push_back(memory_ddr);
        }
        double svg_bytes = 0;
        for (const auto& entry : fs::directory_iterator(pictures)) svg_bytes += static_cast<double>(entry.file_size());
        const double mib = static_cast<double>(input.size()) / kMiB;
        const double p = Median(preview_times);
        const double memory_p = Median(memory_times[0]);
        std::printf("%-8s %7.1f %9.1f %9zu %9.1f %10.2f %10.2f %10.2f %10.2f\n", "svg", mib, mib / p, charts,
                    svg_bytes / kMiB, p / Median(d2r_times), p / Median(ddr_times), memory_p / Median(memory_times[1]),
                    memory_p / Median(memory_times[2]));
        std::fflush(stdout);
        fs::remove(source);
    }
    fs::remove_all(pictures);
}

// A single chart of about `size` bytes on which every merging pass finds one
// new pair a little further on: the 32nd-note cells "1" and then "00011"
// again and again, eight cells to a group. The merging rule's worst case, for
// profiling: msd2d2r holds the whole chart while it merges.
std::string WorstMergingChart(std::size_t size) {
    std::string cells = "1";
    while (cells.size() < size * 8 / 10) cells += "00011";
    cells.append((8 - cells.size() % 8) % 8, '0');
    std::string chart = std::string(kMsdHeader) + "#SINGLE:MANIAC:9:\r\n";
    for (std::size_t at = 0; at < cells.size(); at += 8) {
        chart.append("(").append(cells, at, 8).append(")");
        if (at % 64 == 56) chart += "\r\n";
    }
    return chart + ";\r\n";
}

int main(int argc, char** argv) {
    std::vector<int> sizes = {1, 4, 16, 64};
    int runs = 5;
    fs::path inputs_folder;
    bool no_chart_memory = false;
    bool no_preview = false;
    bool library_only = false;
    bool no_library = false;
    bool preview_only = false;
    bool check_memory_only = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--peak" && i + 3 < argc) return PeakMode(argv[i + 1], argv[i + 2], argv[i + 3]);
        if (arg == "--check-peak" && i + 1 < argc) return CheckPeakMode(argv[i + 1]);
        if (arg == "--check-memory-only") check_memory_only = true;
        if (arg == "--library-peak" && i + 4 < argc) {
            return torvane::bench::LibraryPeakMode(argv[i + 1], argv[i + 2], argv[i + 3],
                                                   static_cast<unsigned>(std::atoi(argv[i + 4])));
        }
        if (arg == "--library-only") library_only = true;
        if (arg == "--no-library") no_library = true;
        if (arg == "--write-inputs" && i + 1 < argc) inputs_folder = argv[++i];
        if (arg == "--no-chart-memory") no_chart_memory = true;
        if (arg == "--no-preview") no_preview = true;
        if (arg == "--preview-only") preview_only = true;
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::stringstream list(argv[++i]);
            for (std::string s; std::getline(list, s, ',');) sizes.push_back(std::atoi(s.c_str()));
        }
    }

    const fs::path dir = fs::temp_directory_path() / ("torvane-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    try {
        if (check_memory_only) {
            CheckMemory(argv[0], MakeUnits(dir), dir);
            fs::remove_all(dir);
            return 0;
        }
        if (preview_only) {
            PreviewAgainstConversion(MakeUnits(dir), sizes, runs, dir);
            fs::remove_all(dir);
            return 0;
        }
        if (library_only && !inputs_folder.empty()) {
            for (const int songs : {50, 200}) torvane::bench::WriteLibraries(inputs_folder, songs);
        }
        if (!library_only) {
            const Inputs units = MakeUnits(dir);
            std::printf("%-8s %7s %9s %9s %10s %8s\n", "convert", "MB", "MB/s", "peak MB", "floor s", "x floor");
            std::map<std::string, std::map<int, double>> times;
            for (const auto& c : kConversions) {
                // Every size of the conversion is prepared first; then the runs go
                // round all sizes, conversion and floor in turn, so that a machine
                // that slows down for a while weighs on every figure alike, the
                // growth from 16 to 64 MB included.
                struct SizeRun {
                    int mb = 0;
                    fs::path source;
                    fs::path destination;
                    double input_mib = 0;
                    Outputs outputs;
                    std::size_t commits = 0;
                    std::vector<double> conversion_times;
                    std::vector<double> floor_times;
                };
                std::vector<SizeRun> size_runs;
                for (const int mb : sizes) {
                    const std::size_t bytes = static_cast<std::size_t>(mb) * 1024 * 1024;
                    std::string input;
                    if (std::string(c.source_extension) == ".msd") input = Repeat(kMsdHeader, units.msd_unit, bytes);
                    else if (std::string(c.source_extension) == ".d2r") input = Repeat(units.d2r_head, units.d2r_unit, bytes);
                    else input = Repeat(units.ddr_head, units.ddr_unit, bytes);
                    SizeRun run;
                    run.mb = mb;
                    run.source = dir / (std::string("in-") + c.name + "-" + std::to_string(mb) + c.source_extension);
                    run.destination = dir / (std::string("out-") + c.name + "-" + std::to_string(mb) +
                                             std::string(torvane::DestinationExtension(c.conversion)));
                    if (!inputs_folder.empty()) {
                        fs::create_directories(inputs_folder);
                        WriteAll(inputs_folder / run.source.filename(), input);
                        continue;
                    }
                    WriteAll(run.source, input);
                    run.input_mib = static_cast<double>(input.size()) / kMiB;
                    for (const auto& written : Convert(c, run.source, run.destination)) {
                        run.outputs.push_back(ReadOutput(written));
                    }
                    run.commits = Commits(c.conversion, input, run.outputs.size());
                    size_runs.push_back(std::move(run));
                }
                for (int round = 0; round <= runs; ++round) {  // round 0 is the warm-up
                    for (SizeRun& run : size_runs) {
                        // Each timing starts with nothing left to write back, so
                        // that no run's sync waits for what an earlier one wrote.
                        ::sync();
                        const double t = TimeSeconds([&] { Convert(c, run.source, run.destination); });
                        ::sync();
                        const double floor = TimeSeconds([&] { IoFloor(run.source, run.outputs, run.commits, dir); });
                        if (round == 0) continue;
                        run.conversion_times.push_back(t);
                        run.floor_times.push_back(floor);
                    }
                }
                for (SizeRun& run : size_runs) {
                    run.outputs.clear();
                    const double t = Median(run.conversion_times);
                    const double floor = Median(run.floor_times);
                    const double peak = PeakMiB(argv[0], c, run.source, run.destination);
                    times[c.name][run.mb] = t / run.input_mib;
                    std::printf("%-8s %7.1f %9.1f %9.1f %10.4f %8.2f\n", c.name, run.input_mib, run.input_mib / t, peak,
                                floor, t / floor);
                    std::fflush(stdout);
                    fs::remove(run.source);
                }
            }
            if (!inputs_folder.empty()) {
                for (const int mb : sizes) {
                    WriteAll(inputs_folder / ("worst-msd2d2r-" + std::to_string(mb) + ".msd"),
                             WorstMergingChart(static_cast<std::size_t>(mb) * 1024 * 1024));
                    // The one-chart file of the memory table, for measuring a peak alone.
                    const double bytes_per_measure = static_cast<double>(MsdChart(600).size()) / 600;
                    WriteAll(inputs_folder / ("chart-" + std::to_string(mb) + ".msd"),
                             kMsdHeader + MsdChart(static_cast<int>(mb * kMiB / bytes_per_measure)));
                }
            }
            if (std::find(sizes.begin(), sizes.end(), 16) != sizes.end() &&
                std::find(sizes.begin(), sizes.end(), 64) != sizes.end()) {
                std::printf("\ngrowth of time from 16 to 64 MB (linear is 4.0):\n");
                for (const auto& c : kConversions) {
                    std::printf("  %-8s %.2f\n", c.name, 4.0 * times[c.name][64] / times[c.name][16]);
                }
            }
            if (inputs_folder.empty() && !no_chart_memory) ChartMemory(argv[0], dir);
            if (inputs_folder.empty() && !no_chart_memory) CheckMemory(argv[0], units, dir);
            if (inputs_folder.empty() && !no_preview) PreviewAgainstConversion(units, sizes, runs, dir);
        }
        if (!no_library && inputs_folder.empty()) torvane::bench::LibraryTable(argv[0], runs, dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvane-bench: %s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
