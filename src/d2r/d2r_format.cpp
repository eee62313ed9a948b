#include "d2r/d2r_format.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// Whether the first `count` bytes of `text` are all ASCII: then no
// double-byte character begins among them. Step lines nearly always are, so
// the readers below test this first.
bool AsciiUpTo(std::string_view text, std::size_t count) {
    count = std::min(count, text.size());
    std::uint64_t any = 0;
    if (count >= 8) {
        // Words from the front, the last one ending at `count`.
        for (std::size_t at = 0;; at = std::min(at + 8, count - 8)) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + at, 8);
            any |= word;
            if (at == count - 8) break;
        }
    } else {
        for (std::size_t at = 0; at < count; ++at) any |= static_cast<unsigned char>(text[at]);
    }
    return (any & 0x8080808080808080ULL) == 0;
}

// Whether a double-byte character of `text`, read from its start, takes any
// of the `count` bytes from `from` on.
bool DoubleByteCharacterReaches(std::string_view text, std::size_t from, std::size_t count) {
    if (AsciiUpTo(text, from + count)) return false;
    for (std::size_t at = 0; at < text.size() && at < from + count;) {
        const std::size_t size = SjisCharacterLength(text, at);
        if (size == 2 && at + 2 > from) return true;
        at += size;
    }
    return false;
}

// The panels of a pad field that holds no double-byte character. The column
// of each letter weighs it: in a well-formed field (each column blank or its
// own letter) this is the panel mask, and a letter out of place counts as
// another.
int PanelsOfField(std::string_view field) {
    const bool well_formed = field.size() == 4 && (field[0] == ' ' || field[0] == 'L') &&
                             (field[1] == ' ' || field[1] == 'D') && (field[2] == ' ' || field[2] == 'U') &&
                             (field[3] == ' ' || field[3] == 'R');
    if (well_formed) {
        return (field[0] == 'L' ? kLeft : 0) | (field[1] == 'D' ? kDown : 0) | (field[2] == 'U' ? kUp : 0) |
               (field[3] == 'R' ? kRight : 0);
    }
    // The column (from 1) of the first of each letter, 0 when it is missing.
    int l = 0, d = 0, u = 0, r = 0;
    for (std::size_t at = field.size(); at-- > 0;) {
        const int column = static_cast<int>(at) + 1;
        switch (field[at]) {
            case 'L': l = column; break;
            case 'D': d = column; break;
            case 'U': u = column; break;
            case 'R': r = column; break;
            default: break;
        }
    }
    return l + d + u * 4 / 3 + 2 * r;
}

}  // namespace

void WriteD2rBanner(LineSink& out, std::string_view caption) {
    for (const std::string& line : BannerLines("*", "", caption)) out.WriteLine(line);
}

bool IsD2rKeyLine(std::string_view line) {
    // Every key begins with a capital letter; of the step lines only
    // triplet lines do. A key is compared whole only when its first letter
    // is the line's.
    if (line.empty() || line[0] < 'A' || line[0] > 'Z') return false;
    const auto begins = [line](std::string_view key) { return key[0] == line[0] && line.starts_with(key); };
    return std::any_of(kD2rHeaderKeys.begin(), kD2rHeaderKeys.end(),
                       [&begins](const HeaderKey& row) { return row.read_back && begins(row.key); }) ||
           begins(kD2rTempoKey) || begins(kD2rDelayKey) || begins(kD2rLevelKey) || begins(kD2rModeKey) ||
           begins(kD2rPlayerKey);
}

std::string_view FormatD2rStepLine(const D2rStepLine& line, std::array<char, kD2rStepLineSize>& buffer) {
    return {buffer.data(), FormatD2rStepLineAt(line, buffer.data())};
}

// The line is read from its start, so that a double-byte character that
// begins before the field, in place of its ":", does not lend the field its
// second byte as a letter.
std::optional<char> DecodeD2rPanels(std::string_view line, std::size_t field_at, std::string_view head,
                                    std::string_view file_name, ErrorList& errors) {
    const bool decodes = head.size() == 3 && head[2] == ':' &&
                         ((head[0] == '8' && head[1] == '.') || ((head[0] == '#' || head[0] == ' ') && head[1] == 'T'));
    if (!decodes) return std::nullopt;
    if (!DoubleByteCharacterReaches(line, field_at, 4)) {
        // Three or more panels have no step character.
        const char step = StepOfPanels(PanelsOfField(D2rLinePart(line, field_at, 4)));
        if (step != 0) return step;
    }
    errors.Add(file_name, ErrorCode::kPanelField, line);
    return '0';
}

bool AsksForD2rOption(std::string_view line) {
    if (AsciiUpTo(line, 14)) return (line.size() > 12 && line[12] == 'T') || (line.size() > 13 && line[13] == 'T');
    for (std::size_t at = 0; at < line.size() && at < 14;) {
        const std::size_t size = SjisCharacterLength(line, at);
        if (size == 1 && at >= 12 && line[at] == 'T') return true;
        at += size;
    }
    return false;
}

bool D2rLineBearsStep(std::string_view line) {
    // An unmarked triplet line is one character shorter in front.
    const std::size_t pad1 = line.starts_with("T:") ? 2 : 3;
    return D2rLinePart(line, pad1, 4) != "    " || D2rLinePart(line, pad1 + 5, 4) != "    ";
}

}  // namespace torvane
