#include "app/failure_text.hpp"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "text/sjis.hpp"

namespace torvane {

namespace {

struct SystemErrorWords {
    int number;
    const char* words;
};

// The errors a user meets with chart files and folders; the rest keep the
// system's words.
constexpr SystemErrorWords kSystemErrors[] = {
    {ENOENT, "ファイルまたはフォルダが見つかりません"},
    {EACCES, "アクセスが許可されていません"},
    {EPERM, "この操作は許可されていません"},
    {EROFS, "読み取り専用のファイルシステムです"},
    {ENOSPC, "ディスクの空き容量が足りません"},
    {EDQUOT, "ディスクの使用量が上限に達しました"},
    {EISDIR, "フォルダです"},
    {ENOTDIR, "パスの途中にフォルダでないものがあります"},
    {ENAMETOOLONG, "ファイル名が長すぎます"},
    {EEXIST, "同じ名前のものがすでにあります"},
    {EBUSY, "使用中です"},
    {ETXTBSY, "使用中です"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {EFBIG, "ファイルが大きすぎます"},
    {ENOMEM, "メモリが足りません"},
    {EIO, "入出力エラーが発生しました"},
    {ELOOP, "シンボリックリンクが循環しています"},
    {EINVAL, "ファイル名またはパスが正しくありません"},
};

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// "：" and the system's reason, or nothing without one.
JapaneseText SystemSuffix(int system_error) {
    JapaneseText text;
    if (system_error != 0) text.Words("：").Words(JapaneseSystemError(system_error).toStdString());
    return text;
}

// The format that a wrong-format failure expected, as the engine names it
// ("an MSD", "a d2r", ...).
std::string_view ExpectedFormat(const std::string& key) {
    std::string lower = key;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("msd") != std::string::npos) return "MSD";
    if (lower.find("d2r") != std::string::npos) return "d2r";
    if (lower.find("ddr") != std::string::npos) return "ddr";
    return {};
}

JapaneseText WrongFormat(const ConversionError& error) {
    JapaneseText text;
    const std::string_view format = ExpectedFormat(error.Key());
    if (format.empty()) return text.Words("変換元の形式のファイルではありません");
    text.Words(std::string(format)).Words("ファイルではありません");
    if (format == "MSD") return text.Words("（MSDのタグで始まる行がありません）");
    if (format == "d2r") return text.Words("（d2rのキーやステップ行がありません）");
    return text.Words("（ddrの指示やステップ行がありません）");
}

JapaneseText HeaderValue(const ConversionError& error, const char* what) {
    JapaneseText text;
    return text.ChartText(error.Key()).Words("の値「").ChartText(error.Text()).Words("」").Words(what);
}

}  // namespace

JapaneseText& JapaneseText::Words(std::string utf8) {
    pieces_.push_back({false, std::move(utf8)});
    return *this;
}

JapaneseText& JapaneseText::ChartText(std::string cp932) {
    pieces_.push_back({true, std::move(cp932)});
    return *this;
}

JapaneseText& JapaneseText::Path(const std::filesystem::path& path) {
    // File names are bytes; Qt decodes them as the system does for its dialogs.
    return Words(QFile::decodeName(QByteArray::fromStdString(path.string())).toStdString());
}

JapaneseText& JapaneseText::Append(const JapaneseText& other) {
    pieces_.insert(pieces_.end(), other.pieces_.begin(), other.pieces_.end());
    return *this;
}

QString JapaneseText::ToQt() const {
    QString text;
    for (const auto& piece : pieces_) text += Utf8(piece.chart_text ? Cp932ToUtf8(piece.bytes) : piece.bytes);
    return text;
}

std::string JapaneseText::ToCp932() const {
    std::string text;
    for (const auto& piece : pieces_) text += piece.chart_text ? piece.bytes : Utf8ToCp932(piece.bytes);
    return text;
}

QString JapaneseSystemError(int system_error) {
    const auto* found = std::find_if(std::begin(kSystemErrors), std::end(kSystemErrors),
                                     [system_error](const SystemErrorWords& e) { return e.number == system_error; });
    if (found != std::end(kSystemErrors)) return QString::fromUtf8(found->words);
    return QString::fromLocal8Bit(std::strerror(system_error));
}

JapaneseText JapaneseReason(const ConversionError& error, const std::filesystem::path& source) {
    JapaneseText text;
    // The destination is named by its path: the folder is what the user
    // needs to know when it cannot be written.
    const auto destination = [&](const char* verb) {
        text.Words("変換先");
        if (!error.File().empty() && error.File() != source) text.Words("「").Path(error.File()).Words("」");
        return text.Words(verb).Append(SystemSuffix(error.SystemError()));
    };
    switch (error.Kind()) {
        case Failure::kOpenForReading:
            return text.Words("ファイルを開けません").Append(SystemSuffix(error.SystemError()));
        case Failure::kRead:
            return text.Words("ファイルを読み込めません").Append(SystemSuffix(error.SystemError()));
        case Failure::kCreate: return destination("を作成できません");
        case Failure::kWrite: return destination("に書き込めません");
        case Failure::kReplace: return destination("を置き換えられません");
        case Failure::kSourceIsDestination:
            return text.Words("変換先が変換元のファイルそのものです（ファイルはそのままです）");
        case Failure::kNotANumber: return HeaderValue(error, "が数値ではありません");
        case Failure::kNotAWholeNumber: return HeaderValue(error, "が整数ではありません");
        case Failure::kNumberOutOfRange: return HeaderValue(error, "が扱える範囲を超えています");
        case Failure::kTooLarge:
            text.Words("大きすぎて変換できません");
            if (error.Text() == "out of memory") text.Words("（メモリが足りません）");
            return text;
        case Failure::kEmptyFile: return text.Words("空のファイルです");
        case Failure::kBinaryData: return text.Words("バイナリデータを含んでいます（譜面ファイルではありません）");
        case Failure::kWrongFormat: return WrongFormat(error);
        case Failure::kNotARegularFile: return text.Words("通常のファイルではありません（FIFO・ソケット・デバイス）");
        case Failure::kBrokenLink:
            return text.Words("リンク先のないシンボリックリンクです").Append(SystemSuffix(error.SystemError()));
        case Failure::kUnreadableFolder:
            return text.Words("フォルダを読み込めません").Append(SystemSuffix(error.SystemError()));
        case Failure::kNotUtf8:
            text.Words("UTF-8ではありません");
            if (!error.Text().empty()) text.Words("（").Words(error.Text()).Words("）");
            return text;
        case Failure::kNoTempo: return text.Words("テンポ（正の数の#BPM:）がないため、simfileにできません");
        case Failure::kInternal:
            // The details are the program's own, for a report of the fault.
            text.Words("プログラムの内部エラーです");
            if (!error.Text().empty()) text.Words("（").Words(error.Text()).Words("）");
            return text;
    }
    return text.Words("変換できませんでした");
}

std::filesystem::path CommonFolder(const std::vector<std::filesystem::path>& sources) {
    if (sources.empty()) return {};
    std::filesystem::path folder = sources.front().parent_path();
    const auto holds = [](const std::filesystem::path& outer, const std::filesystem::path& inner) {
        auto o = outer.begin();
        auto i = inner.begin();
        for (; o != outer.end(); ++o, ++i) {
            if (o->empty()) continue;  // a trailing separator
            if (i == inner.end() || *o != *i) return false;
        }
        return true;
    };
    for (const auto& source : sources) {
        while (!holds(folder, source.parent_path()) && folder.has_relative_path()) folder = folder.parent_path();
    }
    return folder;
}

std::filesystem::path NameFromBase(const std::filesystem::path& file, const std::filesystem::path& base) {
    if (base.empty()) return file.filename();
    const std::filesystem::path relative = file.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return file;
    return relative;
}

namespace {

// A path as an error line names it: each part as FileNameForErrorLine names a file.
std::string PathForErrorLine(const std::filesystem::path& path) {
    std::string text;
    for (const auto& part : path) {
        if (part.empty()) continue;
        if (!text.empty() && text.back() != '/') text += '/';
        text += part == "/" ? std::string("/") : FileNameForErrorLine(part);
    }
    return text;
}

JapaneseText MessageAndReason(const std::filesystem::path& source, const ConversionError& error) {
    JapaneseText text;
    return text.Words(kNotConvertedMessage).Words("（").Append(JapaneseReason(error, source)).Words("）");
}

JapaneseText SameDestinationMessage(const std::filesystem::path& earlier_source,
                                    const std::filesystem::path& destination, const std::filesystem::path& base) {
    JapaneseText text;
    return text.Words(kNotConvertedMessage)
        .Words("（「")
        .Path(NameFromBase(earlier_source, base))
        .Words("」と同じ変換先「")
        .Path(NameFromBase(destination, base))
        .Words("」になるため変換していません）");
}

}  // namespace

std::string SameDestinationLine(const std::filesystem::path& source, const std::filesystem::path& earlier_source,
                                const std::filesystem::path& destination, const std::filesystem::path& base) {
    return PathForErrorLine(NameFromBase(source, base)) + SameDestinationMessage(earlier_source, destination, base).ToCp932();
}

QString SameDestinationText(const std::filesystem::path& source, const std::filesystem::path& earlier_source,
                            const std::filesystem::path& destination, const std::filesystem::path& base) {
    JapaneseText text;
    return text.Path(NameFromBase(source, base)).Append(SameDestinationMessage(earlier_source, destination, base)).ToQt();
}

std::string FailedFileLine(const std::filesystem::path& source, const ConversionError& error,
                           const std::filesystem::path& base) {
    return PathForErrorLine(NameFromBase(source, base)) + MessageAndReason(source, error).ToCp932();
}

QString FailedFileText(const std::filesystem::path& source, const ConversionError& error,
                       const std::filesystem::path& base) {
    JapaneseText text;
    return text.Path(NameFromBase(source, base)).Append(MessageAndReason(source, error)).ToQt();
}

QString JapaneseSaveFailure(const ConversionError& error) {
    QString verb;
    switch (error.Kind()) {
        case Failure::kCreate: verb = QStringLiteral("作成できません"); break;
        case Failure::kReplace: verb = QStringLiteral("置き換えられません"); break;
        default: verb = QStringLiteral("書き込めません"); break;
    }
    return error.SystemError() != 0 ? verb + QStringLiteral("：") + JapaneseSystemError(error.SystemError()) : verb;
}

}  // namespace torvane
