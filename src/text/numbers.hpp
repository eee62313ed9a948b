#pragma once
// Numbers in header values: read as decimal with "." whatever the locale.

#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

// Drops blanks and control characters (bytes 0x00 to 0x20 and 0x7F) at both ends.
[[nodiscard]] std::string_view TrimBlanksAndControls(std::string_view text);

// Reads a trimmed decimal number ("150", "-0.05", "1e3", a leading "+").
// Throws ConversionError naming the file, the key and the text when the text
// is not a finite number.
[[nodiscard]] double ReadDecimal(std::string_view text, const std::filesystem::path& file,
                                 std::string_view key);

// Reads a trimmed whole number with an optional sign; throws ConversionError
// like ReadDecimal, also when it does not fit into 64 bits.
[[nodiscard]] long long ReadWholeNumber(std::string_view text, const std::filesystem::path& file,
                                        std::string_view key);

// Throws the ConversionError of a header value that is out of the range the
// conversion can handle.
[[noreturn]] void ThrowNumberOutOfRange(std::string_view text, const std::filesystem::path& file,
                                        std::string_view key);

// Writes a number in the general format with at most `digits` significant
// digits: no trailing zeros, no point for a whole number (150, 128.5).
[[nodiscard]] std::string FormatGeneral(double value, int digits = 7);

}  // namespace torvane
