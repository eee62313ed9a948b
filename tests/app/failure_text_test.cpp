// The window's Japanese words for files that cannot be converted.

#include <QtTest>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/failure_text.hpp"
#include "app_test_main.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"

using torvane::ConversionError;
using torvane::Failure;
using torvane::test::J;
namespace fs = std::filesystem;

namespace {

const fs::path kSource = "/charts/song.msd";

}  // namespace

class FailureTextTest : public QObject {
    Q_OBJECT

private slots:
    void EachKindIsWordedInJapanese_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("key");   // code page 932, as the engine gives it
        QTest::addColumn<QByteArray>("text");  // code page 932 for numbers, else the engine's words
        QTest::addColumn<int>("system_error");
        QTest::addColumn<QString>("reason");
        const QString source = QString::fromStdString(kSource.string());
        const auto row = [](const char* name, Failure kind) -> QTestData& {
            return QTest::newRow(name) << static_cast<int>(kind);
        };
        row("open for reading", Failure::kOpenForReading)
            << source << QByteArray() << QByteArray() << ENOENT
            << QStringLiteral("ファイルを開けません：ファイルまたはフォルダが見つかりません");
        row("read", Failure::kRead) << source << QByteArray() << QByteArray() << EIO
                                    << QStringLiteral("ファイルを読み込めません：入出力エラーが発生しました");
        row("read a folder", Failure::kRead) << source << QByteArray() << QByteArray() << EISDIR
                                             << QStringLiteral("ファイルを読み込めません：フォルダです");
        row("create", Failure::kCreate) << QStringLiteral("/out/song.d2r") << QByteArray() << QByteArray() << EACCES
                                        << QStringLiteral("変換先「/out/song.d2r」を作成できません：アクセスが許可されていません");
        row("create on a read-only disk", Failure::kCreate)
            << QStringLiteral("/media/cd/song.d2r") << QByteArray() << QByteArray() << EROFS
            << QStringLiteral("変換先「/media/cd/song.d2r」を作成できません：読み取り専用のファイルシステムです");
        row("write", Failure::kWrite) << QStringLiteral("/out/song.d2r") << QByteArray() << QByteArray() << ENOSPC
                                      << QStringLiteral("変換先「/out/song.d2r」に書き込めません：ディスクの空き容量が足りません");
        row("replace", Failure::kReplace) << QStringLiteral("/out/song.d2r") << QByteArray() << QByteArray() << EISDIR
                                          << QStringLiteral("変換先「/out/song.d2r」を置き換えられません：フォルダです");
        row("source is destination", Failure::kSourceIsDestination)
            << QStringLiteral("/charts/./song.msd") << QByteArray() << QByteArray() << 0
            << QStringLiteral("変換先が変換元のファイルそのものです（ファイルはそのままです）");
        row("not a number", Failure::kNotANumber) << source << QByteArray("#BPM:") << QByteArray("fast") << 0
                                                  << QStringLiteral("#BPM:の値「fast」が数値ではありません");
        row("not a whole number", Failure::kNotAWholeNumber)
            << source << QByteArray("START=") << QByteArray("1.5") << 0
            << QStringLiteral("START=の値「1.5」が整数ではありません");
        row("number out of range", Failure::kNumberOutOfRange)
            << source << QByteArray("TEMPO10=") << QByteArray("99999999999999999999") << 0
            << QStringLiteral("TEMPO10=の値「99999999999999999999」が扱える範囲を超えています");
        row("too large", Failure::kTooLarge) << source << QByteArray() << QByteArray("a step block of more than 4 GB")
                                             << 0 << QStringLiteral("大きすぎて変換できません");
        row("out of memory", Failure::kTooLarge) << source << QByteArray() << QByteArray("out of memory") << 0
                                                 << QStringLiteral("大きすぎて変換できません（メモリが足りません）");
        row("empty file", Failure::kEmptyFile) << source << QByteArray() << QByteArray() << 0
                                               << QStringLiteral("空のファイルです");
        row("binary data", Failure::kBinaryData)
            << source << QByteArray() << QByteArray() << 0
            << QStringLiteral("バイナリデータを含んでいます（譜面ファイルではありません）");
        row("not an MSD file", Failure::kWrongFormat)
            << source << QByteArray("an MSD") << QByteArray("no MSD tag in it") << 0
            << QStringLiteral("MSDファイルではありません（MSDのタグで始まる行がありません）");
        row("not a d2r file", Failure::kWrongFormat)
            << source << QByteArray("a d2r") << QByteArray() << 0
            << QStringLiteral("d2rファイルではありません（d2rのキーやステップ行がありません）");
        row("not a ddr file", Failure::kWrongFormat)
            << source << QByteArray("a ddr") << QByteArray() << 0
            << QStringLiteral("ddrファイルではありません（ddrの指示やステップ行がありません）");
        row("wrong format of no known name", Failure::kWrongFormat)
            << source << QByteArray() << QByteArray() << 0 << QStringLiteral("変換元の形式のファイルではありません");
        row("internal", Failure::kInternal) << source << QByteArray() << QByteArray("vector::reserve") << 0
                                            << QStringLiteral("プログラムの内部エラーです（vector::reserve）");
    }
    void EachKindIsWordedInJapanese() {
        QFETCH(int, kind);
        QFETCH(QString, file);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, text);
        QFETCH(int, system_error);
        QFETCH(QString, reason);
        const ConversionError error(static_cast<Failure>(kind), file.toStdString(), key.toStdString(), text.toStdString(),
                                    system_error);
        QCOMPARE(torvane::JapaneseReason(error, kSource).ToQt(), reason);
        // The line of "ErrLog.txt" names the source once, at its start.
        const QString line = QStringLiteral("song.msd：変換できませんでした（") + reason + QStringLiteral("）");
        QCOMPARE(torvane::FailedFileText(kSource, error), line);
        QCOMPARE(torvane::FailedFileLine(kSource, error), J(line.toStdString()));
    }

    void EveryKindHasWordsOfItsOwn() {
        for (int kind = 0; kind <= static_cast<int>(Failure::kInternal); ++kind) {
            const ConversionError error(static_cast<Failure>(kind), kSource, "an MSD", "1", EACCES);
            const QString reason = torvane::JapaneseReason(error, kSource).ToQt();
            QVERIFY2(!reason.isEmpty() && reason != QStringLiteral("変換できませんでした"), qPrintable(reason));
            QVERIFY2(!reason.contains(QStringLiteral("song.msd")), qPrintable(reason));
        }
    }

    void ChartTextKeepsItsBytesInTheLog() {
        // "ソ" ends in the byte of "\", "①" is one of the NEC characters.
        const std::string value = "\x83\x5C\x87\x40";
        const ConversionError error(Failure::kNotANumber, kSource, "#BPM:", value);
        QCOMPARE(torvane::JapaneseReason(error, kSource).ToQt(), QStringLiteral("#BPM:の値「ソ①」が数値ではありません"));
        QCOMPARE(torvane::FailedFileLine(kSource, error),
                 J("song.msd：変換できませんでした（#BPM:の値「") + value + J("」が数値ではありません）"));
    }

    void SystemErrorsOfFilesAreJapaneseAndOthersKeepTheSystemsWords_data() {
        QTest::addColumn<int>("system_error");
        QTest::addColumn<QString>("words");
        QTest::newRow("no such file") << ENOENT << QStringLiteral("ファイルまたはフォルダが見つかりません");
        QTest::newRow("permission") << EACCES << QStringLiteral("アクセスが許可されていません");
        QTest::newRow("disk full") << ENOSPC << QStringLiteral("ディスクの空き容量が足りません");
        QTest::newRow("read-only") << EROFS << QStringLiteral("読み取り専用のファイルシステムです");
        QTest::newRow("name too long") << ENAMETOOLONG << QStringLiteral("ファイル名が長すぎます");
        QTest::newRow("not a folder") << ENOTDIR << QStringLiteral("パスの途中にフォルダでないものがあります");
        QTest::newRow("other") << EXDEV << QString::fromLocal8Bit(std::strerror(EXDEV));
    }
    void SystemErrorsOfFilesAreJapaneseAndOthersKeepTheSystemsWords() {
        QFETCH(int, system_error);
        QFETCH(QString, words);
        QCOMPARE(torvane::JapaneseSystemError(system_error), words);
    }

    void SavingTheLogIsWordedWithoutTheConversion() {
        QCOMPARE(torvane::JapaneseSaveFailure(ConversionError(Failure::kCreate, "/bin/ErrLog.txt", {}, {}, EACCES)),
                 QStringLiteral("作成できません：アクセスが許可されていません"));
        QCOMPARE(torvane::JapaneseSaveFailure(ConversionError(Failure::kWrite, "/bin/ErrLog.txt", {}, {}, ENOSPC)),
                 QStringLiteral("書き込めません：ディスクの空き容量が足りません"));
        QCOMPARE(torvane::JapaneseSaveFailure(ConversionError(Failure::kReplace, "/bin/ErrLog.txt")),
                 QStringLiteral("置き換えられません"));
    }
};

TORVANE_QTEST_MAIN(FailureTextTest)
#include "failure_text_test.moc"
