// Measures the four conversions on generated charts of 1, 4, 16 and 64 MB.
//
// For each conversion and size it prints the input throughput, the peak
// memory of a process that runs the conversion once, and the ratio of the
// conversion's time to its I/O floor: reading the same input line by line and
// writing the same output bytes, with no conversion, in the same run. Times
// are medians of repeated runs after a warm-up run. The growth factor from 16
// to 64 MB shows whether time grows linearly (4.0).
//
// Usage: torvane-bench [--sizes 1,4,16,64] [--runs N]
//        torvane-bench --peak CONVERSION SOURCE DESTINATION   (one run; prints peak KiB)

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

template <typename F>
double MedianSeconds(int runs, F&& f) {
    f();  // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(Seconds(std::chrono::steady_clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<fs::path> Convert(const ConversionInfo& c, const fs::path& source, const fs::path& destination) {
    torvane::ErrorList errors;
    torvane::DdrOptions options;
    options.mode = torvane::DdrOptions::kAsItIs;
    return torvane::RunConversion(c.conversion, source, destination, torvane::kCaption, options, errors);
}

// Reads the source line by line and writes the given output lines, as a
// conversion would, but with nothing in between.
void IoFloor(const fs::path& source, const std::vector<std::pair<fs::path, std::vector<std::string>>>& outputs,
             const fs::path& scratch) {
    auto in = torvane::DiskStorage().OpenSource(source);
    std::string line;
    std::size_t count = 0;
    while (in->ReadLine(line)) ++count;
    std::size_t i = 0;
    for (const auto& [name, lines] : outputs) {
        auto out = torvane::DiskStorage().CreateDestination(scratch / ("floor" + std::to_string(i++)), source);
        for (const auto& l : lines) out->WriteLine(l);
        out->Commit();
    }
    if (count == 0) std::abort();
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (auto at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", from)) {
        lines.push_back(bytes.substr(from, at - from));
        from = at + 2;
    }
    return lines;
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1, 4, 16, 64};
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--peak" && i + 3 < argc) return PeakMode(argv[i + 1], argv[i + 2], argv[i + 3]);
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
        const Inputs units = MakeUnits(dir);
        std::printf("%-8s %7s %9s %9s %10s %8s\n", "convert", "MB", "MB/s", "peak MB", "floor s", "x floor");
        std::map<std::string, std::map<int, double>> times;
        for (const auto& c : kConversions) {
            for (const int mb : sizes) {
                const std::size_t bytes = static_cast<std::size_t>(mb) * 1024 * 1024;
                std::string input;
                if (std::string(c.source_extension) == ".msd") input = Repeat(kMsdHeader, units.msd_unit, bytes);
                else if (std::string(c.source_extension) == ".d2r") input = Repeat(units.d2r_head, units.d2r_unit, bytes);
                else input = Repeat(units.ddr_head, units.ddr_unit, bytes);
                const fs::path source = dir / (std::string("in-") + c.name + "-" + std::to_string(mb) + c.source_extension);
                const fs::path destination = dir / (std::string("out-") + c.name + "-" + std::to_string(mb) +
                                                    std::string(torvane::DestinationExtension(c.conversion)));
                WriteAll(source, input);
                const double input_mib = static_cast<double>(input.size()) / kMiB;
                input.clear();
                input.shrink_to_fit();

                const int n = mb >= 64 ? std::max(1, runs / 2) : runs;
                const double t = MedianSeconds(n, [&] { Convert(c, source, destination); });
                std::vector<std::pair<fs::path, std::vector<std::string>>> outputs;
                for (const auto& written : Convert(c, source, destination)) {
                    outputs.emplace_back(written, Lines(ReadAll(written)));
                }
                const double floor = MedianSeconds(n, [&] { IoFloor(source, outputs, dir); });
                outputs.clear();
                const double peak = PeakMiB(argv[0], c, source, destination);
                times[c.name][mb] = t / input_mib;
                std::printf("%-8s %7.1f %9.1f %9.1f %10.4f %8.2f\n", c.name, input_mib, input_mib / t, peak, floor,
                            t / floor);
                std::fflush(stdout);
                fs::remove(source);
            }
        }
        if (std::find(sizes.begin(), sizes.end(), 16) != sizes.end() &&
            std::find(sizes.begin(), sizes.end(), 64) != sizes.end()) {
            std::printf("\ngrowth of time from 16 to 64 MB (linear is 4.0):\n");
            for (const auto& c : kConversions) {
                std::printf("  %-8s %.2f\n", c.name, 4.0 * times[c.name][64] / times[c.name][16]);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvane-bench: %s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
