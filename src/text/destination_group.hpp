#pragma once
// Many destination files made durable and put in place together.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "text/line_io.hpp"

namespace torvane {

class TempFile;
class ConversionError;

// Destinations of many files made durable together. Writing a file safely
// on its own costs a sync of its data and a rename that forces a write-back;
// a group pays the sync once: its files are written into temporary files
// beside their destinations (unnamed ones where the file system allows), made durable with one syncfs of their file
// system (an fdatasync of each where that fails), then renamed over their
// destinations, and each destination folder is synced once. A crash at any
// moment leaves every destination old or new and whole.
class DestinationGroup {
public:
    // The files of one source. Its sinks' Commit() only completes a
    // temporary file; the files reach the group by DestinationGroup::Add(),
    // or are removed by Discard() (also when the object goes), so that a
    // source that fails halfway replaces nothing.
    class Writes final : public Storage {
    public:
        explicit Writes(Storage& sources = DiskStorage());
        ~Writes() override;
        Writes(const Writes&) = delete;
        Writes& operator=(const Writes&) = delete;

        [[nodiscard]] std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override;
        [[nodiscard]] std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                                  const std::filesystem::path& source) override;
        void Discard();

    private:
        friend class DestinationGroup;
        struct Completed;
        void Complete(std::unique_ptr<TempFile> file);

        Storage& sources_;
        std::vector<Completed> completed_;
    };

    enum class Outcome {
        kPlaced,   // the destination holds the new file
        kExisted,  // no-clobber: the destination existed and was left alone
        kFailed,   // the destination is as it was (or new but not known durable)
    };
    struct Result {
        std::size_t owner = 0;
        std::filesystem::path destination;
        Outcome outcome = Outcome::kPlaced;
        std::shared_ptr<const ConversionError> failure;  // for kFailed
    };

    explicit DestinationGroup(bool no_clobber = false);
    ~DestinationGroup();
    DestinationGroup(const DestinationGroup&) = delete;
    DestinationGroup& operator=(const DestinationGroup&) = delete;

    // Takes over the completed files of `writes`, tagged with `owner`.
    void Add(Writes& writes, std::size_t owner);
    [[nodiscard]] std::size_t Files() const;
    [[nodiscard]] std::uintmax_t Bytes() const { return bytes_; }
    // Drops every file of the group: no destination is touched.
    void Discard();

    // Makes every file durable, puts each in place in the order added, and
    // empties the group. One result per file.
    [[nodiscard]] std::vector<Result> Commit();

private:
    struct Pending;
    bool no_clobber_;
    std::vector<Pending> pending_;
    std::uintmax_t bytes_ = 0;
};

}  // namespace torvane
