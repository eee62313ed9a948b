#include "text/destination_group.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "text/safe_file.hpp"

namespace torvane {
namespace {

// Written lines are checked for a stop only every so often.
constexpr unsigned kLinesBetweenStopChecks = 4096;

class GroupSink final : public LineSink {
public:
    GroupSink(std::filesystem::path destination, std::optional<mode_t> existing_mode,
              std::function<void(std::unique_ptr<TempFile>)> complete)
        : file_(std::make_unique<TempFile>(std::move(destination), existing_mode)), complete_(std::move(complete)) {}

    void WriteLine(std::string_view line) override {
        // A program asked to stop drops the file in hand rather than finish it.
        if (++lines_ % kLinesBetweenStopChecks == 0 && StopReason() != 0) {
            ThrowIoError(file_->Destination(), Failure::kWrite, EINTR);
        }
        file_->WriteLine(line);
    }

    void WriteLines(std::string_view lines) override {
        if (StopReason() != 0) ThrowIoError(file_->Destination(), Failure::kWrite, EINTR);
        file_->WriteText(lines);
    }

    void Commit() override {
        file_->Close(false);
        complete_(std::move(file_));
    }

private:
    std::unique_ptr<TempFile> file_;
    std::function<void(std::unique_ptr<TempFile>)> complete_;
    unsigned lines_ = 0;
};

}  // namespace

struct DestinationGroup::Writes::Completed {
    std::unique_ptr<TempFile> file;
};

struct DestinationGroup::Pending {
    std::size_t owner = 0;
    Writes::Completed file;
};

namespace {

// Runs `sync` on an open descriptor of `folder`; 0 or the errno.
int SyncFolder(const std::filesystem::path& folder, int (*sync)(int)) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = sync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

DestinationGroup::Writes::Writes(Storage& sources) : sources_(sources) {}

DestinationGroup::Writes::~Writes() { Discard(); }

std::unique_ptr<LineSource> DestinationGroup::Writes::OpenSource(const std::filesystem::path& source) {
    return sources_.OpenSource(source);
}

std::unique_ptr<LineSink> DestinationGroup::Writes::CreateDestination(const std::filesystem::path& destination,
                                                                      const std::filesystem::path& source) {
    return std::make_unique<GroupSink>(destination, LookAtDestination(destination, source),
                                       [this](std::unique_ptr<TempFile> file) { Complete(std::move(file)); });
}

void DestinationGroup::Writes::Complete(std::unique_ptr<TempFile> file) {
    // A file written again by the same source (a later chart of the same
    // style and difficulty) replaces the earlier one.
    for (auto it = completed_.begin(); it != completed_.end(); ++it) {
        if (it->file->Destination() == file->Destination()) {
            completed_.erase(it);
            break;
        }
    }
    completed_.push_back(Completed{std::move(file)});
}

void DestinationGroup::Writes::Discard() { completed_.clear(); }

DestinationGroup::DestinationGroup(bool no_clobber) : no_clobber_(no_clobber) {}

DestinationGroup::~DestinationGroup() = default;

void DestinationGroup::Add(Writes& writes, std::size_t owner) {
    for (auto& file : writes.completed_) {
        bytes_ += file.file->Bytes();
        pending_.push_back(Pending{owner, std::move(file)});
    }
    writes.completed_.clear();
}

void DestinationGroup::Discard() {
    pending_.clear();
    bytes_ = 0;
}

std::size_t DestinationGroup::Files() const { return pending_.size(); }

std::vector<DestinationGroup::Result> DestinationGroup::Commit() {
    std::vector<Result> results(pending_.size());
    const auto fail = [&](std::size_t i, Failure kind, const std::filesystem::path& file, int error) {
        results[i].outcome = Outcome::kFailed;
        results[i].failure = std::make_shared<const ConversionError>(kind, file, std::string(), std::string(), error);
    };
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        results[i].owner = pending_[i].owner;
        results[i].destination = pending_[i].file.file->Destination();
    }

    // The file system of each file is its folder's: one look a folder.
    std::vector<dev_t> devices(pending_.size());
    {
        std::unordered_map<std::string, dev_t> by_folder;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            const auto [at, added] = by_folder.try_emplace(FolderOf(results[i].destination).native(), 0);
            struct stat folder {};
            if (added && ::stat(at->first.c_str(), &folder) == 0) at->second = folder.st_dev;
            devices[i] = at->second;
        }
    }

    // Durable first: one syncfs per file system, or each file's data.
    std::map<dev_t, std::vector<std::size_t>> by_device;
    for (std::size_t i = 0; i < pending_.size(); ++i) by_device[devices[i]].push_back(i);
    for (const auto& [device, files] : by_device) {
        if (SyncFolder(FolderOf(pending_[files.front()].file.file->Destination()), ::syncfs) == 0) continue;
        for (const std::size_t i : files) {
            if (const int error = pending_[i].file.file->Sync(); error != 0) {
                fail(i, Failure::kWrite, results[i].destination, error);
            }
        }
    }

    // Then each named and in place, in order: a named temporary file exists
    // only between the two.
    std::map<dev_t, std::set<std::filesystem::path>> folders_by_device;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        std::unique_ptr<TempFile> file = std::move(pending_[i].file.file);
        const dev_t device = devices[i];
        if (results[i].outcome == Outcome::kFailed) continue;
        int error = 0;
        try {
            // A destination that was not there takes its name in one link;
            // otherwise, or when the name has been taken since, the file is
            // renamed from a temporary name.
            error = file->LinkAsDestination();
            if (error != 0 && !(error == EEXIST && no_clobber_)) {
                file->Link();
                error = file->PutInPlace(no_clobber_);
            }
        } catch (const ConversionError& failure) {
            results[i].outcome = Outcome::kFailed;
            results[i].failure = std::make_shared<const ConversionError>(failure);
            continue;
        }
        if (error == 0) {
            const auto folder = FolderOf(results[i].destination);
            folders_by_device[device].insert(folder);
        } else if (error == EEXIST && no_clobber_) {
            results[i].outcome = Outcome::kExisted;
        } else {
            fail(i, Failure::kReplace, results[i].destination, error);
        }
    }

    // The renames themselves durable: each folder once, or, for files spread
    // over many folders (a folder a song), their file system once.
    std::vector<std::filesystem::path> unsynced;
    for (const auto& [device, in_device] : folders_by_device) {
        if (in_device.size() > 1 && SyncFolder(*in_device.begin(), ::syncfs) == 0) continue;
        unsynced.insert(unsynced.end(), in_device.begin(), in_device.end());
    }
    for (const auto& folder : unsynced) {
        const int error = SyncFolder(folder, ::fsync);
        if (error == 0 || error == EINVAL) continue;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (results[i].outcome == Outcome::kPlaced && FolderOf(results[i].destination) == folder) {
                fail(i, Failure::kWrite, folder, error);
            }
        }
    }
    pending_.clear();
    bytes_ = 0;
    return results;
}

}  // namespace torvane
