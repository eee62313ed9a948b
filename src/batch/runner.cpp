#include "batch/runner.hpp"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <mutex>
#include <new>
#include <stdexcept>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include <unistd.h>

#include "text/fixed_texts.hpp"
#include "text/note_codes.hpp"

namespace torvane {
namespace {

namespace fs = std::filesystem;

// Thrown by a watched source when the batch's watch says stop.
struct FileStopped {};

// The sources of one file, read through a BatchWatch: what is read counts
// towards its bytes, and a stop ends the reading at the next line.
class WatchedStorage final : public Storage {
public:
    WatchedStorage(BatchWatch& watch, const fs::path& source) : watch_(watch) {
        std::error_code ec;
        const auto size = fs::file_size(source, ec);
        size_ = ec ? 0 : static_cast<std::uint64_t>(size);
    }

    std::unique_ptr<LineSource> OpenSource(const fs::path& source) override {
        return std::make_unique<Source>(DiskStorage().OpenSource(source), *this);
    }
    std::unique_ptr<LineSink> CreateDestination(const fs::path& destination, const fs::path& source) override {
        return DiskStorage().CreateDestination(destination, source);
    }

    // The file is done with: the rest of its size counts as read.
    void Finish() { Reached(size_); }

private:
    class Source final : public LineSource {
    public:
        Source(std::unique_ptr<LineSource> inner, WatchedStorage& owner) : inner_(std::move(inner)), owner_(owner) {}
        bool ReadNextLine(std::string& line) override {
            owner_.CheckStop();
            if (!inner_->ReadLine(line)) return false;
            // The line's end is not seen; CR LF is the usual one.
            Advance(line.size() + 2);
            return true;
        }
        void RewindSource() override {
            inner_->Rewind();
            position_ = 0;
        }
        // The checks' quick look at the bytes, which may run through the
        // whole file, counts nothing: the bar follows the conversion's lines.
        std::size_t ReadBytes(char* buffer, std::size_t size) override {
            owner_.CheckStop();
            return inner_->ReadBytes(buffer, size);
        }

    private:
        void Advance(std::uint64_t bytes) {
            position_ += bytes;
            owner_.Reached(position_);
        }
        std::unique_ptr<LineSource> inner_;
        WatchedStorage& owner_;
        std::uint64_t position_ = 0;
    };

    void CheckStop() const {
        if (watch_.stop.load(std::memory_order_relaxed)) throw FileStopped{};
    }
    void Reached(std::uint64_t position) {
        position = std::min(position, size_);
        if (position <= counted_) return;
        watch_.bytes_read.fetch_add(position - counted_, std::memory_order_relaxed);
        counted_ = position;
    }

    BatchWatch& watch_;
    std::uint64_t size_ = 0;
    std::uint64_t counted_ = 0;
};

// A file between its conversion and its delivery.
struct Work {
    FileResult result;
    // Before `writes`, which reads through it.
    std::unique_ptr<WatchedStorage> watched;
    std::unique_ptr<DestinationGroup::Writes> writes;
    bool stopped = false;  // by the watch, part way: not converted
};

Work ConvertOne(const BatchPlan& plan, const FileConverter& convert, BatchWatch* watch, std::size_t index) {
    const PlannedFile& file = plan.files[index];
    Work work;
    FileResult& result = work.result;
    result.index = index;
    result.source = file.source;
    if (file.problem != PlanProblem::kNone) {
        result.problem = file.problem;
        result.other_source = file.other_source;
        result.failure = PlanProblemFailure(file);
        result.status = file.problem == PlanProblem::kDestinationExists ? FileStatus::kSkipped : FileStatus::kFailed;
        if (file.problem == PlanProblem::kDestinationExists) result.existing.push_back(file.destination);
        return work;
    }
    if (watch != nullptr) {
        work.watched = std::make_unique<WatchedStorage>(*watch, file.source);
        work.writes = std::make_unique<DestinationGroup::Writes>(*work.watched);
    } else {
        work.writes = std::make_unique<DestinationGroup::Writes>();
    }
    ErrorList errors;
    try {
        result.destinations = convert(file, errors, *work.writes, result.encoding);
    } catch (const FileStopped&) {
        work.stopped = true;
        result.destinations.clear();
        work.writes->Discard();
        return work;
    } catch (const std::exception&) {
        result.failure = std::make_shared<const ConversionError>(CurrentAsConversionError(file.source));
    }
    if (result.failure != nullptr) {
        result.status = FileStatus::kFailed;
        result.destinations.clear();
        work.writes->Discard();
    }
    if (work.watched != nullptr) work.watched->Finish();
    result.error_lines = errors.Entries();
    result.notes = errors.Notes();
    return work;
}

// The files converted but not yet in place, and their group.
class Delivery {
public:
    Delivery(const BatchSettings& settings, const BatchCallbacks& callbacks, BatchSummary& summary)
        : settings_(settings), callbacks_(callbacks), summary_(summary), group_(settings.no_clobber) {}

