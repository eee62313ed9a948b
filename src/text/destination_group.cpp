#include "text/line_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <utility>

#include "text/safe_file.hpp"

namespace torvane {
namespace {

class GroupSink final : public LineSink {
public:
    GroupSink(std::filesystem::path destination, std::function<void(TempFile&)> complete)
        : file_(std::move(destination)), complete_(std::move(complete)) {}

    void WriteLine(std::string_view line) override { file_.WriteLine(line); }

    void Commit() override {
        file_.Close(false);
        complete_(file_);
    }

private:
    TempFile file_;
    std::function<void(TempFile&)> complete_;
};

}  // namespace

struct DestinationGroup::Writes::Completed {
    std::filesystem::path destination;
    std::unique_ptr<TempFileName> name;
    std::uintmax_t bytes = 0;
    dev_t device = 0;
};

struct DestinationGroup::Pending {
    std::size_t owner = 0;
    Writes::Completed file;
};

namespace {

void Unlink(const std::unique_ptr<TempFileName>& name) {
    if (name != nullptr && name->Path() != nullptr) ::unlink(name->Path());
}

// Runs `sync` on an open descriptor of `folder`; 0 or the errno.
int SyncFolder(const std::filesystem::path& folder, int (*sync)(int)) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = sync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Renames without replacing: 0, or the errno (EEXIST when the destination is there).
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a link fails as well when the name is taken.
    if (::link(from, to) != 0) return errno;
    ::unlink(from);
    return 0;
}

}  // namespace

DestinationGroup::Writes::Writes(Storage& sources) : sources_(sources) {}

DestinationGroup::Writes::~Writes() { Discard(); }

std::unique_ptr<LineSource> DestinationGroup::Writes::OpenSource(const std::filesystem::path& source) {
    return sources_.OpenSource(source);
}

std::unique_ptr<LineSink> DestinationGroup::Writes::CreateDestination(const std::filesystem::path& destination,
                                                                      const std::filesystem::path& source) {
    if (IsSameFile(destination, source)) throw ConversionError(Failure::kSourceIsDestination, destination);
    return std::make_unique<GroupSink>(destination, [this](TempFile& file) {
        const dev_t device = file.Device();
        Complete(file.Destination(), file.Release(), file.Bytes(), device);
    });
}

void DestinationGroup::Writes::Complete(std::filesystem::path destination, std::unique_ptr<TempFileName> name,
                                        std::uintmax_t bytes, dev_t device) {
    // A file written again by the same source (a later chart of the same
    // style and difficulty) replaces the earlier one.
    for (auto it = completed_.begin(); it != completed_.end(); ++it) {
        if (it->destination == destination) {
            Unlink(it->name);
            completed_.erase(it);
            break;
        }
    }
    completed_.push_back(Completed{std::move(destination), std::move(name), bytes, device});
}

void DestinationGroup::Writes::Discard() {
    for (auto& file : completed_) Unlink(file.name);
    completed_.clear();
}

DestinationGroup::DestinationGroup(bool no_clobber) : no_clobber_(no_clobber) {}

DestinationGroup::~DestinationGroup() {
    for (auto& pending : pending_) Unlink(pending.file.name);
}

void DestinationGroup::Add(Writes& writes, std::size_t owner) {
    for (auto& file : writes.completed_) {
        bytes_ += file.bytes;
        pending_.push_back(Pending{owner, std::move(file)});
    }
    writes.completed_.clear();
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
        results[i].destination = pending_[i].file.destination;
    }

    // Durable first: one syncfs per file system, or each file's data.
    std::map<dev_t, std::vector<std::size_t>> by_device;
    for (std::size_t i = 0; i < pending_.size(); ++i) by_device[pending_[i].file.device].push_back(i);
    for (const auto& [device, files] : by_device) {
        if (SyncFolder(FolderOf(pending_[files.front()].file.destination), ::syncfs) == 0) continue;
        for (const std::size_t i : files) {
            const int fd = ::open(pending_[i].file.name->Path(), O_RDONLY | O_CLOEXEC);
            const int error = fd < 0 ? errno : ::fdatasync(fd) == 0 ? 0 : errno;
            if (fd >= 0) ::close(fd);
            if (error != 0) fail(i, Failure::kWrite, pending_[i].file.destination, error);
        }
    }

    // Then in place, in order.
    std::vector<std::filesystem::path> folders;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        Writes::Completed& file = pending_[i].file;
        if (results[i].outcome == Outcome::kFailed) {
            Unlink(file.name);
            continue;
        }
        const int error = no_clobber_ ? RenameNoReplace(file.name->Path(), file.destination.c_str())
                          : std::rename(file.name->Path(), file.destination.c_str()) == 0 ? 0
                                                                                            : errno;
        if (error == 0) {
            file.name->Forget();
            const auto folder = FolderOf(file.destination);
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
        } else if (error == EEXIST && no_clobber_) {
            results[i].outcome = Outcome::kExisted;
            Unlink(file.name);
        } else {
            fail(i, Failure::kReplace, file.destination, error);
            Unlink(file.name);
        }
    }

    // The renames themselves durable: each folder once.
    for (const auto& folder : folders) {
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
