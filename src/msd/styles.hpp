#pragma once
// The play styles and difficulties of a chart, as each format writes them.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace torvane {

struct StyleWords {
    std::string_view msd_tag;        // "#SINGLE:"
    std::string_view d2r_player;     // the whole d2r line "PLAYER=1"
    std::string_view ddr_directive;  // "#double"; none for a single chart
    char file_letter;                // of a ddr file: "s", "c", "d"
    int pads;

    // The style as the d2r reader keeps it for the chart line: "#SINGLE".
    [[nodiscard]] constexpr std::string_view MsdStyle() const { return msd_tag.substr(0, msd_tag.size() - 1); }
};

inline constexpr StyleWords kSingle{"#SINGLE:", "PLAYER=1", "", 's', 1};
inline constexpr StyleWords kCouple{"#COUPLE:", "PLAYER=2", "#twoplay", 'c', 2};
inline constexpr StyleWords kDouble{"#DOUBLE:", "PLAYER=3", "#double", 'd', 2};

// In the order in which the MSD readers try the chart tags.
inline constexpr std::array<StyleWords, 3> kChartStyles = {kSingle, kCouple, kDouble};

struct DifficultyWords {
    std::string_view msd_word;       // "BASIC:", directly after the chart tag
    std::string_view d2r_mode;       // the whole d2r line "MODE=BASIC"
    std::string_view ddr_directive;  // "#basic"
    char file_letter;                // of a ddr file: "b", "a", "m"

    // The word without its colon: "BASIC".
    [[nodiscard]] constexpr std::string_view Name() const { return msd_word.substr(0, msd_word.size() - 1); }
};

// In the order in which the MSD readers try the words.
inline constexpr std::array<DifficultyWords, 3> kDifficulties = {{
    {"BASIC:", "MODE=BASIC", "#basic", 'b'},
    {"ANOTHER:", "MODE=ANOTHER", "#another", 'a'},
    {"MANIAC:", "MODE=MANIAC", "#maniac", 'm'},
}};

// The places in kChartStyles and kDifficulties of the style and difficulty
// whose ddr file letter is `letter` (lower case); none for another letter.
[[nodiscard]] constexpr std::optional<std::size_t> StyleOfFileLetter(char letter) {
    for (std::size_t i = 0; i < kChartStyles.size(); ++i) {
        if (kChartStyles[i].file_letter == letter) return i;
    }
    return std::nullopt;
}

[[nodiscard]] constexpr std::optional<std::size_t> DifficultyOfFileLetter(char letter) {
    for (std::size_t i = 0; i < kDifficulties.size(); ++i) {
        if (kDifficulties[i].file_letter == letter) return i;
    }
    return std::nullopt;
}

// The pads of a chart of `msd_style` ("#SINGLE", ...): one for a single
// chart, two for any other style, an unknown or empty one included.
[[nodiscard]] constexpr int PadCount(std::string_view msd_style) {
    return msd_style == kSingle.MsdStyle() ? kSingle.pads : 2;
}

}  // namespace torvane