    void Add(Work work) {
        // A file stopped part way, by the watch or by a stop, is as if it had
        // not been started.
        if (work.stopped || (Stopped() && Interrupted(work.result))) {
            ++summary_.not_started;
            return;
        }
        if (work.writes != nullptr) group_.Add(*work.writes, work.result.index);
        works_.push_back(std::move(work));
        if (group_.Files() >= settings_.group_files || group_.Bytes() >= settings_.group_bytes) Flush();
    }

    void Flush() {
        if (Stopped()) {
            // Files finished before the stop are put in place; the ones it
            // broke off are dropped.
            const auto dropped = std::remove_if(works_.begin(), works_.end(),
                                                [](const Work& work) { return Interrupted(work.result); });
            summary_.not_started += static_cast<std::size_t>(works_.end() - dropped);
            works_.erase(dropped, works_.end());
        }
        std::map<std::size_t, Work*> by_index;
        for (Work& work : works_) by_index[work.result.index] = &work;
        for (const DestinationGroup::Result& placed : group_.Commit()) {
            FileResult& result = by_index.at(placed.owner)->result;
            if (placed.outcome == DestinationGroup::Outcome::kPlaced) continue;
            auto& written = result.destinations;
            written.erase(std::remove(written.begin(), written.end(), placed.destination), written.end());
            if (placed.outcome == DestinationGroup::Outcome::kExisted) {
                result.existing.push_back(placed.destination);
            } else {
                result.status = FileStatus::kFailed;
                if (result.failure == nullptr) result.failure = placed.failure;
            }
        }
        for (Work& work : works_) {
            FileResult& result = work.result;
            if (result.status == FileStatus::kConverted && result.destinations.empty() && !result.existing.empty()) {
                result.status = FileStatus::kSkipped;
            }
            switch (result.status) {
                case FileStatus::kConverted:
                    ++summary_.converted;
                    if (!result.error_lines.empty()) ++summary_.with_error_lines;
                    break;
                case FileStatus::kFailed: ++summary_.failed; break;
                case FileStatus::kSkipped: ++summary_.skipped; break;
            }
            if (callbacks_.file_done) callbacks_.file_done(result);
        }
        works_.clear();
    }

private:
    // A file broken off by a stop: its writing failed with EINTR.
    static bool Interrupted(const FileResult& result) {
        return result.failure != nullptr && result.failure->Kind() == Failure::kWrite &&
               result.failure->SystemError() == EINTR;
    }
    bool Stopped() {
        if (!summary_.stopped && callbacks_.stop_requested && callbacks_.stop_requested()) summary_.stopped = true;
        return summary_.stopped;
    }

