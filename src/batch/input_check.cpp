#include "batch/input_check.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

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

[[noreturn]] void ThrowWrongFormat(Conversion conversion, const std::filesystem::path& source) {
    switch (conversion) {
        case Conversion::kd2r2MSD:
            throw ConversionError(Failure::kWrongFormat, source, "a d2r", "no d2r key or step line in it");
        case Conversion::kddr2MSD:
            throw ConversionError(Failure::kWrongFormat, source, "a ddr", "no ddr directive or step line in it");
        case Conversion::kMSD2d2r:
        case Conversion::kMSD2ddr: break;
    }
    throw ConversionError(Failure::kWrongFormat, source, "an MSD", "no MSD tag in it");
}

}  // namespace

bool IsLineOfFormat(Conversion conversion, std::string_view line) {
    switch (conversion) {
        case Conversion::kd2r2MSD: return BeginsWithOneOf(line, kD2rKeys) || BeginsWithOneOf(line, kD2rStepHeads);
        case Conversion::kddr2MSD: return BeginsWithOneOf(line, kDdrDirectives) || IsDdrStepLine(line);
        case Conversion::kMSD2d2r:
        case Conversion::kMSD2ddr: break;
    }
    return BeginsWithOneOf(line, kMsdTags);
}

SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source, EncodingChoice choice,
                           Storage& storage) {
    std::unique_ptr<LineSource> opened;
    return CheckSource(conversion, source, choice, storage, opened);
}

SourceEncoding CheckSource(Conversion conversion, const std::filesystem::path& source, EncodingChoice choice,
                           Storage& storage, std::unique_ptr<LineSource>& opened) {
    opened = storage.OpenSource(source);
    LineSource* const input = opened.get();

    // The bytes first: empty, binary, and while it may still be UTF-8, its
    // encoding. A chart file is read so whole in one go, with no line copied.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBinaryCheckBytes);
    std::size_t offset = 0;
    bool byte_order_mark = false;
    Utf8Scan scan;
    for (;;) {
        const std::size_t n = input->ReadBytes(buffer.get(), kBinaryCheckBytes);
        if (n == 0) break;
        std::string_view bytes(buffer.get(), n);
        if (offset == 0 && bytes.starts_with(kUtf8ByteOrderMark)) {
            byte_order_mark = true;
            bytes.remove_prefix(kUtf8ByteOrderMark.size());
        }
        if (offset < kBinaryCheckBytes &&
            bytes.substr(0, kBinaryCheckBytes - offset).find('\0') != std::string_view::npos) {
            throw ConversionError(Failure::kBinaryData, source);
        }
        offset += n;
        const bool may_be_utf8 = choice == EncodingChoice::kAuto && !byte_order_mark && scan.Valid();
        if (may_be_utf8) scan.Feed(bytes);
        if (offset >= kBinaryCheckBytes && !(may_be_utf8 && scan.Valid())) break;
    }
    if (offset == 0) throw ConversionError(Failure::kEmptyFile, source);
    scan.End();

    // Then the lines, up to the first of the format: as a rule the first.
    input->Rewind();
    std::string line;
    bool of_format = false;
    for (bool first = true; !of_format && input->ReadLine(line); first = false) {
        if (first && line.starts_with(kUtf8ByteOrderMark)) line.erase(0, kUtf8ByteOrderMark.size());
        of_format = IsLineOfFormat(conversion, line);
    }
    if (!of_format) ThrowWrongFormat(conversion, source);

    switch (choice) {
        case EncodingChoice::kCp932: return SourceEncoding::kCp932;
        case EncodingChoice::kUtf8: return SourceEncoding::kUtf8;
        case EncodingChoice::kAuto: break;
    }
    return byte_order_mark || (scan.Valid() && scan.HasLongSequence()) ? SourceEncoding::kUtf8
                                                                       : SourceEncoding::kCp932;
}

const std::string& UnconvertibleCharacterMessage() {
    static const std::string message = Utf8ToCp932("：Shift-JISで表せない文字です");
    return message;
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
    if (encoding_ != SourceEncoding::kUtf8 || source != source_) return input;
    const bool report = !std::exchange(reported_, true);
    return MakeUtf8Source(std::move(input), [this, report](std::string_view character) {
        if (report) errors_.Add(file_name_, UnconvertibleCharacterMessage(), CodePointName(character));
    });
}

std::unique_ptr<LineSink> SourceReading::CreateDestination(const std::filesystem::path& destination,
                                                           const std::filesystem::path& source) {
    return storage_.CreateDestination(destination, source);
}

}  // namespace torvane
