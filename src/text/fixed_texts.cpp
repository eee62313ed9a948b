#include "text/fixed_texts.hpp"

#include <initializer_list>

#include "text/sjis.hpp"

namespace torvane {

const FixedTexts& Texts() {
    static const FixedTexts texts{
        .made_by_prefix = Utf8ToCp932("このファイルは"),
        .made_by_suffix = Utf8ToCp932("（ＭＩＲＶＯ作）により作成されました。"),
        .publication = Utf8ToCp932("公開ページ："),
    };
    return texts;
}

std::array<std::string, 4> BannerLines(std::string_view mark, std::string_view end, std::string_view caption) {
    const FixedTexts& texts = Texts();
    const auto line = [mark, end](std::initializer_list<std::string_view> parts) {
        std::string text(mark);
        if (parts.size() > 0) text.append(" ");
        for (const std::string_view part : parts) text.append(part);
        text.append(end);
        return text;
    };
    return {line({}), line({texts.made_by_prefix, caption, texts.made_by_suffix}),
            line({texts.publication, kPublicationAddress}), line({})};
}

}  // namespace torvane
