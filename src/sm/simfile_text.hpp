#pragma once
// Text as simfiles hold it: UTF-8, numbers with six decimals, and values in
// which the characters that end or split a tag are escaped.

#include <string>
#include <string_view>

#include "text/error_list.hpp"

namespace torvane {

// `value` with "\" written "\\", ":" "\:", ";" "\;" and "//" "\//": simfile
// readers end a value at ":" or ";" and drop the rest of a line after "//".
// In a longer run of "/" each one that another follows is escaped.
[[nodiscard]] std::string EscapeSimfileValue(std::string_view value);

// A song text of code page 932 bytes in UTF-8. A byte that is not code page
// 932 becomes "?" and leaves the note "text-not-cp932" with `tag` and the
// text as it stood.
[[nodiscard]] std::string SimfileText(std::string_view cp932, std::string_view tag, ErrorList& errors);

// The music's name in a "#FILE:" value: its last part after "\" or "/". The
// second byte of a double-byte character may be "\" (0x5C) and is stepped over.
[[nodiscard]] std::string_view MusicNameOf(std::string_view file_value);

// `value` with exactly six decimals, rounded to the nearest; never "-0.000000".
[[nodiscard]] std::string FormatSixDecimals(double value);

}  // namespace torvane
