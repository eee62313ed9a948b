#pragma once
// Shift-JIS (code page 932) helpers. Chart text stays bytes everywhere; these
// convert only what crosses into or out of the engine: fixed Japanese texts,
// file-system names for error lines, and error lines shown on a terminal.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

// The first byte of a double-byte character. Its second byte may look like
// "\", "(", "[", "A" and other ASCII characters, so scanners that give ASCII
// bytes a meaning must step over it as a whole.
[[nodiscard]] constexpr bool IsSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// A possible second byte of a double-byte character.
[[nodiscard]] constexpr bool IsSjisTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// The length of the character that starts at `i`: 2 for a lead byte followed
// by a valid second byte, else 1.
[[nodiscard]] constexpr std::size_t SjisCharacterLength(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && IsSjisLeadByte(static_cast<unsigned char>(text[i])) &&
                   IsSjisTrailByte(static_cast<unsigned char>(text[i + 1]))
               ? 2
               : 1;
}

// `text` without its last character, both bytes of a double-byte one, so
// that what is left stays whole characters. Reads `text` from its start,
// since a second byte may look like a first one.
[[nodiscard]] std::string_view WithoutLastCharacter(std::string_view text);

// UTF-8 to code page 932; a character that has no code page 932 form, or a
// byte that is not UTF-8, becomes "?".
[[nodiscard]] std::string Utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8; a byte sequence that is not code page 932 becomes "?".
[[nodiscard]] std::string Cp932ToUtf8(std::string_view cp932);

// The source's name as an error line shows it: what path::filename() gives,
// in code page 932. A name that is not UTF-8 is taken to be code page 932
// already (as names unpacked from archives made on Windows often are) and
// kept as it is.
[[nodiscard]] std::string FileNameForErrorLine(const std::filesystem::path& source);

}  // namespace torvane
