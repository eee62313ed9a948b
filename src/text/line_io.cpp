#include "text/line_io.hpp"

#include <cerrno>
#include <system_error>
#include <utility>

#include "text/safe_file.hpp"

namespace torvane {

void LineSink::WriteLines(std::string_view lines) {
    while (!lines.empty()) {
        const std::size_t end = lines.find("\r\n");
        if (end == std::string_view::npos) {
            WriteLine(lines);
            return;
        }
        WriteLine(lines.substr(0, end));
        lines.remove_prefix(end + 2);
    }
}
namespace {

// One file made durable and put in place by itself.
class DiskLineSink final : public LineSink {
public:
    DiskLineSink(std::filesystem::path destination, std::optional<mode_t> existing_mode)
        : file_(std::move(destination), existing_mode) {}

    void WriteLine(std::string_view line) override {
        // A program asked to stop drops the file in hand rather than finish it.
        if (++lines_ % 4096 == 0 && StopReason() != 0) ThrowIoError(file_.Destination(), Failure::kWrite, EINTR);
        file_.WriteLine(line);
    }

    void Commit() override {
        file_.Close(true);
        file_.Replace();
    }

private:
    TempFile file_;
    unsigned lines_ = 0;
};

class DiskStorageImpl final : public Storage {
public:
    // A folder is refused by the source as it opens.
    std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override {
        return OpenFileLineSource(source);
    }
    std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                const std::filesystem::path& source) override {
        return std::make_unique<DiskLineSink>(destination, LookAtDestination(destination, source));
    }
};

class MemoryLineSink final : public LineSink {
public:
    MemoryLineSink(MemoryStorage& storage, std::filesystem::path destination)
        : storage_(storage), destination_(std::move(destination)) {}
    void WriteLine(std::string_view line) override { content_.append(line).append("\r\n"); }
    void Commit() override { storage_.files[destination_] = std::move(content_); }

private:
    MemoryStorage& storage_;
    std::filesystem::path destination_;
    std::string content_;
};

}  // namespace

Storage& DiskStorage() {
    static DiskStorageImpl storage;
    return storage;
}

std::unique_ptr<LineSink> MemoryStorage::CreateDestination(const std::filesystem::path& destination,
                                                           const std::filesystem::path& source) {
    if (destination == source) {
        throw ConversionError(Failure::kSourceIsDestination, destination);
    }
    return std::make_unique<MemoryLineSink>(*this, destination);
}

void ReplaceFileSafely(const std::filesystem::path& file, std::string_view bytes) {
    TempFile temp(file);
    temp.Write(bytes);
    temp.Close(true);
    temp.Replace();
}

}  // namespace torvane
