#include "library.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "cli/cli.hpp"

namespace torvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kMeasures = 200;
constexpr int kSongCounts[] = {50, 200};

// The goals the table is read against.
constexpr double kGoalOneJob = 2.0;
constexpr double kGoalTwoJobs = 1.5;
constexpr double kGoalGrowth = 4.4;
constexpr double kGoalMemoryPerChartByte = 1.5;
constexpr double kGoalMemoryPerJobMiB = 16;

const char* Verdict(bool met) { return met ? "ok" : "OVER"; }

struct LibraryConversion {
    Conversion conversion;
    const char* name;
    const char* source;  // the library it reads: "msd", "d2r" or "ddr"
};

// "sm" is the command of simfiles, run as torvane-cli runs it (its
// conversion is none).
constexpr LibraryConversion kConversions[] = {
    {Conversion::kMSD2d2r, "msd2d2r", "msd"},
    {Conversion::kd2r2MSD, "d2r2msd", "d2r"},
    {Conversion::kMSD2ddr, "msd2ddr", "msd"},
    {Conversion::kddr2MSD, "ddr2msd", "ddr"},
    {Conversion::kMSD2d2r, "sm", "msd"},
};

// Simfiles at most this many times msd2d2r's time on the same library.
constexpr double kGoalSimfilesAgainstD2r = 1.5;

// Measures of whole beats, 16th, 32nd and triplet groups; the second pad has
// the same rhythm on other panels, so that the pads' triplets agree.
const char* const kFirstPad[] = {"40208060", "(1234)(4000)(6080)20", "(123)(426)(789)(AB0)", "(12346789)(4000)2080",
                                 "4(2)86", "(4268)(4268)(4268)(4268)"};
const char* const kSecondPad[] = {"60804020", "(3214)(6000)(4020)80", "(321)(624)(987)(BA0)", "(98764321)(6000)8020",
                                  "6(8)24", "(6824)(6824)(6824)(6824)"};

std::string Pad(const char* const* pad, int offset) {
    std::string text = "0000000000000000";
    for (int m = 0; m < kMeasures; ++m) text.append(pad[(m + offset) % 6]);
    return text;
}

