#include "text/numbers.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

#include "text/conversion_error.hpp"

namespace torvane {
namespace {

bool IsBlankOrControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= 0x20 || b == 0x7F;
}

[[noreturn]] void ThrowNotANumber(std::string_view text, const std::filesystem::path& file,
                                  std::string_view key, Failure kind) {
    throw ConversionError(kind, file, std::string(key), std::string(text));
}

// from_chars takes no "+"; a leading one is allowed in header values.
std::string_view DropPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+' && text.size() > 1 && text[1] != '-') text.remove_prefix(1);
    return text;
}

}  // namespace

std::string_view TrimBlanksAndControls(std::string_view text) {
    while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
    return text;
}

double ReadDecimal(std::string_view text, const std::filesystem::path& file, std::string_view key) {
    const std::string_view number = DropPlus(TrimBlanksAndControls(text));
    double value = 0;
    const auto [end, ec] =
        std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
        ThrowNotANumber(text, file, key, Failure::kNotANumber);
    }
    return value;
}

long long ReadWholeNumber(std::string_view text, const std::filesystem::path& file, std::string_view key) {
    const std::string_view number = DropPlus(TrimBlanksAndControls(text));
    long long value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) ThrowNotANumber(text, file, key, Failure::kNumberOutOfRange);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size()) {
        ThrowNotANumber(text, file, key, Failure::kNotAWholeNumber);
    }
    return value;
}

void ThrowNumberOutOfRange(std::string_view text, const std::filesystem::path& file, std::string_view key) {
    ThrowNotANumber(text, file, key, Failure::kNumberOutOfRange);
}

std::string FormatGeneral(double value, int digits) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    if (text == "-0") text = "0";
    return text;
}

}  // namespace torvane
