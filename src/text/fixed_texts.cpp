#include "text/fixed_texts.hpp"

#include <initializer_list>

#include "text/sjis.hpp"

namespace torvane {

const FixedTexts& Texts() {
    static const FixedTexts texts{
        .bad_step_length = Utf8ToCp932("：変換不能な脚符長さです"),
        .bad_command = Utf8ToCp932("：変換不能なコマンドです"),
        .bad_step_group = Utf8ToCp932("：変換不能な脚符情報です"),
        .triplet_mismatch = Utf8ToCp932("：プレイヤー間で３連符が不一致です"),
        .bad_panels = Utf8ToCp932("：変換不可能な脚符情報です"),
        .bad_option = Utf8ToCp932("：指定不可能なオプションです"),
        .step_length_mismatch = Utf8ToCp932("：脚符長さが不整合です"),
        .bad_ddr_slot = Utf8ToCp932("：変換不可能な脚符です"),
        .unterminated_chart = Utf8ToCp932("：譜面データが「;」で終わっていません"),
        .unknown_difficulty = Utf8ToCp932("：変換不可能な難易度です"),
        .chart_start_mismatch = Utf8ToCp932("：譜面の開始位置がＧＡＰと不整合です"),
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
