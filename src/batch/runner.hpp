#pragma once
// The batch that both front ends run: the files of a plan converted in order,
// each on its own (a file that fails does not end the batch), with the same
// input checks, the same reading of UTF-8 sources and the same writer.
//
//   BatchPlan plan = PlanBatch(conversion, arguments, out_dir, no_clobber);
//   BatchSettings settings;  // conversion options, caption, encoding, jobs
//   BatchCallbacks callbacks;
//   callbacks.file_done = [&](const FileResult& result) { ... };  // in plan order
//   callbacks.progress = [&](const BatchProgress& progress) { ... };
//   callbacks.cancel_requested = [&] { return cancelled; };
//   BatchSummary summary = RunBatch(plan, settings, callbacks);
//
// Every callback runs on the thread that called RunBatch, one at a time; with
// several jobs the files convert on worker threads meanwhile. file_done gets
// the files strictly in plan order, whatever the number of jobs, and only
// once the file's destinations are in place: the results, and so everything
// a front end prints, are the same for any number of jobs.
//
// Destinations are written through a DestinationGroup: the files of a group
// (up to `group_files` temporary files or `group_bytes` bytes, and always the
// last files of the batch) are made durable together and then put in place.
// A file that fails replaces nothing; its temporary files are removed.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/conversions.hpp"
#include "batch/input_check.hpp"
#include "batch/plan.hpp"
#include "ddr/ddr.hpp"
#include "text/conversion_error.hpp"
#include "text/encoding.hpp"
#include "text/error_list.hpp"
#include "text/destination_group.hpp"
#include "text/line_io.hpp"

namespace torvane {

enum class FileStatus { kConverted, kFailed, kSkipped };

// "converted", "failed", "skipped".
[[nodiscard]] std::string_view FileStatusCode(FileStatus status);

struct FileResult {
    std::size_t index = 0;  // in the plan
    std::filesystem::path source;
    // The files written, in the order the conversion wrote them.
    std::vector<std::filesystem::path> destinations;
    // No-clobber: destinations that existed and were left alone.
    std::vector<std::filesystem::path> existing;
    FileStatus status = FileStatus::kConverted;
    // Why the file failed or was skipped: a problem found by the plan, or
    // else the engine's error (a failure of a file that did convert, such as
    // a destination that could not be put in place, keeps the destinations
    // that were).
    PlanProblem problem = PlanProblem::kNone;
    std::filesystem::path other_source;  // kSameDestination
    std::shared_ptr<const ConversionError> failure;
    SourceEncoding encoding = SourceEncoding::kCp932;
    // The error lines of this file (code page 932) and its notes.
    std::vector<ErrorLine> error_lines;
    std::vector<Note> notes;
};

struct BatchProgress {
    std::size_t done = 0;   // files finished converting (not yet necessarily in place)
    std::size_t count = 0;  // files of the plan
    std::filesystem::path in_hand;  // the file most recently started
};

// What a front end that shows progress inside long files watches, from any
// thread, while the batch runs; and how it stops the files in hand.
struct BatchWatch {
    // Bytes of the sources read so far: of a file in hand as far as it has
    // been read (a second pass over it adds nothing), of a finished file its
    // whole size.
    std::atomic<std::uint64_t> bytes_read{0};
    // Set: each file in hand stops at the next line it reads (so at the
    // latest before its next chart), replaces nothing, and counts as not
    // started; no file is started after it.
    std::atomic<bool> stop{false};
};

struct BatchCallbacks {
    std::function<void(const FileResult&)> file_done;
    std::function<void(const BatchProgress&)> progress;
    // Asked before each file is started: true stops the batch after the files
    // in hand, which are finished and put in place as usual.
    std::function<bool()> cancel_requested;
    // None: files are read without being watched, and always finished.
    BatchWatch* watch = nullptr;
    // Asked as often as cancel_requested and before files are put in place:
    // true stops the batch at once. The files in hand are dropped (their
    // temporary files removed, their destinations as they were) and counted
    // as not started; every file already told done stays in place.
    std::function<bool()> stop_requested;
};

struct BatchSummary {
    std::size_t files = 0;  // of the plan
    std::size_t converted = 0;
    std::size_t with_error_lines = 0;  // of the converted
    std::size_t failed = 0;
    std::size_t skipped = 0;
    std::size_t not_started = 0;  // left out by a cancel or a stop, or stopped part way
    bool stopped = false;         // by stop_requested
};

// The files a batch converts at once unless told otherwise: the processors
// online, at most kMaxBatchJobs.
inline constexpr unsigned kMaxBatchJobs = 256;
[[nodiscard]] unsigned DefaultBatchJobs();

// The bytes of the sources of `plan` as they stand now, for a progress bar
// that follows BatchWatch::bytes_read; a source that cannot be measured
// counts 0.
[[nodiscard]] std::uint64_t PlanSourceBytes(const BatchPlan& plan);

// What converting one file means. The default checks the source, reads it in
// its encoding and runs the conversion; tests put a stand-in in its place.
// `storage` reads sources and takes the destinations of this one file.
using FileConverter = std::function<std::vector<std::filesystem::path>(
    const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& encoding)>;

struct BatchSettings {
    DdrOptions ddr_options;
    std::string caption;  // the banner's; kCaption by default
    EncodingChoice encoding = EncodingChoice::kAuto;
    bool no_clobber = false;
    // Files converted at once; 1 is strictly one after the other on the
    // calling thread.
    unsigned jobs = 1;
    std::size_t group_files = 256;
    std::uintmax_t group_bytes = 64 * 1024 * 1024;
    // Empty: ConvertPlannedFile with these settings.
    FileConverter convert;
};

// Checks and converts one planned file: CheckSource, then RunConversion
// through a SourceReading of `storage`. Creates the destination's folder
// when it is missing, unless `folder_exists` tells that it is there.
std::vector<std::filesystem::path> ConvertPlannedFile(Conversion conversion, const BatchSettings& settings,
                                                      const PlannedFile& file, ErrorList& errors, Storage& storage,
                                                      SourceEncoding& encoding, bool folder_exists = false);

BatchSummary RunBatch(const BatchPlan& plan, const BatchSettings& settings, const BatchCallbacks& callbacks = {});

}  // namespace torvane