    const BatchSettings& settings_;
    const BatchCallbacks& callbacks_;
    BatchSummary& summary_;
    DestinationGroup group_;
    std::vector<Work> works_;
};

bool CancelRequested(const BatchCallbacks& callbacks) {
    if (callbacks.watch != nullptr && callbacks.watch->stop.load()) return true;
    return (callbacks.cancel_requested && callbacks.cancel_requested()) ||
           (callbacks.stop_requested && callbacks.stop_requested());
}

void Progress(const BatchCallbacks& callbacks, std::size_t done, std::size_t count, const fs::path& in_hand) {
    if (callbacks.progress) callbacks.progress(BatchProgress{done, count, in_hand});
}

void RunInOrder(const BatchPlan& plan, const FileConverter& convert, const BatchCallbacks& callbacks,
                Delivery& delivery, BatchSummary& summary) {
    const std::size_t count = plan.files.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (CancelRequested(callbacks)) {
            summary.not_started += count - i;
            break;
        }
        Progress(callbacks, i, count, plan.files[i].source);
        delivery.Add(ConvertOne(plan, convert, callbacks.watch, i));
    }
    if (count > 0) Progress(callbacks, count - std::min(count, summary.not_started), count, {});
}

// Workers take the files in order; the calling thread collects them in order,
// and keeps the workers at most a few files ahead of it, so that what waits
// for its turn stays small.
void RunOnWorkers(const BatchPlan& plan, const FileConverter& convert, const BatchCallbacks& callbacks,
                  Delivery& delivery, BatchSummary& summary, unsigned jobs) {
    const std::size_t count = plan.files.size();
    const std::size_t ahead = 2 * static_cast<std::size_t>(jobs);
    std::mutex mutex;
    std::condition_variable to_workers;
    std::condition_variable to_collector;
    std::size_t next_to_start = 0;
    std::size_t start_limit = std::min(count, ahead);
    bool stop = false;
    std::vector<std::size_t> started;  // not yet told as progress
    std::map<std::size_t, Work> finished;
    std::size_t finished_count = 0;
    std::size_t next_to_collect = 0;
    // The collector is woken only for what it does something with: a start
    // when progress is told, and the file it collects next. A batch of many
    // small files would otherwise switch threads twice a file for nothing.
    const bool tell_starts = static_cast<bool>(callbacks.progress);

    auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            to_workers.wait(lock, [&] { return stop || next_to_start < start_limit; });
            if (stop) return;
            const std::size_t index = next_to_start++;
            if (tell_starts) {
                started.push_back(index);
                to_collector.notify_one();
            }
            lock.unlock();
            Work work = ConvertOne(plan, convert, callbacks.watch, index);
            lock.lock();
            finished.emplace(index, std::move(work));
            ++finished_count;
            if (index == next_to_collect) to_collector.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t j = 0; j < std::min<std::size_t>(jobs, count); ++j) workers.emplace_back(worker);

    // A callback that throws stops the workers before the exception leaves.
    struct JoinWorkers {
        std::mutex& mutex;
        std::condition_variable& to_workers;
        bool& stop;
        std::vector<std::thread>& workers;
        ~JoinWorkers() {
            {
                const std::lock_guard guard(mutex);
                stop = true;
            }
            to_workers.notify_all();
            for (auto& thread : workers) {
                if (thread.joinable()) thread.join();
            }
        }
    } join_workers{mutex, to_workers, stop, workers};

    std::size_t end = count;  // files that will be collected: all, or those started before a cancel
    std::unique_lock lock(mutex);
    while (next_to_collect < end) {
        to_collector.wait(lock, [&] { return !started.empty() || finished.contains(next_to_collect); });
        const std::vector<std::size_t> now_started = std::exchange(started, {});
        std::vector<Work> ready;
        for (auto it = finished.find(next_to_collect); it != finished.end(); it = finished.find(next_to_collect)) {
            ready.push_back(std::move(it->second));
            finished.erase(it);
            ++next_to_collect;
        }
        const std::size_t done = finished_count;
        lock.unlock();
        for (const std::size_t index : now_started) Progress(callbacks, done, count, plan.files[index].source);
        const bool cancel = end == count && CancelRequested(callbacks);
        for (Work& work : ready) delivery.Add(std::move(work));
        lock.lock();
        if (cancel) {
            end = next_to_start;
            start_limit = next_to_start;
            summary.not_started += count - end;
        } else if (end == count) {
            start_limit = std::min(count, next_to_collect + ahead);
        }
        to_workers.notify_all();
    }
    lock.unlock();
    if (count > 0) Progress(callbacks, end, count, {});
}

}  // namespace

