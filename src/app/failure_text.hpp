#pragma once
// The window's words for a file that could not be converted, and for an
// "ErrLog.txt" that could not be saved. The engine gives a failure's kind and
// its data; the window says it in Japanese.

#include <QString>

#include <filesystem>
#include <string>
#include <vector>

#include "text/conversion_error.hpp"

namespace torvane {

// A Japanese text that may quote the chart (a header key and its value).
// The quoted bytes are code page 932 and go into "ErrLog.txt" unchanged; the
// window shows them converted.
class JapaneseText {
public:
    JapaneseText& Words(std::string utf8);
    JapaneseText& ChartText(std::string cp932);
    JapaneseText& Path(const std::filesystem::path& path);
    JapaneseText& Append(const JapaneseText& other);

    [[nodiscard]] QString ToQt() const;
    [[nodiscard]] std::string ToCp932() const;

private:
    struct Piece {
        bool chart_text;
        std::string bytes;  // UTF-8 words, or code page 932 chart text
    };
    std::vector<Piece> pieces_;
};

// What the system said about a failed call, in Japanese: "アクセスが許可されていません".
// Error numbers without a wording of their own keep the system's (English) one.
[[nodiscard]] QString JapaneseSystemError(int system_error);

// Why `source` could not be converted, without its name: "ファイルを開けません：
// ファイルまたはフォルダが見つかりません", "#BPM:の値「fast」が数値ではありません".
// Another file that the failure concerns (a destination) is named by its path.
[[nodiscard]] JapaneseText JapaneseReason(const ConversionError& error, const std::filesystem::path& source);

// The message of a failed file's line, which follows the file's name.
inline constexpr char kNotConvertedMessage[] = "：変換できませんでした";

// The folder that holds every one of `sources`, the deepest such; the
// failed files' lines name their files from there. Empty for no sources.
[[nodiscard]] std::filesystem::path CommonFolder(const std::vector<std::filesystem::path>& sources);

// How a failed file's line names `file`: its path from `base` when `base`
// holds it ("first/song.msd"), else its full path; its name alone when `base`
// is empty.
[[nodiscard]] std::filesystem::path NameFromBase(const std::filesystem::path& file, const std::filesystem::path& base);

// A failed file's line in the manner of error lines: the source named from
// `base`, the message and the reason in brackets, as code page 932 for
// "ErrLog.txt".
[[nodiscard]] std::string FailedFileLine(const std::filesystem::path& source, const ConversionError& error,
                                         const std::filesystem::path& base = {});
// The same line as the window shows it.
[[nodiscard]] QString FailedFileText(const std::filesystem::path& source, const ConversionError& error,
                                     const std::filesystem::path& base = {});

// The line of a source that is not converted because an earlier source of
// the batch writes its destination: "a/song.MSD：変換できませんでした（「a/song.msd」と
// 同じ変換先「a/song.d2r」になるため変換していません）", every path named from `base`.
[[nodiscard]] std::string SameDestinationLine(const std::filesystem::path& source,
                                              const std::filesystem::path& earlier_source,
                                              const std::filesystem::path& destination,
                                              const std::filesystem::path& base = {});
[[nodiscard]] QString SameDestinationText(const std::filesystem::path& source,
                                          const std::filesystem::path& earlier_source,
                                          const std::filesystem::path& destination,
                                          const std::filesystem::path& base = {});

// Why a file could not be saved (the error log): "作成できません：ディスクの空き容量が足りません".
[[nodiscard]] QString JapaneseSaveFailure(const ConversionError& error);

}  // namespace torvane
