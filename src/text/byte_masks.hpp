#pragma once
// Sixteen bytes of text looked at in one go: the scans of chart text (line
// ends, a group's close, runs of rests) pass over most bytes this way.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvane {

// Bit k set for each of the sixteen bytes at `bytes` that is `c`.
[[nodiscard]] inline std::uint32_t BytesEqualBits(const char* bytes, char c) {
#if defined(__SSE2__)
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, _mm_set1_epi8(c))));
#else
    std::uint32_t equal = 0;
    for (unsigned k = 0; k < 16; ++k) equal |= static_cast<std::uint32_t>(bytes[k] == c) << k;
    return equal;
#endif
}

}  // namespace torvane
