#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvane {

// Translates one song header line between the formats: the value is `line`
// after its first `tag_length` bytes without its last `trim` characters (a
// double-byte character is dropped whole), put behind `key`. Key "SHORTCUT="
// gives the value with its extension changed to "s.wav"; key "#" maps "PLAYER=1/2/3" to "#SINGLE/#COUPLE/#DOUBLE" and leaves
// `result` alone for any other line. With `trim` 0 (an MSD target) and a key
// other than "" and "#", ";" is appended.
void TranslateHeaderLine(std::string_view key, std::size_t tag_length, std::string_view line,
                         std::size_t trim, std::string& result);

}  // namespace torvane
