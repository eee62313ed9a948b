#include "msd/decoder.hpp"

#include "msd/panels.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// Finds the first `closing` at or after a position that only grows, scanning
// every byte at most once over the whole text. ")" cannot be the second byte
// of a double-byte character, so a plain byte search finds it.
class ClosingFinder {
public:
    ClosingFinder(std::string_view text, char closing) : text_(text), closing_(closing) {}
    std::size_t From(std::size_t i) {
        if (at_ != std::string_view::npos && (!searched_ || at_ < i)) {
            at_ = text_.find(closing_, i);
            searched_ = true;
        }
        return at_;
    }

private:
    std::string_view text_;
    char closing_;
    std::size_t at_ = 0;
    bool searched_ = false;
};

// Finds the first `closing` at or after `i` that is a character of its own:
// "]" and "}" are also possible second bytes of double-byte characters. The
// decoder goes on after what it finds, so each byte is scanned once.
std::size_t FindClosingCharacter(std::string_view text, std::size_t i, char closing) {
    while (i < text.size()) {
        if (text[i] == closing) return i;
        i += SjisCharacterLength(text, i);
    }
    return std::string_view::npos;
}

// A beat group of n characters between "(" and ")", expanded to cells.
// Returns false for a size that has no expansion.
bool ExpandBeatGroup(std::string_view g, std::string& out) {
    switch (g.size()) {
        case 1:
            out += g[0];
            out.append(7, '0');
            return true;
        case 2:
            out += g[0];
            out.append("000");
            out += g[1];
            out.append("000");
            return true;
        case 3:
            out += 'T';
            out.append(g);
            return true;
        case 4:
            for (char c : g) {
                out += c;
                out += '0';
            }
            return true;
        case 8:
            out.append(g);
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string DecodeMSDSteps(std::string_view steps, std::string_view file_name, ErrorList& errors,
                           std::vector<std::size_t>* triplet_beats) {
    const FixedTexts& texts = Texts();
    std::string out;
    out.reserve(steps.size() * 4);
    ClosingFinder paren(steps, ')');

    // A group that cannot be converted is reported as it stood; an opening
    // without its closing partner takes the rest of the text with it.
    auto report = [&](std::size_t open, std::size_t close, const std::string& message) {
        const std::size_t length = close == std::string_view::npos ? std::string_view::npos : close - open + 1;
        errors.Add(file_name, message, steps.substr(open, length));
    };

    std::size_t i = 0;
    const std::size_t n = steps.size();
    while (i < n) {
        const char c = steps[i];
        switch (c) {
            case '(': {
                const std::size_t close = paren.From(i);
                if (close == std::string_view::npos) {
                    report(i, close, texts.bad_step_length);
                    return out;
                }
                if (triplet_beats != nullptr && close - i - 1 == 3) triplet_beats->push_back(out.size());
                if (!ExpandBeatGroup(steps.substr(i + 1, close - i - 1), out)) {
                    report(i, close, texts.bad_step_length);
                    out.append(8, '0');
                }
                i = close + 1;
                break;
            }
            case '{': {
                const std::size_t close = FindClosingCharacter(steps, i + 1, '}');
                report(i, close, texts.bad_command);
                if (close == std::string_view::npos) return out;
                i = close + 1;
                break;
            }
            case '[': {
                const std::size_t close = FindClosingCharacter(steps, i + 1, ']');
                report(i, close, texts.bad_step_group);
                if (close == std::string_view::npos) return out;
                out.append(16, '0');
                i = close + 1;
                break;
            }
            case ':':
            case ';':
                out += c;
                ++i;
                break;
            default:
                if (IsMSDStepCharacter(c)) {
                    out += c;
                    out.append("000");
                    ++i;
                } else {
                    i += SjisCharacterLength(steps, i);  // a double-byte character is dropped whole
                }
                break;
        }
    }
    return out;
}

}  // namespace torvane
