#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace torvane {

// Why a file cannot be converted. Front ends word each kind in their own
// language from the data of the error; scripts see the kind's code.
enum class Failure {
    kOpenForReading,       // the source cannot be opened
    kRead,                 // reading the source failed part of the way
    kCreate,               // the destination (its temporary file) cannot be created
    kWrite,                // writing or flushing the destination failed
    kReplace,              // the finished destination cannot be put in place
    kSourceIsDestination,  // the destination is the source file itself
    kNotANumber,           // a header value that must be a number is not one
    kNotAWholeNumber,      // a header value that must be a whole number is not one
    kNumberOutOfRange,     // a header number beyond what the conversion can handle
    kTooLarge,             // more data than the conversion can hold
    kEmptyFile,            // the source holds no byte
    kBinaryData,           // the source holds NUL bytes: not a text file
    kWrongFormat,          // no line of the conversion's source format
    kNotARegularFile,      // a FIFO, socket or device: never opened, since reading one may never end
    kBrokenLink,           // a symbolic link to nothing, or one of a loop of links
    kUnreadableFolder,     // a folder of the sources that cannot be listed
    kNotUtf8,              // read as UTF-8 but not UTF-8; `text` is "line N"
    kNoTempo,              // a simfile's song without a tempo that is a positive number; `text` the #BPM: value
    kInternal,             // a fault of the program itself
};

// The one exception of the engine: this file cannot be converted. Problems
// inside a chart are never exceptions; they become error lines.
//
// `file` is the file the failure concerns (the source, or a destination);
// `key` and `text` are the header key and its value for a number, the
// expected format for kWrongFormat, the details for kInternal; `system_error`
// is the errno of a failed system call, 0 when there is none. what() is the
// English message, naming the file.
class ConversionError : public std::runtime_error {
public:
    ConversionError(Failure kind, std::filesystem::path file, std::string key = {}, std::string text = {},
                    int system_error = 0);

    [[nodiscard]] Failure Kind() const { return kind_; }
    [[nodiscard]] const std::filesystem::path& File() const { return file_; }
    [[nodiscard]] const std::string& Key() const { return key_; }
    [[nodiscard]] const std::string& Text() const { return text_; }
    [[nodiscard]] int SystemError() const { return system_error_; }

private:
    Failure kind_;
    std::filesystem::path file_;
    std::string key_;
    std::string text_;
    int system_error_;
};

// The exception being handled as a ConversionError about `file`: itself
// when it is one, kTooLarge for memory running out or a length beyond a
// string's, kInternal for any other std::exception. Only inside a handler
// of a std::exception.
[[nodiscard]] ConversionError CurrentAsConversionError(const std::filesystem::path& file);

// A stable name of the kind for reports ("open-for-reading", "not-a-number", ...).
[[nodiscard]] std::string_view FailureCode(Failure kind);

// The English reason without the file's name: "cannot open it for reading:
// No such file or directory", "the value of #BPM: "abc" is not a number".
// Header keys and values are code page 932 and come out as UTF-8.
[[nodiscard]] std::string EnglishReason(const ConversionError& error);

}  // namespace torvane
