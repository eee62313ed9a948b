#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvane {

// The song header tags of MSD, in the order in which the readers try them.
inline constexpr std::string_view kFileTag = "#FILE:";
inline constexpr std::string_view kTitleTag = "#TITLE:";
inline constexpr std::string_view kArtistTag = "#ARTIST:";
inline constexpr std::string_view kMsdTag = "#MSD:";
inline constexpr std::string_view kBpmTag = "#BPM:";
inline constexpr std::string_view kGapTag = "#GAP:";

// Timing. A plain step character stands for an 8th note, a position; a 4/4
// measure holds eight.
inline constexpr long long kPositionsPerBeat = 2;
inline constexpr long long kPositionsPerMeasure = 4 * kPositionsPerBeat;
// "#GAP:" counts 64 units a beat (32 a position, 256 a 4/4 measure): a
// conversion that moves the steps by some beats moves the gap with them.
inline constexpr long long kGapUnitsPerBeat = 64;
inline constexpr long long kGapUnitsPerMeasure = 4 * kGapUnitsPerBeat;
// The lead-in of the games' own charts, in positions: two measures and a
// quarter. A d2r START of 4 stands for it; ddr files hold none, so ddr to MSD
// writes it before every chart and MSD to ddr deletes as many by default.
inline constexpr long long kGameLeadIn = 2 * kPositionsPerMeasure + kPositionsPerBeat;

// The value of an MSD header line: after its first `tag_length` bytes,
// without the line's last character (its ";", whatever that character is;
// a double-byte one goes whole).
[[nodiscard]] std::string_view MsdHeaderValue(std::string_view line, std::size_t tag_length);

// Translates one song header line between the formats: the value is `line`
// after its first `tag_length` bytes without its last `trim` characters (a
// double-byte character is dropped whole), put behind `key`. Key "SHORTCUT="
// gives the value with its extension changed to "s.wav"; key "#" maps
// "PLAYER=1/2/3" to "#SINGLE/#COUPLE/#DOUBLE" and leaves `result` alone for
// any other line. With `trim` 0 (an MSD target) and a key other than "" and
// "#", ";" is appended.
void TranslateHeaderLine(std::string_view key, std::size_t tag_length, std::string_view line,
                         std::size_t trim, std::string& result);

// A song header line that another format carries as text: the MSD tag and
// the other format's key. A row that is `read_back` is also read from that
// format into the MSD tag.
struct HeaderKey {
    std::string_view msd_tag;
    std::string_view key;
    bool read_back = false;
};

// The other format's line for the MSD line `line`, which begins with the
// row's tag: the key and the value without the MSD line's last character.
[[nodiscard]] std::string HeaderLineFromMsd(const HeaderKey& row, std::string_view line);

// The MSD line for the other format's line `line`, which begins with the
// row's key: the tag, the whole value and ";".
[[nodiscard]] std::string HeaderLineToMsd(const HeaderKey& row, std::string_view line);

}  // namespace torvane
