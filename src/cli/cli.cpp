#include "cli/cli.hpp"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cmath>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "batch/plan.hpp"
#include "cli/chart_commands.hpp"
#include "batch/runner.hpp"
#include "cli/report.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "torvane-cli";

constexpr std::string_view kHelp = R"(Usage: torvane-cli CONVERSION [OPTIONS] FILE...

Converts step charts between the MSD, d2r and ddr formats, in the order
given. A FILE that is a folder stands for every source of the conversion below
it, in byte order of their paths. Each destination is the source's file name
with its extension replaced, written beside the source or into the --out-dir
folder, where the tree below a folder argument is kept.

Conversions:
  msd2d2r   MSD to d2r    song.msd gives song.d2r
  d2r2msd   d2r to MSD    song.d2r gives song.MSD
  msd2ddr   MSD to ddr    song.msd gives one file per chart: song_sb.ddr, ...
  ddr2msd   ddr to MSD    song_sb.ddr gives song_sb.MSD

Options:
  -o, --out-dir DIR     write every destination into DIR (it must exist);
                        subfolders for the tree of a folder argument are made
  -n, --no-clobber      leave a destination that exists alone; its source is
                        reported as skipped
      --encoding ENC    how sources are read: auto (default), cp932 or utf-8;
                        auto reads a source as UTF-8 when it begins with the
                        byte-order mark, or is valid UTF-8 with a character of
                        three or more bytes, and as Shift-JIS otherwise
  -j, --jobs N          convert N files at once (default: the number of
                        processors); the output is the same for any N
      --report FILE     write a JSON report of every file to FILE; "-" writes
                        it to standard output instead of the file lines
      --error-log FILE  if the batch finds chart problems, also save its error
                        lines to FILE (Shift-JIS, CR LF); otherwise FILE is
                        not touched
  -q, --quiet           print nothing on standard output
      --no-progress     draw no progress line on a terminal
      --lead-in MODE    msd2ddr only: where the first step of each chart lies:
                        delete (default), first-step or as-is
      --delete N        msd2ddr only, for --lead-in delete: leading positions
                        (8th notes) to delete, 0 to 150 (default 18)
      --measure M       msd2ddr only, for --lead-in first-step: measure of the
                        first step, 1 to 10 (default 3)
      --beat B          msd2ddr only, for --lead-in first-step: beat of the
                        first step, 1 to 4.5 in steps of 0.5 (default 1)
  -h, --help            show this help
      --version         show the version

Standard output gets one line "SOURCE -> DESTINATION" per file written and
"SOURCE: skipped, DESTINATION exists" per destination left alone; standard
error gets every error line of the charts, one line per file that could not
be converted, and after a batch of several files a summary line.

Exit status: 0 every file converted, no error line; 1 every file converted,
with error lines; 2 usage error, nothing converted; 3 at least one file could
not be converted (the others are still converted).

Example:
  torvane-cli msd2ddr --lead-in first-step --measure 2 --beat 1.5 -o out *.msd
  torvane-cli msd2d2r -o converted --report report.json library
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Batch {
    Conversion conversion = Conversion::kMSD2d2r;
    std::vector<std::string> files;
    fs::path out_dir;
    std::optional<fs::path> error_log;
    std::optional<std::string> report;  // a file, or "-" for standard output
    bool quiet = false;
    bool no_clobber = false;
    bool no_progress = false;
    EncodingChoice encoding = EncodingChoice::kAuto;
    unsigned jobs = 1;
    DdrOptions ddr_options;
};

enum class Request { kBatch, kHelp, kVersion };

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

Conversion ConversionNamed(const std::string& name) {
    if (name == "msd2d2r") return Conversion::kMSD2d2r;
    if (name == "d2r2msd") return Conversion::kd2r2MSD;
    if (name == "msd2ddr") return Conversion::kMSD2ddr;
    if (name == "ddr2msd") return Conversion::kddr2MSD;
    if (name.empty()) throw UsageError("no conversion given (msd2d2r, d2r2msd, msd2ddr or ddr2msd)");
    throw UsageError("unknown conversion " + Quoted(name) + " (use msd2d2r, d2r2msd, msd2ddr or ddr2msd)");
}

int WholeNumberOption(std::string_view option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(std::string(option) + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + Quoted(text));
    }
    return value;
}

// The beat travels as half beats, so only whole and half beats are valid.
int HalfBeatOption(const std::string& text) {
    double beat = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), beat);
    const double half_beats = beat * 2;
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(beat) ||
        half_beats < 2 || half_beats > 9 || half_beats != std::floor(half_beats)) {
        throw UsageError("--beat must be 1 to 4.5 in steps of 0.5, not " + Quoted(text));
    }
    return static_cast<int>(half_beats);
}

