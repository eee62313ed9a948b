#include "sm/ddr_songs.hpp"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>
#include <tuple>

#include "msd/styles.hpp"

namespace torvane {
namespace {

constexpr std::string_view kDdrExtension = ".ddr";
// "_", style letter, difficulty letter, ".ddr".
constexpr std::size_t kSuffixSize = 3 + kDdrExtension.size();

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualWithoutCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::optional<std::size_t> StylePlace(char letter) { return StyleOfFileLetter(Lower(letter)); }

std::optional<std::size_t> DifficultyPlace(char letter) { return DifficultyOfFileLetter(Lower(letter)); }

// Where a chart's file goes among its song's: style, then difficulty, then name.
std::tuple<std::size_t, std::size_t, std::string> ChartOrder(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::size_t at = name.size() - kSuffixSize;
    return {StylePlace(name[at + 1]).value_or(0), DifficultyPlace(name[at + 2]).value_or(0), name};
}

}  // namespace

std::optional<std::string> DdrSongStem(const std::filesystem::path& ddr_file) {
    const std::string name = ddr_file.filename().string();
    if (name.size() <= kSuffixSize) return std::nullopt;
    const std::size_t at = name.size() - kSuffixSize;
    if (name[at] != '_' || !StylePlace(name[at + 1]) || !DifficultyPlace(name[at + 2]) ||
        !EqualWithoutCase(std::string_view(name).substr(at + 3), kDdrExtension)) {
        return std::nullopt;
    }
    return name.substr(0, at);
}

std::vector<DdrSong> GroupDdrSongs(const std::vector<std::filesystem::path>& ddr_files) {
    std::vector<DdrSong> songs;
    std::map<std::string, std::size_t> song_of_stem;
    for (const auto& file : ddr_files) {
        if (const auto stem = DdrSongStem(file)) {
            const auto [it, added] = song_of_stem.try_emplace(*stem, songs.size());
            if (added) songs.push_back({*stem, {}});
            songs[it->second].files.push_back(file);
        } else {
            songs.push_back({file.stem().string(), {file}});
        }
    }
    for (auto& song : songs) {
        if (song.files.size() < 2) continue;
        std::stable_sort(song.files.begin(), song.files.end(),
                         [](const auto& a, const auto& b) { return ChartOrder(a) < ChartOrder(b); });
    }
    return songs;
}

}  // namespace torvane