std::string Song(int number) {
    std::string song = "#TITLE:Song " + std::to_string(number) + ";\r\n#ARTIST:Torvane;\r\n#FILE:song" +
                       std::to_string(number) + ".wav;\r\n#BPM:150;\r\n#GAP:-40;\r\n";
    const char* const difficulties[] = {"BASIC", "ANOTHER", "MANIAC"};
    for (int d = 0; d < 3; ++d) {
        song.append("#SINGLE:").append(difficulties[d]).append(":").append(std::to_string(3 + 3 * d)).append(":\r\n");
        song.append(Pad(kFirstPad, number + d)).append(";\r\n");
    }
    for (int d = 0; d < 3; ++d) {
        song.append("#DOUBLE:").append(difficulties[d]).append(":").append(std::to_string(4 + 3 * d)).append(":\r\n");
        song.append(Pad(kFirstPad, number + d)).append(":\r\n").append(Pad(kSecondPad, number + d)).append(";\r\n");
    }
    return song;
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Runs a batch; throws when a file fails, or has error lines other than the
// one the d2r reader reports for each "MUSICEND" that a separator follows.
void Batch(const LibraryConversion& c, const fs::path& library, const fs::path& out, unsigned jobs) {
    fs::create_directories(out);
    if (std::string_view(c.name) == "sm") {
        std::vector<std::string> args = {"torvane-cli", "sm", "-q", "--no-progress", "-j", std::to_string(jobs),
                                         "-o", out.string(), library.string()};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        std::ostringstream ignored_out, err;
        if (RunCli(static_cast<int>(argv.size()), argv.data(), ignored_out, err) != 0) {
            throw std::runtime_error(library.string() + " does not convert cleanly to simfiles: " + err.str());
        }
        return;
    }
    const Conversion conversion = c.conversion;
    BatchSettings settings;
    settings.jobs = jobs;
    settings.ddr_options.mode = DdrOptions::kAsItIs;
    BatchCallbacks callbacks;
    callbacks.file_done = [conversion](const FileResult& result) {
        if (result.status != FileStatus::kConverted ||
            (!result.error_lines.empty() && conversion != Conversion::kd2r2MSD)) {
            throw std::runtime_error(result.source.string() + " does not convert cleanly");
        }
    };
    (void)RunBatch(PlanBatch(conversion, {library}, out), settings, callbacks);
}

// Ten songs to a folder, as packs are.
void WriteMsdLibrary(const fs::path& folder, int songs) {
    for (int i = 0; i < songs; ++i) {
        WriteAll(folder / ("pack" + std::to_string(i / 10)) / ("song" + std::to_string(i) + ".msd"), Song(i));
    }
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename F>
double Timed(F&& f) {
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    f();
    return Seconds(std::chrono::steady_clock::now() - start);
}

// This process's processor time, its threads' included: unlike the wall
// clock, it does not swing with the sync of many small files.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

// What the durable floor does: cat of the inputs, cp of the same output
// files into a fresh folder, one sync.
void Floor(const std::vector<fs::path>& inputs, const std::vector<std::pair<fs::path, std::string>>& outputs,
           const fs::path& fresh) {
    std::size_t bytes = 0;
    for (const auto& input : inputs) bytes += ReadAll(input).size();
    for (const auto& [name, content] : outputs) WriteAll(fresh / name, content);
    ::sync();
    if (bytes == 0) std::abort();
}

double PeakMiB(const char* self, const LibraryConversion& c, const fs::path& library, const fs::path& out,
               unsigned jobs) {
    fs::remove_all(out);
    std::string command = "'";
    command.append(self).append("' --library-peak ").append(c.name).append(" '").append(library.string());
    command.append("' '").append(out.string()).append("' ").append(std::to_string(jobs));
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    double kib = -1;
    if (std::fscanf(pipe, "%lf", &kib) != 1) kib = -1;
    if (::pclose(pipe) != 0) return -1;
    return kib / 1024.0;
}

// The size of the largest chart of a source: of its step lines from a chart
// tag (MSD) or a separator (d2r, and ddr files, one chart each) to the next.
double LargestChartMiB(const fs::path& source) {
    const std::string bytes = ReadAll(source);
    const bool msd = source.extension() == ".msd";
    std::size_t largest = 0;
    std::size_t begin = 0;
    const auto starts_chart = [&](std::size_t at) {
        const std::string_view line = std::string_view(bytes).substr(at);
        return msd ? line.starts_with("#SINGLE:") || line.starts_with("#DOUBLE:") || line.starts_with("#COUPLE:")
                   : line.starts_with("*---");
    };
    for (std::size_t at = 0; at < bytes.size(); at = bytes.find('\n', at) + 1) {
        if (starts_chart(at)) {
            largest = std::max(largest, at - begin);
            begin = at;
        }
        if (bytes.find('\n', at) == std::string::npos) break;
    }
    largest = std::max(largest, bytes.size() - begin);
    if (source.extension() == ".ddr") largest = bytes.size();
    return static_cast<double>(largest) / kMiB;
}

double MemoryGoalMiB(double largest_chart_mib, unsigned jobs) {
    return kGoalMemoryPerChartByte * largest_chart_mib + kGoalMemoryPerJobMiB * jobs;
}

long PeakKiBOfThisProcess() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

}  // namespace

void WriteLibraries(const fs::path& folder, int songs) {
    const std::string n = std::to_string(songs);
    WriteMsdLibrary(folder / ("msd-" + n), songs);
    Batch(kConversions[0], folder / ("msd-" + n), folder / ("d2r-" + n), 2);
    Batch(kConversions[2], folder / ("msd-" + n), folder / ("ddr-" + n), 2);
}

int LibraryPeakMode(const std::string& conversion, const fs::path& library, const fs::path& out, unsigned jobs) {
    for (const auto& c : kConversions) {
        if (conversion != c.name) continue;
        Batch(c, library, out, jobs);
        std::printf("%ld\n", PeakKiBOfThisProcess());
        return 0;
    }
    return 2;
}

void LibraryTable(const char* self, int runs, const fs::path& dir) {
    std::printf("\nlibraries of songs of six charts of %d measures, each run into a fresh folder;\n", kMeasures);
    std::printf("floor: cat of the inputs, cp of the same outputs into a fresh folder, one sync\n");
    std::printf("goals: at most %.1f x the floor at -j1 and %.1f x at -j2; peak at most %.1f x the largest chart's\n",
                kGoalOneJob, kGoalTwoJobs, kGoalMemoryPerChartByte);
    std::printf("size + %.0f MB per job; growth from %d to %d songs at most %.1f (\"ok\" or \"OVER\" after each)\n",
                kGoalMemoryPerJobMiB, kSongCounts[0], kSongCounts[1], kGoalGrowth);
    std::printf("%-8s %6s %6s %7s %9s %9s %9s %12s %12s %8s %8s %9s\n", "convert", "songs", "files", "MB", "floor s",
                "-j1 s", "-j2 s", "-j1 x", "-j2 x", "peak -j1", "peak -j2", "peak goal");
    for (const int songs : kSongCounts) WriteLibraries(dir, songs);

    std::map<std::string, std::map<int, std::pair<double, double>>> times;
    std::map<std::string, std::map<int, std::pair<double, double>>> cpu_times;  // processor seconds
    for (const auto& c : kConversions) {
        struct SizeRun {
            int songs = 0;
            fs::path library;
            std::vector<fs::path> inputs;
            std::vector<std::pair<fs::path, std::string>> outputs;
            double mib = 0;
            double largest_chart_mib = 0;
            std::vector<double> floor, one, two, cpu_one, cpu_two;
        };
        std::vector<SizeRun> size_runs;
        for (const int songs : kSongCounts) {
            SizeRun run;
            run.songs = songs;
            run.library = dir / (std::string(c.source) + "-" + std::to_string(songs));
            run.inputs = FilesBelow(run.library);
            for (const auto& input : run.inputs) {
                run.mib += static_cast<double>(fs::file_size(input)) / kMiB;
                run.largest_chart_mib = std::max(run.largest_chart_mib, LargestChartMiB(input));
            }
            const fs::path out = dir / "out-first";
            fs::remove_all(out);
            Batch(c, run.library, out, 2);
            for (const auto& file : FilesBelow(out)) run.outputs.emplace_back(file.lexically_relative(out), ReadAll(file));
            fs::remove_all(out);
            size_runs.push_back(std::move(run));
        }
        int fresh = 0;
        for (int round = 0; round <= runs; ++round) {  // round 0 is the warm-up
            for (SizeRun& run : size_runs) {
                const fs::path a = dir / ("fresh-" + std::to_string(fresh++));
                const fs::path b = dir / ("fresh-" + std::to_string(fresh++));
                const fs::path f = dir / ("fresh-" + std::to_string(fresh++));
                const double floor = Timed([&] { Floor(run.inputs, run.outputs, f); });
                double cpu_one = CpuSeconds();
                const double one = Timed([&] { Batch(c, run.library, a, 1); });
                cpu_one = CpuSeconds() - cpu_one;
                double cpu_two = CpuSeconds();
                const double two = Timed([&] { Batch(c, run.library, b, 2); });
                cpu_two = CpuSeconds() - cpu_two;
                for (const auto& folder : {a, b, f}) fs::remove_all(folder);
                if (round == 0) continue;
                run.floor.push_back(floor);
                run.one.push_back(one);
                run.two.push_back(two);
                run.cpu_one.push_back(cpu_one);
                run.cpu_two.push_back(cpu_two);
            }
        }
        for (SizeRun& run : size_runs) {
            const double floor = Median(run.floor);
            const double one = Median(run.one);
            const double two = Median(run.two);
            times[c.name][run.songs] = {one, two};
            cpu_times[c.name][run.songs] = {Median(run.cpu_one), Median(run.cpu_two)};
            const double peak_one = PeakMiB(self, c, run.library, dir / "out-peak", 1);
            const double peak_two = PeakMiB(self, c, run.library, dir / "out-peak", 2);
            fs::remove_all(dir / "out-peak");
            const double memory_goal_one = MemoryGoalMiB(run.largest_chart_mib, 1);
            const double memory_goal_two = MemoryGoalMiB(run.largest_chart_mib, 2);
            std::printf("%-8s %6d %6zu %7.1f %9.4f %9.4f %9.4f %7.2f %-4s %7.2f %-4s %8.1f %8.1f %4.0f/%-4.0f %s\n", c.name,
                        run.songs, run.outputs.size(), run.mib, floor, one, two, one / floor,
                        Verdict(one / floor <= kGoalOneJob), two / floor, Verdict(two / floor <= kGoalTwoJobs), peak_one,
                        peak_two, memory_goal_one, memory_goal_two,
                        Verdict(peak_one <= memory_goal_one && peak_two <= memory_goal_two));
            std::fflush(stdout);
        }
    }
    std::printf("\ngrowth from %d to %d songs (linear is %.1f) of the time, and of the processor time, which the\n"
                "sync of many small files does not swing:\n",
                kSongCounts[0], kSongCounts[1], static_cast<double>(kSongCounts[1]) / kSongCounts[0]);
    for (const auto& c : kConversions) {
        const auto growth = [&c](std::map<std::string, std::map<int, std::pair<double, double>>>& of) {
            const auto& t = of[c.name];
            return std::pair{t.at(kSongCounts[1]).first / t.at(kSongCounts[0]).first,
                             t.at(kSongCounts[1]).second / t.at(kSongCounts[0]).second};
        };
        const auto [one, two] = growth(times);
        const auto [cpu_one, cpu_two] = growth(cpu_times);
        std::printf("  %-8s -j1 %.2f %-4s  -j2 %.2f %-4s   processor -j1 %.2f %-4s  -j2 %.2f %-4s\n", c.name, one,
                    Verdict(one <= kGoalGrowth), two, Verdict(two <= kGoalGrowth), cpu_one,
                    Verdict(cpu_one <= kGoalGrowth), cpu_two, Verdict(cpu_two <= kGoalGrowth));
    }
    std::printf("\nsm against msd2d2r on the same library (goal at most %.1f):\n", kGoalSimfilesAgainstD2r);
    for (const int songs : kSongCounts) {
        const auto& sm = times["sm"].at(songs);
        const auto& d2r = times["msd2d2r"].at(songs);
        std::printf("  %4d songs  -j1 %.2f %-4s  -j2 %.2f %-4s\n", songs, sm.first / d2r.first,
                    Verdict(sm.first / d2r.first <= kGoalSimfilesAgainstD2r), sm.second / d2r.second,
                    Verdict(sm.second / d2r.second <= kGoalSimfilesAgainstD2r));
    }
}

}  // namespace torvane::bench
