// What both ddr conversions share: file names, the banner and step lines.
#include "ddr/ddr_format.hpp"

#include <charconv>
#include <cstring>
#include <iterator>

#include "text/error_list.hpp"
#include "text/fixed_texts.hpp"
#include "text/output_names.hpp"

namespace torvane {

std::filesystem::path DdrChartFileName(const std::filesystem::path& destination, char style, char difficulty) {
    const char suffix[] = {'_', style, difficulty, '.', 'd', 'd', 'r'};
    return ReplaceExtension(destination, std::string_view(suffix, sizeof suffix));
}

std::vector<std::string> DdrBanner(std::string_view caption) {
    const auto lines = BannerLines("#comment", "", caption);
    return {lines.begin(), lines.end()};
}

void FormatDdrStepLineInto(char pad_mark, long long measure, std::string_view slots, std::string& line) {
    constexpr std::size_t kHead = 5;  // "#001:"
    if (measure >= 0 && measure < 1000) {
        // Nearly every measure: three digits, written in place.
        line.resize(kHead + slots.size());
        char* at = line.data();
        at[0] = pad_mark;
        at[1] = static_cast<char>('0' + measure / 100);
        at[2] = static_cast<char>('0' + measure / 10 % 10);
        at[3] = static_cast<char>('0' + measure % 10);
        at[4] = ':';
        std::memcpy(at + kHead, slots.data(), slots.size());
        return;
    }
    char digits[24];
    const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), measure);
    const auto size = static_cast<std::size_t>(end - digits);
    line.assign(1, pad_mark);
    if (size < 3) line.append(3 - size, '0');
    line.append(digits, size).append(":").append(slots);
}

int DdrMeasureNumber(std::string_view line) {
    if (line.size() < 4 || (line[0] != '#' && line[0] != '$')) return 0;
    int number = 0;
    for (std::size_t i = 1; i <= 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        number = number * 10 + (line[i] - '0');
    }
    return number;
}

std::string DdrSlotPlace(std::string_view line, std::size_t slot) {
    constexpr std::size_t kFirstSlot = 5;  // after "#001:"
    constexpr std::size_t kBeatsPerMeasure = 4;
    const std::size_t slots = line.size() > kFirstSlot ? line.size() - kFirstSlot : 1;
    const std::size_t beat = (slot - kFirstSlot) * kBeatsPerMeasure / slots + 1;
    return MeasureAndBeat(static_cast<std::size_t>(DdrMeasureNumber(line)), beat);
}

}  // namespace torvane
