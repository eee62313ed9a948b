#include "cli/cli.hpp"

#include <ostream>
#include <string_view>

#include "cli/arguments.hpp"
#include "cli/chart_commands.hpp"
#include "cli/conversion_command.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {
namespace {

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

Other commands (see torvane-cli COMMAND --help):
  preview   an SVG picture of every chart: song.msd gives song_sb.svg, ...
  check     what converting each file would change, without writing
  sm        simfiles for today's dance simulators: song.msd gives song.sm

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

int Run(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal,
        const ConvertFile* convert) {
    if (argc > 1 && std::string_view(argv[1]) == "preview") {
        return RunPreviewCommand(argc - 1, argv + 1, out, err, terminal);
    }
    if (argc > 1 && std::string_view(argv[1]) == "check") {
        return RunCheckCommand(argc - 1, argv + 1, out, err, terminal);
    }
    if (argc > 1 && std::string_view(argv[1]) == "sm") return RunSmCommand(argc - 1, argv + 1, out, err, terminal);
    try {
        Request request = Request::kBatch;
        const int status = RunConversionCommand(argc, argv, out, err, terminal, convert, request);
        switch (request) {
            case Request::kHelp: out << kHelp; return kExitConverted;
            case Request::kVersion: out << kProgram << ' ' << kCaption << '\n'; return kExitConverted;
            case Request::kBatch: break;
        }
        return status;
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.what() << '\n'
            << "Try '" << kProgram << " --help' for more information.\n";
        return kExitUsage;
    }
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const CliTerminal& terminal) {
    return Run(argc, argv, out, err, terminal, nullptr);
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, const ConvertFile& convert) {
    return Run(argc, argv, out, err, CliTerminal{}, &convert);
}

}  // namespace torvane
