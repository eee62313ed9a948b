#include "batch/input_check.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <utility>

#include "batch/sources.hpp"
#include "text/conversion_error.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

constexpr std::array<std::string_view, 9> kMsdTags = {"#FILE:",   "#TITLE:",  "#ARTIST:", "#MSD:",  "#BPM:",
                                                      "#GAP:",    "#SINGLE:", "#COUPLE:", "#DOUBLE:"};
constexpr std::array<std::string_view, 12> kD2rKeys = {"TITLE=", "ARTIST=", "MUSIC=",  "SHORTCUT=", "TEMPO10=", "DELAY=",
                                                       "START=", "ID=",     "GAMEMODE=", "PLAYER=", "MODE=",    "LEVEL="};
constexpr std::array<std::string_view, 5> kD2rStepHeads = {"8.:", "4.:", "4p:", "4P:", "T:"};
constexpr std::array<std::string_view, 6> kDdrDirectives = {"#title ", "#double",  "#twoplay",
                                                            "#basic",  "#another", "#maniac"};

template <std::size_t N>
bool BeginsWithOneOf(std::string_view line, const std::array<std::string_view, N>& heads) {
    for (const std::string_view head : heads) {
        if (line.starts_with(head)) return true;
    }
    return false;
}

// "#" or "$", a measure number of three or more digits, ":".
bool IsDdrStepLine(std::string_view line) {
    if (line.empty() || (line[0] != '#' && line[0] != '$')) return false;
    std::size_t digits = 1;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits])) != 0) ++digits;
    return digits >= 4 && digits < line.size() && line[digits] == ':';
}

bool IsMsdLine(std::string_view line) { return BeginsWithOneOf(line, kMsdTags); }
bool IsD2rLine(std::string_view line) { return BeginsWithOneOf(line, kD2rKeys) || BeginsWithOneOf(line, kD2rStepHeads); }
bool IsDdrLine(std::string_view line) { return BeginsWithOneOf(line, kDdrDirectives) || IsDdrStepLine(line); }

// What the check knows of each format read, by its code less one.
struct FormatCheck {
    std::string_view what;     // "an MSD", in the failure's words
    std::string_view missing;  // why a file is none of it
    bool (*is_line_of_format)(std::string_view line);
};

constexpr std::array<FormatCheck, 3> kFormatChecks = {{
    {"an MSD", "no MSD tag in it", IsMsdLine},
    {"a d2r", "no d2r key or step line in it", IsD2rLine},
    {"a ddr", "no ddr directive or step line in it", IsDdrLine},
}};

const FormatCheck& CheckOf(Conversion conversion) {
    return kFormatChecks[static_cast<std::size_t>(RowOf(conversion).from) - 1];
}

[[noreturn]] void ThrowWrongFormat(Conversion conversion, const std::filesystem::path& source) {
    const FormatCheck& check = CheckOf(conversion);
    throw ConversionError(Failure::kWrongFormat, source, std::string(check.what), std::string(check.missing));
}

// The line, from 1, that the byte at `offset` of `input` lies on; lines end
// at CR, LF and CR LF, as the converters read them.
std::size_t LineOfOffset(LineSource& input, std::size_t offset) {
    input.Rewind();
    char buffer[64 * 1024];
    std::size_t line = 1;
    std::size_t at = 0;
    char previous = 0;
    for (std::size_t n; at < offset && (n = input.ReadBytes(buffer, sizeof buffer)) != 0;) {
        const std::size_t take = std::min(n, offset - at);
        for (std::size_t i = 0; i < take; ++i) {
            if (buffer[i] == '\r' || (buffer[i] == '\n' && previous != '\r')) ++line;
            previous = buffer[i];
        }
        at += take;
    }
    return line;
}

}  // namespace

bool IsLineOfFormat(Conversion conversion, std::string_view line) { return CheckOf(conversion).is_line_of_format(line); }

SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source, EncodingChoice choice,
                           Storage& storage) {
    std::unique_ptr<LineSource> opened;
    return CheckSource(conversion, source, choice, storage, opened);
}

SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source, EncodingChoice choice,
                           Storage& storage, std::unique_ptr<LineSource>& opened) {
    // Opening a FIFO waits for a writer, and a device may never end.
    const FoundSource found = ExamineSource(source);
    if (found.problem == WalkProblem::kNotARegularFile) throw ConversionError(Failure::kNotARegularFile, source);
    if (found.problem == WalkProblem::kBrokenLink) {
        throw ConversionError(Failure::kBrokenLink, source, "", "", found.system_error);
    }
    opened = storage.OpenSource(source);
    LineSource* const input = opened.get();

    // The bytes first: empty, binary, and while it may still be UTF-8, its
    // encoding. A chart file is read so whole in one go, with no line copied.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBinaryCheckBytes);
    std::size_t offset = 0;
    bool byte_order_mark = false;
    std::optional<SourceEncoding> utf16;
    Utf8Scan scan;
    Cp932Scan cp932;
    const bool scanning = choice != EncodingChoice::kCp932;
    for (;;) {
        const std::size_t n = input->ReadBytes(buffer.get(), kBinaryCheckBytes);
        if (n == 0) break;
        std::string_view bytes(buffer.get(), n);
        if (offset == 0) {
            if (bytes.starts_with(kUtf16LEByteOrderMark)) utf16 = SourceEncoding::kUtf16LE;
            if (bytes.starts_with(kUtf16BEByteOrderMark)) utf16 = SourceEncoding::kUtf16BE;
            if (utf16) {
                offset = n;
                break;  // its NUL bytes are its text's
            }
            if (bytes.starts_with(kUtf8ByteOrderMark)) {
                byte_order_mark = true;
                bytes.remove_prefix(kUtf8ByteOrderMark.size());
            }
        }
        if (offset < kBinaryCheckBytes &&
            bytes.substr(0, kBinaryCheckBytes - offset).find('\0') != std::string_view::npos) {
            throw ConversionError(Failure::kBinaryData, source);
        }
        offset += n;
        const bool may_be_utf8 = scanning && !(byte_order_mark && choice == EncodingChoice::kAuto) && scan.Valid();
        if (may_be_utf8) {
            scan.Feed(bytes);
            if (choice == EncodingChoice::kAuto) cp932.Feed(bytes);
        }
        if (offset >= kBinaryCheckBytes && !(may_be_utf8 && scan.Valid())) break;
    }
    if (offset == 0) throw ConversionError(Failure::kEmptyFile, source);
    scan.End();
    cp932.End();
    std::size_t not_utf8_line = 0;
    if (choice == EncodingChoice::kUtf8 && !utf16 && !scan.Valid()) {
        not_utf8_line = LineOfOffset(*input, scan.InvalidAt() + (byte_order_mark ? kUtf8ByteOrderMark.size() : 0));
    }

    // Then the lines, up to the first of the format: as a rule the first.
    input->Rewind();
    std::optional<Utf16Lines> utf16_lines;
    if (utf16) utf16_lines.emplace(*input, *utf16 == SourceEncoding::kUtf16BE);
    LineSource& lines = utf16_lines ? static_cast<LineSource&>(*utf16_lines) : *input;
    std::string line;
    bool of_format = false;
    for (bool first = true; !of_format && lines.ReadLine(line); first = false) {
        if (first && line.starts_with(kUtf8ByteOrderMark)) line.erase(0, kUtf8ByteOrderMark.size());
        of_format = IsLineOfFormat(conversion, line);
    }
    if (!of_format) ThrowWrongFormat(conversion, source);
    if (utf16) return *utf16;
    if (not_utf8_line != 0) {
        throw ConversionError(Failure::kNotUtf8, source, "", "line " + std::to_string(not_utf8_line));
    }

    switch (choice) {
        case EncodingChoice::kCp932: return SourceEncoding::kCp932;
        case EncodingChoice::kUtf8: return SourceEncoding::kUtf8;
        case EncodingChoice::kAuto: break;
    }
    return byte_order_mark || ReadsAsUtf8(scan, cp932) ? SourceEncoding::kUtf8 : SourceEncoding::kCp932;
}

SourceReading::SourceReading(Storage& storage, std::filesystem::path source, SourceEncoding encoding,
                             ErrorList& errors, std::unique_ptr<LineSource> opened)
    : storage_(storage),
      source_(std::move(source)),
      encoding_(encoding),
      errors_(errors),
      file_name_(FileNameForErrorLine(source_)),
      opened_(std::move(opened)) {}

std::unique_ptr<LineSource> SourceReading::OpenSource(const std::filesystem::path& source) {
    std::unique_ptr<LineSource> input;
    if (opened_ != nullptr && source == source_) {
        input = std::move(opened_);
        input->Rewind();
    } else {
        input = storage_.OpenSource(source);
    }
    if (source != source_) return input;
    if (encoding_ == SourceEncoding::kUtf16LE || encoding_ == SourceEncoding::kUtf16BE) {
        input = MakeUtf16Source(std::move(input), encoding_ == SourceEncoding::kUtf16BE);
    }
    // Counted before the characters without a form are reported.
    errors_.CountLinesOf(*input);
    if (encoding_ == SourceEncoding::kCp932) return input;
    const bool report = !std::exchange(reported_, true);
    return MakeUtf8Source(std::move(input), [this, report](std::string_view character) {
        if (report) errors_.Add(file_name_, ErrorCode::kNoCp932Form, CodePointName(character));
    });
}

std::unique_ptr<LineSink> SourceReading::CreateDestination(const std::filesystem::path& destination,
                                                           const std::filesystem::path& source) {
    return storage_.CreateDestination(destination, source);
}

}  // namespace torvane
