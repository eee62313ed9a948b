// The notice after a batch and its "ErrLog.txt".

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>
#include <system_error>

#include "app/button_conversion.hpp"
#include "app/dialogs.hpp"
#include "app/failure_text.hpp"
#include "app/main_form.hpp"
#include "batch/sources.hpp"
#include "text/conversion_error.hpp"
#include "text/sjis.hpp"

namespace torvane {

namespace fs = std::filesystem;

namespace {

// A notice names this many files of a kind, and then how many more there are.
constexpr qsizetype kFilesNamedInNotice = 10;

// One item a line, the first few of a long list and how many more.
QString ListForNotice(const QStringList& items) {
    QStringList shown = items.mid(0, kFilesNamedInNotice);
    if (items.size() > kFilesNamedInNotice) {
        shown << QStringLiteral("ほか%1件").arg(items.size() - kFilesNamedInNotice);
    }
    return shown.join(QStringLiteral("\r\n"));
}

// The line below the notice's two that says where "ErrLog.txt" is.
QString ErrLogFolderLine(const fs::path& folder) {
    return QStringLiteral("（保存先のフォルダ：%1）").arg(PathToQt(folder));
}

QString FromCp932(const std::string& line) { return QString::fromStdString(Cp932ToUtf8(line)); }

}  // namespace

void TMainForm::ReportBatch(Conversion conversion, const WindowBatchOutcome& outcome) {
    QStringList paragraphs;
    QStringList details;
    // The failed files' lines are among the error lines.
    if (!ErrorList_.Empty()) paragraphs << SaveErrLog(details);
    if (!outcome.failed.isEmpty()) {
        paragraphs << QStringLiteral("変換できなかったファイル（%1件）：\r\n").arg(outcome.failed.size()) +
                          ListForNotice(outcome.failed);
    }
    const QString format = SourceFormatName(conversion);
    if (!outcome.other_files.empty()) {
        QStringList names;
        for (const auto& file : outcome.other_files) names << PathToQt(file.filename());
        paragraphs << QStringLiteral("%1ファイル（%2）ではないため、変換しなかったもの：\r\n")
                              .arg(format, QString::fromLatin1(SourceExtension(conversion).data()))
                          + ListForNotice(names);
    }
    if (!outcome.folders_without_sources.empty()) {
        QStringList folders;
        for (const auto& folder : outcome.folders_without_sources) folders << PathToQt(folder);
        paragraphs << QStringLiteral("%1ファイルが見つからなかったフォルダ：\r\n").arg(format) + ListForNotice(folders);
    }
    // A cancelled batch always says how far it got.
    if (outcome.not_started > 0) {
        paragraphs << QStringLiteral("%1ファイルを変換しました\r\n").arg(outcome.converted) +
                          QStringLiteral("キャンセルしたため、残りの%1ファイルは変換していません").arg(outcome.not_started);
    }
    if (paragraphs.isEmpty()) return;
    // Last, right above the lines it speaks of.
    if (!details.isEmpty()) paragraphs << QStringLiteral("保存できなかったエラーの内容は次のとおりです：");
    dialogs_.ShowNotice(this, QCoreApplication::applicationName(), paragraphs.join(QStringLiteral("\r\n\r\n")),
                        details);
}

QString TMainForm::SaveErrLog(QStringList& details) {
    const QString detected = QStringLiteral("変換エラーが検出されました");
    QStringList failures;
    const auto save = [&](const fs::path& folder, bool make_folder) {
        const fs::path file = folder / kErrLogName;
        std::error_code ec;
        if (make_folder && !fs::is_directory(folder, ec)) fs::create_directories(folder, ec);
        try {
            if (ec) throw ConversionError(Failure::kCreate, file, {}, {}, ec.value());
            ErrorList_.SaveTo(file);
            return true;
        } catch (const ConversionError& error) {
            failures << PathToQt(file) + QStringLiteral("：") + JapaneseSaveFailure(error);
        }
        return false;
    };
    const QString see = detected + QStringLiteral("\r\nErrLog.txtを参照して下さい\r\n");
    if (save(err_log_folder_, false)) return see + ErrLogFolderLine(err_log_folder_);
    // An installed program's folder is not writable for its user. No user
    // data folder known: not the current directory either.
    if (!err_log_fallback_folder_.empty() && save(err_log_fallback_folder_, true)) {
        return see + ErrLogFolderLine(err_log_fallback_folder_);
    }
    for (const auto& line : ErrorList_.Lines()) details << FromCp932(line);
    return detected + QStringLiteral("\r\nErrLog.txtに保存できませんでした：\r\n") + failures.join(QStringLiteral("\r\n"));
}

}  // namespace torvane
