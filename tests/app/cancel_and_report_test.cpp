// The window's batch as a user meets it: a close or a cancel that stops the
// files in hand and always reports, failed files that can be found, the
// notice that says where "ErrLog.txt" is, the file dialog's title, the bar
// that follows the bytes read, and the jobs of the command line.

#include <QCloseEvent>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch_run.hpp"
#include "app/failure_text.hpp"
#include "app/main_form.hpp"
#include "app/progress_form.hpp"
#include "app/window_look.hpp"
#include "app_test_main.hpp"
#include "batch/runner.hpp"
#include "batch_fixture.hpp"
#include "test_support.hpp"

using namespace torvane::test;

class CancelAndReportTest : public QObject {
    Q_OBJECT

private slots:
    // 1, 10: the window manager's close during a batch stops the file in
    // hand part way; the notice comes, then the window goes.
    void ClosingTheWindowStopsTheFileInHandReportsAndCloses() {
        Batch batch;
        batch.form.show();
        batch.form.SetJobs(1);
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        const fs::path big = batch.Source("big.msd", kChartWithError);
        batch.dialogs.on_progress = [&batch] {
            QCloseEvent close;
            QCoreApplication::sendEvent(&batch.form, &close);
            QVERIFY(!close.isAccepted());
        };
        batch.dialogs.files = {big, batch.Source("b.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls.back(), QStringLiteral("notice"));
        QCOMPARE(batch.dialogs.notices.front().text,
                 QStringLiteral("0ファイルを変換しました\r\nキャンセルしたため、残りの2ファイルは変換していません"));
        QVERIFY(!fs::exists(batch.sources / "big.d2r"));
        QVERIFY(!fs::exists(batch.sources / "b.d2r"));
        QTRY_VERIFY(!batch.form.isVisible());
    }

    // 2, 10: cancel in the progress dialog; the files done stay, the one in
    // hand stops and counts with the rest.
    void CancelSaysHowManyWereConvertedAndHowManyNot() {
        Batch batch;
        batch.form.SetJobs(1);
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.cancel_at_file = 1;
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kGoodChart),
                               batch.Source("c.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QVERIFY(fs::exists(batch.sources / "a.d2r"));
        QVERIFY(!fs::exists(batch.sources / "b.d2r"));
        QCOMPARE(batch.dialogs.notices.size(), std::size_t{1});
        QCOMPARE(batch.dialogs.notices.front().text,
                 QStringLiteral("1ファイルを変換しました\r\nキャンセルしたため、残りの2ファイルは変換していません"));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    // 1: the progress dialog leaves the main window free and uncovered.
    void TheProgressDialogIsNotModalAndCoversNoneOfTheMainWindow() {
        TMainFormHolder holder;
        torvane::TProgressForm progress(&holder.form, QStringLiteral("Torvane"));
        QVERIFY(!progress.isModal());
        QCOMPARE(progress.windowModality(), Qt::NonModal);
        progress.ShowFile("/charts/a.msd", 0, 3);
        QVERIFY(progress.isVisible());
        QVERIFY(!progress.frameGeometry().intersects(holder.form.frameGeometry()));
    }

    void PlacesBesideTheOwner_data() {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1000, 800);
        QTest::newRow("below") << QRect(400, 100, 221, 210) << QPoint(400, 310);
        QTest::newRow("right when no room below") << QRect(100, 600, 221, 200) << QPoint(321, 600 - 0);
        QTest::newRow("left when no room below or right") << QRect(800, 600, 200, 200) << QPoint(460, 600);
        QTest::newRow("centred when no room anywhere") << QRect(0, 0, 1000, 800) << QPoint(330, 340);
    }
    void PlacesBesideTheOwner() {
        QFETCH(QRect, owner);
        QFETCH(QPoint, expected);
        const QSize size(340, 120);
        const QRect screen(0, 0, 1000, 800);
        const QPoint at = torvane::PlaceBesideOwner(owner, size, screen);
        QCOMPARE(at, expected);
        QVERIFY(screen.contains(QRect(at, size)));
    }

    // 3: the failed files of one batch in three folders are told apart.
    void FailedFilesAreNamedFromTheFolderHoldingAllSources() {
        Batch batch;
        batch.dialogs.files = {batch.Source("pack/first/song.msd", ""),
                               batch.Source("pack/second/song.msd", Chart("00002468", "fast")),
                               batch.Source("pack/third/song.msd", std::string("\x00\x01\x02", 3)),
                               batch.Source("pack/third/other.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        const std::string log = batch.ErrLog();
        QVERIFY2(log.find(J("first/song.msd：変換できませんでした（空のファイルです）\r\n")) == 0, log.c_str());
        QVERIFY(log.find(J("second/song.msd：変換できませんでした（#BPM:の値「fast」が数値ではありません）")) != std::string::npos);
        QVERIFY(log.find(J("third/song.msd：変換できませんでした（バイナリデータ")) != std::string::npos);
        // A chart's error line keeps its own form: the name alone.
        QVERIFY(log.find(J("\r\nother.msd：変換不能な脚符長さです(12345)")) != std::string::npos);
        QVERIFY(batch.dialogs.notices.front().text.contains(QStringLiteral("second/song.msd：変換できませんでした")));
    }

    void CommonFolder_data() {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("folder");
        QTest::newRow("one") << Names({"/a/b/song.msd"}) << QStringLiteral("/a/b");
        QTest::newRow("siblings") << Names({"/a/b/x.msd", "/a/c/y.msd"}) << QStringLiteral("/a");
        QTest::newRow("one deeper") << Names({"/a/x.msd", "/a/c/d/y.msd"}) << QStringLiteral("/a");
        QTest::newRow("same prefix, other folder") << Names({"/a/bc/x.msd", "/a/b/y.msd"}) << QStringLiteral("/a");
        QTest::newRow("only the root") << Names({"/x/y.msd", "/z/y.msd"}) << QStringLiteral("/");
    }
    void CommonFolder() {
        QFETCH(QStringList, sources);
        QFETCH(QString, folder);
        std::vector<fs::path> paths;
        for (const auto& source : sources) paths.emplace_back(source.toStdString());
        QCOMPARE(QString::fromStdString(torvane::CommonFolder(paths).string()), folder);
    }

    // 4: the later of two sources of one destination says so.
    void TwoSourcesOfOneDestinationAreWordedAsSuch() {
        QCOMPARE(torvane::SameDestinationText("/p/a/song.MSD", "/p/a/song.msd", "/p/a/song.d2r", "/p"),
                 QStringLiteral("a/song.MSD：変換できませんでした（「a/song.msd」と同じ変換先「a/song.d2r」になるため変換していません）"));
        QCOMPARE(torvane::SameDestinationLine("/p/a/song.MSD", "/p/a/song.msd", "/out/song.d2r", "/p"),
                 J("a/song.MSD：変換できませんでした（「a/song.msd」と同じ変換先「/out/song.d2r」になるため変換していません）"));
    }

    // 5: below the two lines, the folder of "ErrLog.txt".
    void TheNoticeNamesTheFolderOfErrLog() {
        Batch batch;
        batch.dialogs.files = {batch.Source("b.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        const QStringList lines = batch.dialogs.notices.front().text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("変換エラーが検出されました"),
                                               QStringLiteral("ErrLog.txtを参照して下さい")}));
        QCOMPARE(lines.value(2), QStringLiteral("（保存先のフォルダ：") + Q(batch.program) + QStringLiteral("）"));
    }

    // 11: the file dialog's title names the conversion of its button.
    void TheFileDialogIsTitledByItsConversion_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << QStringLiteral("ＭＳＤ→ｄ２ｒ：変換するファイルを選択");
        QTest::newRow("d2r2MSD") << QStringLiteral("d2r2MSD") << QStringLiteral("ｄ２ｒ→ＭＳＤ：変換するファイルを選択");
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << QStringLiteral("ＭＳＤ→ｄｄｒ：変換するファイルを選択");
        QTest::newRow("Button1") << QStringLiteral("Button1") << QStringLiteral("ｄｄｒ→ＭＳＤ：変換するファイルを選択");
    }
    void TheFileDialogIsTitledByItsConversion() {
        QFETCH(QString, button);
        QFETCH(QString, title);
        Batch batch;
        batch.Click(button.toLatin1().constData());
        QCOMPARE(batch.dialogs.file_title, title);
    }

    // 10: the bar follows the bytes read, of every source of the batch.
    void TheBarFollowsTheBytesRead() {
        Batch batch;
        batch.form.SetJobs(1);
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kChartWithError)};
        const std::uint64_t a = fs::file_size(batch.sources / "a.msd");
        const std::uint64_t total = a + fs::file_size(batch.sources / "b.msd");
        batch.Click("MSD2d2r");
        // At each file's start, and in between as the files are read.
        const auto& bytes = batch.dialogs.bytes;
        QVERIFY(bytes.size() >= 2);
        QCOMPARE(bytes.front(), (std::pair<std::uint64_t, std::uint64_t>{0, total}));
        QVERIFY(std::find(bytes.begin(), bytes.end(), std::pair<std::uint64_t, std::uint64_t>{a, total}) != bytes.end());
        for (std::size_t i = 1; i < bytes.size(); ++i) QVERIFY(bytes[i].first >= bytes[i - 1].first);
    }

    // Plus: as many jobs as the command line, the results in the batch's order.
    void TheBatchRunsOnTheCommandLinesJobsInOrder() {
        Batch batch;
        QCOMPARE(batch.form.Jobs(), torvane::DefaultBatchJobs());
        batch.form.SetJobs(3);
        std::vector<std::string> expected;
        for (int i = 0; i < 12; ++i) {
            const std::string name = "s" + std::to_string(10 + i) + ".msd";
            batch.dialogs.files.push_back(batch.Source(name, i % 3 == 1 ? std::string() : kChartWithError));
            expected.push_back(J(name + (i % 3 == 1 ? "：変換できませんでした（空のファイルです）" : "：変換不能な脚符長さです(12345)")));
        }
        batch.Click("MSD2d2r");
        QCOMPARE(batch.ErrLog(), CrLf(expected));
    }

private:
    struct TMainFormHolder {
        ScriptedDialogs dialogs;
        torvane::TMainForm form{dialogs};
        TMainFormHolder() {
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
    };
};

TORVANE_QTEST_MAIN(CancelAndReportTest)
#include "cancel_and_report_test.moc"
