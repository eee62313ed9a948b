// The window's batch as the shared runner does it: the input checks, UTF-8
// sources and collisions found before anything is written.

#include <QCheckBox>
#include <QtTest>

#include <filesystem>
#include <string>

#include "app/main_form.hpp"
#include "app_test_main.hpp"
#include "batch_fixture.hpp"
#include "scripted_dialogs.hpp"
#include "test_support.hpp"

using namespace torvane::test;
namespace fs = std::filesystem;

namespace {

// A chart whose title and artist are Japanese, full- and half-width.
std::string JapaneseChart(std::string_view prefix = {}) {
    return std::string(prefix) + "#TITLE:夜明けの歌 ﾃｽﾄ;\r\n#ARTIST:山田太郎;\r\n#BPM:150;\r\n#GAP:0;\r\n"
                                 "#SINGLE:BASIC:3:0000246886420000;\r\n";
}

}  // namespace

class SharedBatchTest : public QObject {
    Q_OBJECT

private slots:
    void ARefusedSourceAmongGoodOnesIsReportedAndKeepsItsDestination_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("空のファイルです");
        QTest::newRow("binary") << QByteArray("#TITLE:x;\r\n\0\x01\x02", 14)
                                << QStringLiteral("バイナリデータを含んでいます（譜面ファイルではありません）");
        QTest::newRow("d2r given as MSD") << QByteArray("PLAYER=1\r\nMODE=BASIC\r\n")
                                          << QStringLiteral("MSDファイルではありません（MSDのタグで始まる行がありません）");
        QTest::newRow("plain text") << QByteArray("just some notes\r\n")
                                    << QStringLiteral("MSDファイルではありません（MSDのタグで始まる行がありません）");
    }
    void ARefusedSourceAmongGoodOnesIsReportedAndKeepsItsDestination() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Batch batch;
        WriteFile(batch.sources / "b.d2r", "old destination");
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", bytes.toStdString()),
                               batch.Source("c.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        QCOMPARE(ReadFile(batch.sources / "b.d2r"), std::string("old destination"));
        QVERIFY(fs::exists(batch.sources / "a.d2r"));
        QVERIFY(fs::exists(batch.sources / "c.d2r"));
        const QString line = QStringLiteral("b.msd：変換できませんでした（") + reason + QStringLiteral("）");
        QCOMPARE(batch.ErrLog(), CrLf({J(line.toStdString()), J("c.msd：変換不能な脚符長さです(12345)")}));
        QCOMPARE(batch.dialogs.notices.size(), std::size_t{1});
        QCOMPARE(batch.dialogs.notices.front().text,
                 batch.Notice() + QStringLiteral("\r\n\r\n変換できなかったファイル（1件）：\r\n") + line);
        // No temporary file is left behind.
        QCOMPARE(Entries(batch.sources), Names({"a.d2r", "a.msd", "b.d2r", "b.msd", "c.d2r", "c.msd"}));
    }

    void AUtf8SourceGivesTheBytesOfItsShiftJisTwin_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("destination");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << QStringLiteral(".d2r");
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << QStringLiteral("_sb.ddr");
    }
    void AUtf8SourceGivesTheBytesOfItsShiftJisTwin() {
        QFETCH(QString, button);
        QFETCH(QString, destination);
        Batch batch;
        batch.dialogs.files = {batch.Source("sjis.msd", J(JapaneseChart())), batch.Source("utf8.msd", JapaneseChart()),
                               batch.Source("mark.msd", JapaneseChart("\xEF\xBB\xBF"))};
        batch.Click(button.toLatin1().constData());
        QVERIFY(batch.dialogs.notices.empty());
        const std::string twin = ReadFile(batch.sources / ("sjis" + destination.toStdString()));
        QVERIFY(twin.find(J("夜明けの歌 ﾃｽﾄ")) != std::string::npos);
        QCOMPARE(ReadFile(batch.sources / ("utf8" + destination.toStdString())), twin);
        QCOMPARE(ReadFile(batch.sources / ("mark" + destination.toStdString())), twin);
    }

    void ALaterSourceWritingAnEarlierOnesDestinationIsReportedNotConverted_data() {
        QTest::addColumn<bool>("into_folder");
        QTest::newRow("song.msd and song.MSD side by side") << false;
        QTest::newRow("two song.msd into one chosen folder") << true;
    }
    void ALaterSourceWritingAnEarlierOnesDestinationIsReportedNotConverted() {
        QFETCH(bool, into_folder);
        Batch batch;
        const fs::path first = batch.Source(into_folder ? "a/song.msd" : "song.msd", Chart("2468", "150"));
        const fs::path later = batch.Source(into_folder ? "b/song.msd" : "song.MSD", Chart("2468", "222"));
        const fs::path out = into_folder ? batch.dir / "out" : batch.sources;
        if (into_folder) {
            batch.dialogs.folder = out;
            batch.AskForFolder();
        }
        batch.dialogs.files = {first, later, batch.Source("other.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        const std::string written = ReadFile(out / "song.d2r");
        QVERIFY(written.find("150") != std::string::npos);
        QVERIFY(written.find("222") == std::string::npos);
        QVERIFY(fs::exists(out / "other.d2r"));
        // Named from the folder that holds both sources; a destination elsewhere by its path.
        const QString line = into_folder ? QStringLiteral("b/song.msd") : QStringLiteral("song.MSD");
        const QString earlier = into_folder ? QStringLiteral("a/song.msd") : QStringLiteral("song.msd");
        const QString destination = into_folder ? Q(out / "song.d2r") : QStringLiteral("song.d2r");
        const QString expected = line + QStringLiteral("：変換できませんでした（「") + earlier +
                                 QStringLiteral("」と同じ変換先「") + destination +
                                 QStringLiteral("」になるため変換していません）");
        QCOMPARE(batch.ErrLog(), CrLf({J(expected.toStdString())}));
        QCOMPARE(batch.dialogs.notices.front().text,
                 batch.Notice() + QStringLiteral("\r\n\r\n変換できなかったファイル（1件）：\r\n") + expected);
    }

    void ACollisionIsFoundBeforeTheStandInConverterRuns() {
        Batch batch;
        batch.RecordConversions();
        batch.dialogs.files = {batch.sources / "song.msd", batch.sources / "song.MSD"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{1});
        QCOMPARE(Q(batch.calls[0].source), Q(batch.sources / "song.msd"));
        QCOMPARE(batch.form.Errors().Size(), std::size_t{1});
    }
};

TORVANE_QTEST_MAIN(SharedBatchTest)
#include "shared_batch_test.moc"