int LeadInMode(const std::string& text) {
    if (text == "delete") return DdrOptions::kDeleteLeadIn;
    if (text == "first-step") return DdrOptions::kFirstStepAt;
    if (text == "as-is") return DdrOptions::kAsItIs;
    throw UsageError("--lead-in must be delete, first-step or as-is, not " + Quoted(text));
}

EncodingChoice EncodingOption(const std::string& text) {
    if (text == "auto") return EncodingChoice::kAuto;
    if (text == "cp932") return EncodingChoice::kCp932;
    if (text == "utf-8") return EncodingChoice::kUtf8;
    throw UsageError("--encoding must be auto, cp932 or utf-8, not " + Quoted(text));
}

constexpr int kMaxJobs = 256;

unsigned DefaultJobs() {
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online < 1 ? 1U : static_cast<unsigned>(std::min<long>(online, kMaxJobs));
}

Request ParseArguments(int argc, char** argv, Batch& batch, unsigned default_jobs) {
    CLI::App app("Converts step charts between MSD, d2r and ddr.", std::string(kProgram));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string(kCaption));

    std::string conversion, out_dir, error_log, report, encoding, jobs, lead_in, delete_count, measure, beat;
    app.add_option("conversion", conversion);
    app.add_option("files", batch.files);
    auto* out_dir_option = app.add_option("-o,--out-dir", out_dir);
    auto* error_log_option = app.add_option("--error-log", error_log);
    auto* report_option = app.add_option("--report", report);
    auto* encoding_option = app.add_option("--encoding", encoding);
    auto* jobs_option = app.add_option("-j,--jobs", jobs);
    app.add_flag("-q,--quiet", batch.quiet);
    app.add_flag("-n,--no-clobber", batch.no_clobber);
    app.add_flag("--no-progress", batch.no_progress);
    // Kept as text so that every bad value gets the same kind of message.
    auto* lead_in_option = app.add_option("--lead-in", lead_in);
    auto* delete_option = app.add_option("--delete", delete_count);
    auto* measure_option = app.add_option("--measure", measure);
    auto* beat_option = app.add_option("--beat", beat);

    // Started without even argv[0], the parser would reserve room for -1
    // arguments and throw.
    const char* const no_arguments[] = {kProgram.data(), nullptr};
    try {
        if (argc > 0) {
            app.parse(argc, argv);
        } else {
            app.parse(1, no_arguments);
        }
    } catch (const CLI::CallForHelp&) {
        return Request::kHelp;
    } catch (const CLI::CallForVersion&) {
        return Request::kVersion;
    } catch (const CLI::ParseError& error) {
        throw UsageError(error.what());
    }

    batch.conversion = ConversionNamed(conversion);
    if (batch.conversion != Conversion::kMSD2ddr) {
        for (const CLI::Option* option : {lead_in_option, delete_option, measure_option, beat_option}) {
            if (option->count() > 0) throw UsageError(option->get_name() + " applies to msd2ddr only");
        }
    }
    if (lead_in_option->count() > 0) batch.ddr_options.mode = LeadInMode(lead_in);
    if (delete_option->count() > 0) batch.ddr_options.delete_count = WholeNumberOption("--delete", delete_count, 0, 150);
    if (measure_option->count() > 0) batch.ddr_options.measure = WholeNumberOption("--measure", measure, 1, 10);
    if (beat_option->count() > 0) batch.ddr_options.half_beat = HalfBeatOption(beat);

    if (batch.files.empty()) throw UsageError("no file given");
    if (encoding_option->count() > 0) batch.encoding = EncodingOption(encoding);
    batch.jobs = jobs_option->count() > 0 ? static_cast<unsigned>(WholeNumberOption("--jobs", jobs, 1, kMaxJobs))
                                          : default_jobs;
    if (report_option->count() > 0) {
        if (report.empty()) throw UsageError("--report needs a file name, or - for standard output");
        batch.report = report;
    }
    if (error_log_option->count() > 0) {
        if (error_log.empty()) throw UsageError("--error-log needs a file name");
        batch.error_log = error_log;
    }
    if (out_dir_option->count() > 0) {
        std::error_code ec;
        if (out_dir.empty() || !fs::exists(out_dir, ec)) {
            throw UsageError("the --out-dir folder " + Quoted(out_dir) + " does not exist");
        }
        if (!fs::is_directory(out_dir, ec)) throw UsageError("--out-dir " + Quoted(out_dir) + " is not a folder");
        batch.out_dir = out_dir;
    }
    return Request::kBatch;
}

