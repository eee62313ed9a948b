#include "batch/input_check.hpp"

#include <algorithm>
#include <array>
#include <cctype>

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
    auto input = storage.OpenSource(source);
    std::string line;
    if (!input->ReadLine(line)) throw ConversionError(Failure::kEmptyFile, source);

    bool byte_order_mark = false;
    if (line.starts_with(kUtf8ByteOrderMark)) {
        byte_order_mark = true;
        line.erase(0, kUtf8ByteOrderMark.size());
    }
    Utf8Scan scan;
    bool of_format = false;
    // Counted with one byte per line end, so that the check reaches at
    // least as far as promised.
    std::size_t offset = 0;
    bool more = true;
    for (; more; more = input->ReadLine(line)) {
        if (offset < kBinaryCheckBytes &&
            line.find('\0') < std::min(line.size(), kBinaryCheckBytes - offset)) {
            throw ConversionError(Failure::kBinaryData, source);
        }
        offset += line.size() + 1;
        if (!of_format) of_format = IsLineOfFormat(conversion, line);
        if (choice == EncodingChoice::kAuto && !byte_order_mark && scan.Valid()) {
            scan.Feed(line);
            scan.Feed("\n");
        }
        const bool encoding_known = choice != EncodingChoice::kAuto || byte_order_mark || !scan.Valid();
        if (of_format && encoding_known && offset >= kBinaryCheckBytes) break;
    }
    if (!more) scan.End();
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
                             ErrorList& errors)
    : storage_(storage),
      source_(std::move(source)),
      encoding_(encoding),
      errors_(errors),
      file_name_(FileNameForErrorLine(source_)) {}

std::unique_ptr<LineSource> SourceReading::OpenSource(const std::filesystem::path& source) {
    auto input = storage_.OpenSource(source);
    if (encoding_ != SourceEncoding::kUtf8 || source != source_) return input;
    return MakeUtf8Source(std::move(input), [this](std::string_view character) {
        errors_.Add(file_name_, UnconvertibleCharacterMessage(), CodePointName(character));
    });
}

std::unique_ptr<LineSink> SourceReading::CreateDestination(const std::filesystem::path& destination,
                                                           const std::filesystem::path& source) {
    return storage_.CreateDestination(destination, source);
}

}  // namespace torvane
