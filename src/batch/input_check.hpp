#pragma once
// What both front ends check before a source is converted, and how its text
// is read: a file that is empty, binary or of another format is refused
// before anything is written, and a UTF-8 source is read as code page 932.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "batch/conversions.hpp"
#include "text/encoding.hpp"
#include "text/error_list.hpp"
#include "text/line_io.hpp"

namespace torvane {

enum class EncodingChoice {
    kAuto,   // UTF-8 when the source begins with its byte-order mark, or
             // reads better as UTF-8 than as code page 932 (ReadsAsUtf8)
    kCp932,  // every source is code page 932, as it stands
    kUtf8,   // every source is UTF-8; one that is not is refused
};
// Whatever the choice, a source that begins with a UTF-16 byte-order mark is
// UTF-16 of that order.

// A NUL byte this early makes a file binary.
inline constexpr std::size_t kBinaryCheckBytes = 64 * 1024;

// Whether `line` belongs to the source format of the conversion: for MSD a
// line that begins with one of its tags; for d2r one of its keys or a step
// line; for ddr one of its directives or a step line.
[[nodiscard]] bool IsLineOfFormat(Conversion conversion, std::string_view line);

// Reads `source` and refuses it with a ConversionError of kind
// kNotARegularFile or kBrokenLink (told before it is opened), kEmptyFile (no
// byte), kBinaryData (a NUL byte in its first 64 KiB, UTF-16 aside),
// kWrongFormat (no line of the conversion's source format; key "an MSD", "a
// d2r" or "a ddr", text what is missing) or, under kUtf8, kNotUtf8 (text
// "line N", the line of the first byte that is not UTF-8). Returns how the
// source is to be read. Reads the whole file only while it may still be
// UTF-8.
[[nodiscard]] SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source,
                                         EncodingChoice choice, Storage& storage = DiskStorage());

// The same, handing the opened source over in `opened` for the conversion to
// read, so that a library's files are not opened twice each.
[[nodiscard]] SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source,
                                         EncodingChoice choice, Storage& storage,
                                         std::unique_ptr<LineSource>& opened);

// The storage a converter reads `source` through: a UTF-8 or UTF-16 source
// becomes code page 932 on the way in, and each character without a code page 932 form an
// error line of `errors`. Destinations go to `storage` unchanged.
class SourceReading final : public Storage {
public:
    // `opened`, when given, is `source` opened already: the first opening of
    // the source takes it, from its start.
    SourceReading(Storage& storage, std::filesystem::path source, SourceEncoding encoding, ErrorList& errors,
                  std::unique_ptr<LineSource> opened = nullptr);

    [[nodiscard]] std::unique_ptr<LineSource> OpenSource(const std::filesystem::path& source) override;
    [[nodiscard]] std::unique_ptr<LineSink> CreateDestination(const std::filesystem::path& destination,
                                                              const std::filesystem::path& source) override;

private:
    Storage& storage_;
    std::filesystem::path source_;
    SourceEncoding encoding_;
    ErrorList& errors_;
    std::string file_name_;
    std::unique_ptr<LineSource> opened_;
    // The same bytes read again give the same error lines: only the first
    // reading reports them.
    bool reported_ = false;
};

}  // namespace torvane