std::string_view FileStatusCode(FileStatus status) {
    switch (status) {
        case FileStatus::kConverted: return "converted";
        case FileStatus::kFailed: return "failed";
        case FileStatus::kSkipped: return "skipped";
    }
    return "failed";
}

std::vector<fs::path> ConvertPlannedFile(Conversion conversion, const BatchSettings& settings,
                                         const PlannedFile& file, ErrorList& errors, Storage& storage,
                                         SourceEncoding& encoding, bool folder_exists) {
    std::unique_ptr<LineSource> opened;
    encoding = CheckSource(conversion, file.source, settings.encoding, storage, opened);
    const fs::path folder = file.destination.parent_path();
    std::error_code ec;
    if (!folder_exists && !folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        // Another worker may have made it meanwhile.
        if (ec && !fs::is_directory(folder)) throw ConversionError(Failure::kCreate, folder, "", "", ec.value());
    }
    SourceReading reading(storage, file.source, encoding, errors, std::move(opened));
    const std::string_view caption = settings.caption.empty() ? kCaption : std::string_view(settings.caption);
    auto written = RunConversion(conversion, file.source, file.destination, caption, settings.ddr_options, errors, reading);
    // Only msd2ddr writes one file per chart: a file of headers only writes none.
    if (conversion == Conversion::kMSD2ddr && written.empty()) errors.AddNote(note::kNoChart, "", "");
    return written;
}

unsigned DefaultBatchJobs() {
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online < 1 ? 1U : static_cast<unsigned>(std::min<long>(online, kMaxBatchJobs));
}

std::uint64_t PlanSourceBytes(const BatchPlan& plan) {
    std::uint64_t bytes = 0;
    for (const auto& file : plan.files) {
        std::error_code ec;
        const auto size = fs::file_size(file.source, ec);
        if (!ec) bytes += static_cast<std::uint64_t>(size);
    }
    return bytes;
}

BatchSummary RunBatch(const BatchPlan& plan, const BatchSettings& settings, const BatchCallbacks& callbacks) {
    BatchSummary summary;
    summary.files = plan.files.size();
    FileConverter convert = settings.convert;
    // The folders the batch makes for its destinations: those that end up
    // empty (their files failed) are taken away again at the end.
    std::mutex folders_mutex;
    std::set<fs::path> made_folders;
    // Folders that a destination was written into: looked at no more.
    std::unordered_set<std::string> ready_folders;
    if (!convert) {
        convert = [&](const PlannedFile& file, ErrorList& errors, Storage& storage, SourceEncoding& encoding) {
            const fs::path folder = file.destination.parent_path();
            bool ready = false;
            {
                const std::lock_guard lock(folders_mutex);
                ready = ready_folders.contains(folder.native());
            }
            if (!ready) {
                std::vector<fs::path> missing;
                std::error_code ec;
                for (fs::path at = folder; !at.empty() && !fs::exists(at, ec); at = at.parent_path()) {
                    missing.push_back(at);
                    if (at == at.parent_path()) break;
                }
                if (!missing.empty()) {
                    const std::lock_guard lock(folders_mutex);
                    made_folders.insert(missing.begin(), missing.end());
                }
            }
            auto written = ConvertPlannedFile(plan.conversion, settings, file, errors, storage, encoding, ready);
            if (!ready) {
                const std::lock_guard lock(folders_mutex);
                ready_folders.insert(folder.native());
            }
            return written;
        };
    }
    Delivery delivery(settings, callbacks, summary);
    if (settings.jobs <= 1 || plan.files.size() <= 1) {
        RunInOrder(plan, convert, callbacks, delivery, summary);
    } else {
        RunOnWorkers(plan, convert, callbacks, delivery, summary, settings.jobs);
    }
    delivery.Flush();
    // Deepest first; a folder that holds anything stays.
    for (auto it = made_folders.rbegin(); it != made_folders.rend(); ++it) ::rmdir(it->c_str());
    return summary;
}

}  // namespace torvane
