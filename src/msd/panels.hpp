#pragma once
// Which panels a step presses, in the words all three formats share. A set of
// panels is a mask, left 1, down 2, up 4, right 8: a ddr slot is that mask as
// one hexadecimal digit, and a d2r pad field shows its bits as the columns
// "L", "D", "U" and "R".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/byte_masks.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvane {

inline constexpr int kLeft = 1;
inline constexpr int kDown = 2;
inline constexpr int kUp = 4;
inline constexpr int kRight = 8;

// The panels of a pad in the order of its columns, and their names.
inline constexpr std::array<int, 4> kPanelsInOrder = {kLeft, kDown, kUp, kRight};
inline constexpr std::array<std::string_view, 4> kPanelNames = {"left", "down", "up", "right"};

// The mask of each MSD step character: the digits follow a numeric keypad
// around its centre key 5. -1 for a character that names no panels ("5",
// the triplet mark "T", lower-case letters, ...).
inline constexpr auto kStepPanels = [] {
    std::array<signed char, 256> panels{};
    panels.fill(-1);
    const auto set = [&panels](char step, int mask) {
        panels[static_cast<unsigned char>(step)] = static_cast<signed char>(mask);
    };
    set('0', 0);
    set('1', kLeft | kDown);
    set('2', kDown);
    set('3', kDown | kRight);
    set('4', kLeft);
    set('6', kRight);
    set('7', kLeft | kUp);
    set('8', kUp);
    set('9', kUp | kRight);
    set('A', kDown | kUp);
    set('B', kLeft | kRight);
    return panels;
}();

[[nodiscard]] constexpr int PanelsOfStep(char step) { return kStepPanels[static_cast<unsigned char>(step)]; }

// The characters that MSD reads as steps: those that name panels, and "5",
// which it accepts and which names none.
[[nodiscard]] constexpr bool IsMSDStepCharacter(char c) { return PanelsOfStep(c) >= 0 || c == '5'; }

// The step character of each mask; 0 where none names it (three or four
// panels).
inline constexpr auto kStepOfPanels = [] {
    std::array<char, 16> steps{};
    for (std::size_t c = 0; c < kStepPanels.size(); ++c) {
        if (kStepPanels[c] >= 0) steps[static_cast<std::size_t>(kStepPanels[c])] = static_cast<char>(c);
    }
    return steps;
}();

// The step character of `panels`; 0 for a mask that has none, and for any
// value that is no mask.
[[nodiscard]] constexpr char StepOfPanels(int panels) {
    return panels >= 0 && panels < static_cast<int>(kStepOfPanels.size())
               ? kStepOfPanels[static_cast<std::size_t>(panels)]
               : 0;
}

// Bit k set for each of the sixteen cells at `cells` that is the rest "0":
// expanded step text is mostly rests, and is passed over sixteen cells at a
// look.
[[nodiscard]] inline std::uint32_t RestCellBits(const char* cells) { return BytesEqualBits(cells, '0'); }

// How many of `cells` are not the rest "0".
[[nodiscard]] inline std::size_t CountNonRestCells(std::string_view cells) {
    std::size_t rests = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Each rest compares to 255; the sums of eight such bytes are added up
    // and divided by 255 at the end.
    __m128i sums = _mm_setzero_si128();
    for (; cells.size() - i >= 16; i += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells.data() + i));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_cmpeq_epi8(sixteen, _mm_set1_epi8('0')), _mm_setzero_si128()));
    }
    rests = static_cast<std::size_t>(_mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums))) / 255;
#endif
    for (; i < cells.size(); ++i) rests += cells[i] == '0' ? 1 : 0;
    return cells.size() - rests;
}

}  // namespace torvane
