#pragma once
// Names of destination files.

#include <filesystem>
#include <string_view>

namespace torvane {

// The file name of `source` with its extension (everything from the last "."
// of the file name) replaced by `extension`, which starts with "."; a name
// without "." gets it appended. "song.msd" with ".d2r" gives "song.d2r".
[[nodiscard]] std::filesystem::path ReplaceExtension(const std::filesystem::path& name,
                                                     std::string_view extension);

}  // namespace torvane
