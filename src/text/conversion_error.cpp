#include "text/conversion_error.hpp"

#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include "text/sjis.hpp"

namespace torvane {
namespace {

std::string SystemReason(int system_error) {
    return system_error != 0 ? std::string(": ") + std::strerror(system_error) : std::string();
}

// Numbers name the file by its name alone, like error lines; files that
// cannot be read or written by their whole path.
std::string EnglishMessage(Failure kind, const std::filesystem::path& file, const std::string& reason) {
    switch (kind) {
        case Failure::kNotANumber:
        case Failure::kNotAWholeNumber:
        case Failure::kNumberOutOfRange:
        case Failure::kNoTempo: return file.filename().string() + ": " + reason;
        default: break;
    }
    return file.empty() ? reason : file.string() + ": " + reason;
}

}  // namespace

ConversionError::ConversionError(Failure kind, std::filesystem::path file, std::string key, std::string text,
                                 int system_error)
    : std::runtime_error(""),
      kind_(kind),
      file_(std::move(file)),
      key_(std::move(key)),
      text_(std::move(text)),
      system_error_(system_error) {
    static_cast<std::runtime_error&>(*this) =
        std::runtime_error(EnglishMessage(kind_, file_, EnglishReason(*this)));
}

ConversionError CurrentAsConversionError(const std::filesystem::path& file) {
    try {
        throw;
    } catch (const ConversionError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return ConversionError(Failure::kTooLarge, file, {}, "out of memory");
    } catch (const std::length_error& error) {
        return ConversionError(Failure::kTooLarge, file, {}, error.what());
    } catch (const std::exception& error) {
        return ConversionError(Failure::kInternal, file, {}, error.what());
    }
}

std::string_view FailureCode(Failure kind) {
    switch (kind) {
        case Failure::kOpenForReading: return "open-for-reading";
        case Failure::kRead: return "read";
        case Failure::kCreate: return "create";
        case Failure::kWrite: return "write";
        case Failure::kReplace: return "replace";
        case Failure::kSourceIsDestination: return "source-is-destination";
        case Failure::kNotANumber: return "not-a-number";
        case Failure::kNotAWholeNumber: return "not-a-whole-number";
        case Failure::kNumberOutOfRange: return "number-out-of-range";
        case Failure::kTooLarge: return "too-large";
        case Failure::kEmptyFile: return "empty-file";
        case Failure::kBinaryData: return "binary-data";
        case Failure::kWrongFormat: return "wrong-format";
        case Failure::kNotARegularFile: return "not-a-regular-file";
        case Failure::kBrokenLink: return "broken-link";
        case Failure::kUnreadableFolder: return "unreadable-folder";
        case Failure::kNotUtf8: return "not-utf-8";
        case Failure::kNoTempo: return "no-tempo";
        case Failure::kInternal: return "internal";
    }
    return "internal";
}

std::string EnglishReason(const ConversionError& error) {
    const std::string system = SystemReason(error.SystemError());
    const auto value = [&] {
        return "the value of " + Cp932ToUtf8(error.Key()) + " \"" + Cp932ToUtf8(error.Text()) + "\" ";
    };
    switch (error.Kind()) {
        case Failure::kOpenForReading: return "cannot open it for reading" + system;
        case Failure::kRead: return "cannot read it" + system;
        case Failure::kCreate: return "cannot create it" + system;
        case Failure::kWrite: return "cannot write it" + system;
        case Failure::kReplace: return "cannot replace it" + system;
        case Failure::kSourceIsDestination: return "is the source file itself; it is left unchanged";
        case Failure::kNotANumber: return value() + "is not a number";
        case Failure::kNotAWholeNumber: return value() + "is not a whole number";
        case Failure::kNumberOutOfRange: return value() + "is out of range";
        case Failure::kTooLarge: return "too large to convert" + (error.Text().empty() ? "" : ": " + error.Text());
        case Failure::kEmptyFile: return "empty file";
        case Failure::kBinaryData: return "binary data, not a chart file";
        case Failure::kWrongFormat: return "not " + error.Key() + " file" +
                                           (error.Text().empty() ? "" : " (" + error.Text() + ")");
        case Failure::kNotARegularFile: return "not a regular file (a FIFO, socket or device); not read";
        case Failure::kBrokenLink: return "a symbolic link that leads to no file" + system;
        case Failure::kUnreadableFolder: return "cannot read the folder" + system;
        case Failure::kNotUtf8: return "not UTF-8" + (error.Text().empty() ? "" : " (" + error.Text() + ")");
        case Failure::kNoTempo:
            return "no tempo: a simfile needs a #BPM: of a positive number" +
                   (error.Text().empty() ? std::string(", and there is none") : ", not \"" + Cp932ToUtf8(error.Text()) + "\"");
        case Failure::kInternal: return "the conversion failed" + (error.Text().empty() ? "" : ": " + error.Text());
    }
    return "the conversion failed";
}

}  // namespace torvane