// One line redrawn in place on a terminal: files done of all, and the file
// in hand. Wiped before anything else is written.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, int columns) : err_(err), enabled_(enabled), columns_(columns) {}

    void Show(const BatchProgress& progress) {
        if (!enabled_ || progress.in_hand.empty()) return;
        const std::string count = std::to_string(progress.count);
        std::string done = std::to_string(progress.done);
        done.insert(0, count.size() - std::min(count.size(), done.size()), ' ');
        std::string line = "[" + done + "/" + count + "] ";
        std::string name = progress.in_hand.string();
        const std::size_t room = columns_ > static_cast<int>(line.size()) + 4
                                     ? static_cast<std::size_t>(columns_) - line.size() - 1
                                     : 3;
        // The end of a long path tells more than its start.
        if (name.size() > room) name = "..." + name.substr(name.size() - room + 3);
        err_ << "\r\x1b[K" << line << name << std::flush;
        shown_ = true;
    }

    void Wipe() {
        if (!shown_) return;
        err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }

private:
    std::ostream& err_;
    bool enabled_;
    int columns_;
    bool shown_ = false;
};

void PrintErrorLines(const std::vector<std::string>& lines, std::ostream& err) {
    for (const auto& line : lines) err << Cp932ToUtf8(line) << '\n';
}

std::string_view LeadInName(int mode) {
    switch (mode) {
        case DdrOptions::kFirstStepAt: return "first-step";
        case DdrOptions::kAsItIs: return "as-is";
        default: return "delete";
    }
}

nlohmann::ordered_json OptionsReport(const Batch& batch) {
    nlohmann::ordered_json options;
    options["out_dir"] = batch.out_dir.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(batch.out_dir.string());
    options["no_clobber"] = batch.no_clobber;
    options["encoding"] = batch.encoding == EncodingChoice::kAuto    ? "auto"
                          : batch.encoding == EncodingChoice::kCp932 ? "cp932"
                                                                     : "utf-8";
    options["jobs"] = batch.jobs;
    options["error_log"] = batch.error_log ? nlohmann::ordered_json(batch.error_log->string()) : nlohmann::ordered_json(nullptr);
    if (batch.conversion == Conversion::kMSD2ddr) {
        options["lead_in"] = LeadInName(batch.ddr_options.mode);
        options["delete"] = batch.ddr_options.delete_count;
        options["measure"] = batch.ddr_options.measure;
        options["beat"] = batch.ddr_options.half_beat / 2.0;
    }
    return options;
}

// Standard output fails quietly (a full disk, a closed pipe): the first
// failure is kept and reported at the end.
class Output {
public:
    explicit Output(std::ostream& out) : out_(out) {}

    void Write(std::string_view text) {
        if (failed_) return;
        errno = 0;
        out_ << text;
        Check();
    }
    void Flush() {
        if (failed_) return;
        errno = 0;
        out_.flush();
        Check();
    }
    [[nodiscard]] bool Failed() const { return failed_; }
    [[nodiscard]] int Error() const { return error_; }

private:
    void Check() {
        if (out_.good()) return;
        failed_ = true;
        error_ = errno;
    }

    std::ostream& out_;
    bool failed_ = false;
    int error_ = 0;
};

