#include "cli/cli.hpp"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/chart_commands.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "torvane-cli";

constexpr std::string_view kHelp = R"(Usage: torvane-cli CONVERSION [OPTIONS] FILE...

Converts step charts between the MSD, d2r and ddr formats, one FILE after
the other in the order given. Each destination is the source's file name with
its extension replaced, written beside the source or into the --out-dir folder.

Conversions:
  msd2d2r   MSD to d2r    song.msd gives song.d2r
  d2r2msd   d2r to MSD    song.d2r gives song.MSD
  msd2ddr   MSD to ddr    song.msd gives one file per chart: song_sb.ddr, ...
  ddr2msd   ddr to MSD    song_sb.ddr gives song_sb.MSD

Options:
  -o, --out-dir DIR     write every destination into DIR (it must exist)
      --error-log FILE  if the batch finds chart problems, also save its error
                        lines to FILE (Shift-JIS, CR LF); otherwise FILE is
                        not touched
  -q, --quiet           print nothing on standard output
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

Standard output gets one line "SOURCE -> DESTINATION" per file written;
standard error gets every error line of the charts and one line per file that
could not be converted.

Exit status: 0 every file converted, no error line; 1 every file converted,
with error lines; 2 usage error, nothing converted; 3 at least one file could
not be converted (the others are still converted).

Example:
  torvane-cli msd2ddr --lead-in first-step --measure 2 --beat 1.5 -o out *.msd
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
    bool quiet = false;
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

Request ParseArguments(int argc, char** argv, Batch& batch) {
    CLI::App app("Converts step charts between MSD, d2r and ddr.", std::string(kProgram));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string(kCaption));

    std::string conversion, out_dir, error_log, lead_in, delete_count, measure, beat;
    app.add_option("conversion", conversion);
    app.add_option("files", batch.files);
    auto* out_dir_option = app.add_option("-o,--out-dir", out_dir);
    auto* error_log_option = app.add_option("--error-log", error_log);
    app.add_flag("-q,--quiet", batch.quiet);
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

// The reason of a failure; the failure line already names the source, so only
// another file (a destination that cannot be written) is named here.
std::string FailureText(const std::exception& error, const fs::path& source) {
    const auto* failure = dynamic_cast<const ConversionError*>(&error);
    if (failure == nullptr) return error.what();
    if (failure->File().empty() || failure->File() == source) return EnglishReason(*failure);
    return failure->File().string() + ": " + EnglishReason(*failure);
}

void PrintErrorLines(const ErrorList& errors, std::size_t from, std::ostream& err) {
    for (std::size_t i = from; i < errors.Size(); ++i) err << Cp932ToUtf8(errors.Lines()[i]) << '\n';
}

int RunBatch(const Batch& batch, std::ostream& out, std::ostream& err, const ConvertFile& convert) {
    ErrorList errors;
    bool failed = false;
    for (const auto& file : batch.files) {
        const std::size_t first_new_line = errors.Size();
        const fs::path source(file);
        try {
            const auto written = convert(batch.conversion, source, DestinationFor(batch.conversion, source, batch.out_dir),
                                         batch.ddr_options, errors);
            if (!batch.quiet) {
                for (const auto& destination : written) out << file << " -> " << destination.string() << '\n';
                out.flush();  // ahead of the file's error lines when both go to one terminal
            }
            PrintErrorLines(errors, first_new_line, err);
        } catch (const std::exception& error) {
            PrintErrorLines(errors, first_new_line, err);
            err << kProgram << ": " << file << ": " << FailureText(error, source) << '\n';
            failed = true;
        }
    }
    if (batch.error_log && !errors.Empty()) {
        try {
            errors.SaveTo(*batch.error_log);
        } catch (const std::exception& error) {
            err << kProgram << ": " << batch.error_log->string() << ": " << FailureText(error, *batch.error_log)
                << '\n';
            failed = true;
        }
    }
    if (failed) return kExitFailedFile;
    return errors.Empty() ? kExitConverted : kExitErrorLines;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    return RunCli(argc, argv, out, err,
                  [](Conversion conversion, const fs::path& source, const fs::path& destination,
                     const DdrOptions& options, ErrorList& errors) {
                      return RunConversion(conversion, source, destination, kCaption, options, errors);
                  });
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const ConvertFile& convert) {
    if (argc > 1 && (std::string_view(argv[1]) == "preview" || std::string_view(argv[1]) == "check")) {
        return std::string_view(argv[1]) == "preview" ? RunPreviewCommand(argc - 1, argv + 1, out, err)
                                                      : RunCheckCommand(argc - 1, argv + 1, out, err);
    }
    Batch batch;
    try {
        switch (ParseArguments(argc, argv, batch)) {
            case Request::kHelp: out << kHelp; return kExitConverted;
            case Request::kVersion: out << kProgram << ' ' << kCaption << '\n'; return kExitConverted;
            case Request::kBatch: break;
        }
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " --help' for more information.\n";
        return kExitUsage;
    }
    return RunBatch(batch, out, err, convert);
}

}  // namespace torvane
