#pragma once
// Names of destination files.

#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

// The file name of `source` with its extension (everything from the last "."
// of the file name) replaced by `extension`, which starts with "."; a name
// without "." gets it appended. "song.msd" with ".d2r" gives "song.d2r".
[[nodiscard]] std::filesystem::path ReplaceExtension(const std::filesystem::path& name,
                                                     std::string_view extension);

}  // namespace torvane

namespace torvane {

// A path's bytes as one line of UTF-8 text, the same wherever a name is
// shown (standard output, standard error, the progress line, the report):
// a name that is not UTF-8 is read as code page 932, a byte that is neither
// becomes "\xNN", control characters are escaped ("\n", "\t", "\r",
// "\x1b", ...), and "\" itself becomes "\\". A plain name comes out as it is.
[[nodiscard]] std::string DisplayPath(std::string_view bytes);

}  // namespace torvane
