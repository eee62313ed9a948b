#pragma once
// The music a simfile names, put beside it: simulators look for "#MUSIC:" in
// the simfile's own folder.

#include <filesystem>
#include <optional>
#include <string_view>

#include "text/error_list.hpp"

namespace torvane {

// The file in `folder` that the "#FILE:" value `file_value` (code page 932)
// names: its last part after "\" or "/" (MusicNameOf), compared without case
// with every name in the folder, a name on disk in code page 932 or in UTF-8.
// A name equal byte for byte wins over one equal without case. None when no
// file has the name, and when the folder cannot be read.
[[nodiscard]] std::optional<std::filesystem::path> FindMusicFile(const std::filesystem::path& folder,
                                                                 std::string_view file_value);

// Puts `music` into `folder` under `name` (UTF-8): a hard link where the file
// system allows one, else a copy, each made under a temporary name and renamed
// over `name` only when complete. Nothing is done when `name` is `music`
// already. Throws ConversionError naming the destination when neither works.
void LinkMusicFile(const std::filesystem::path& music, const std::filesystem::path& folder, std::string_view name);

// Finds the music of `file_value` beside `source` and links it into
// `folder` under `music_name` (the simfile's "#MUSIC:", UTF-8). Leaves the
// note "music-missing" with the "#FILE:" value when there is none to find;
// false then.
bool PlaceMusicFile(const std::filesystem::path& source, std::string_view file_value, std::string_view music_name,
                    const std::filesystem::path& folder, ErrorList& errors);

}  // namespace torvane