int RunBatch(const Batch& batch, std::ostream& out, std::ostream& err, const CliTerminal& terminal,
             const ConvertFile* convert) {
    std::vector<fs::path> arguments(batch.files.begin(), batch.files.end());
    const BatchPlan plan = PlanBatch(batch.conversion, arguments, batch.out_dir, batch.no_clobber);

    const bool report_to_out = batch.report && *batch.report == "-";
    const bool file_lines = !batch.quiet && !report_to_out;
    Output output(out);
    ProgressLine progress(err, terminal.err_is_terminal && !batch.no_progress, terminal.err_columns);
    ErrorList errors;  // every error line of the batch, for the error log
    std::size_t error_line_count = 0;
    std::size_t note_count = 0;
    nlohmann::ordered_json report_files = nlohmann::ordered_json::array();

    BatchSettings settings;
    settings.ddr_options = batch.ddr_options;
    settings.encoding = batch.encoding;
    settings.no_clobber = batch.no_clobber;
    settings.jobs = batch.jobs;
    if (convert != nullptr) {
        settings.convert = [&](const PlannedFile& file, ErrorList& file_errors, Storage&, SourceEncoding&) {
            return (*convert)(batch.conversion, file.source, file.destination, batch.ddr_options, file_errors);
        };
    }

    BatchCallbacks callbacks;
    callbacks.progress = [&](const BatchProgress& state) { progress.Show(state); };
    callbacks.file_done = [&](const FileResult& result) {
        progress.Wipe();
        const std::string source = result.source.string();
        if (result.encoding == SourceEncoding::kUtf8 && batch.encoding == EncodingChoice::kAuto) {
            err << kProgram << ": " << source << ": read as UTF-8\n";
        }
        if (file_lines) {
            std::string lines;
            for (const auto& destination : result.destinations) {
                lines.append(source).append(" -> ").append(destination.string()).append("\n");
            }
            for (const auto& destination : result.existing) {
                lines.append(source).append(": skipped, ").append(destination.string()).append(" exists\n");
            }
            output.Write(lines);
            output.Flush();  // ahead of the file's error lines when both go to one terminal
        }
        PrintErrorLines(result.error_lines, err);
        if (result.status == FileStatus::kFailed) {
            err << kProgram << ": " << source << ": " << EnglishFileReason(result, batch.conversion) << '\n';
        }
        err.flush();
        for (const auto& line : result.error_lines) errors.Add(line, {});
        error_line_count += result.error_lines.size();
        note_count += result.notes.size();
        if (batch.report) report_files.push_back(FileReport(result, batch.conversion));
    };

    const BatchSummary summary = RunBatch(plan, settings, callbacks);
    progress.Wipe();

    bool failed = summary.failed > 0;
    if (batch.error_log && !errors.Empty()) {
        try {
            errors.SaveTo(*batch.error_log);
        } catch (const ConversionError& error) {
            err << kProgram << ": " << batch.error_log->string() << ": " << EnglishReason(error) << '\n';
            failed = true;
        }
    }
    if (plan.files.size() > 1 && !batch.quiet) {
        err << kProgram << ": " << summary.converted << " converted (" << summary.with_error_lines
            << " with error lines), " << summary.failed << " failed, " << summary.skipped << " skipped\n";
    }

    int status = failed ? kExitFailedFile : error_line_count == 0 ? kExitConverted : kExitErrorLines;
    if (batch.report) {
        nlohmann::ordered_json report;
        report["report_version"] = kReportVersion;
        report["program"] = std::string(kProgram) + " " + std::string(kCaption);
        report["conversion"] = ConversionName(batch.conversion);
        report["options"] = OptionsReport(batch);
        report["files"] = std::move(report_files);
        report["summary"] = {{"files", summary.files},
                             {"converted", summary.converted},
                             {"with_error_lines", summary.with_error_lines},
                             {"failed", summary.failed},
                             {"skipped", summary.skipped},
                             {"error_lines", error_line_count},
                             {"notes", note_count}};
        // A report that cannot be written makes the status 3; the status it
        // gives is what the program ends with otherwise.
        report["exit_status"] = status;
        const std::string text = ReportText(report);
        if (report_to_out) {
            output.Write(text);
            output.Flush();
        } else {
            try {
                ReplaceFileSafely(*batch.report, text);
            } catch (const ConversionError& error) {
                err << kProgram << ": " << *batch.report << ": " << EnglishReason(error) << '\n';
                status = kExitFailedFile;
            }
        }
    }
    output.Flush();
    if (output.Failed()) {
        err << kProgram << ": standard output: cannot write it"
            << (output.Error() != 0 ? std::string(": ") + std::strerror(output.Error()) : std::string()) << '\n';
        status = kExitFailedFile;
    }
    return status;
}

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal,
        const ConvertFile* convert) {
    if (argc > 1 && (std::string_view(argv[1]) == "preview" || std::string_view(argv[1]) == "check")) {
        return std::string_view(argv[1]) == "preview" ? RunPreviewCommand(argc - 1, argv + 1, out, err)
                                                      : RunCheckCommand(argc - 1, argv + 1, out, err);
    }
    Batch batch;
    try {
        // A stand-in conversion runs one file after the other unless told.
        switch (ParseArguments(argc, argv, batch, convert != nullptr ? 1U : DefaultJobs())) {
            case Request::kHelp: out << kHelp; return kExitConverted;
            case Request::kVersion: out << kProgram << ' ' << kCaption << '\n'; return kExitConverted;
            case Request::kBatch: break;
        }
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " --help' for more information.\n";
        return kExitUsage;
    }
    return RunBatch(batch, out, err, terminal, convert);
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal) {
    return Run(argc, argv, out, err, terminal, nullptr);
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const ConvertFile& convert) {
    return Run(argc, argv, out, err, CliTerminal{}, &convert);
}

}  // namespace torvane
