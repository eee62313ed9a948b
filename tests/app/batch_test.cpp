// The batch that a button runs, with the dialogs answered by the test.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/batch_run.hpp"
#include "app/main_form.hpp"
#include "app/option_form.hpp"
#include "app_test_main.hpp"
#include "batch_fixture.hpp"
#include "scripted_dialogs.hpp"
#include "test_support.hpp"
#include "text/conversion_error.hpp"
#include "text/sjis.hpp"

using torvane::Conversion;
using torvane::DdrOptions;
using torvane::ErrorCode;
using torvane::ErrorList;
using torvane::TMainForm;
using torvane::TOptionForm;
using namespace torvane::test;
namespace fs = std::filesystem;


class BatchTest : public QObject {
    Q_OBJECT

private slots:
    // What the window keeps of the shared batch's results, on their own.
    void FileResultsGiveTheirErrorLinesAndAFailedFileItsLine() {
        torvane::BatchPlan plan;
        plan.files = {{"a.msd", "a.d2r", torvane::PlanProblem::kNone, {}},
                      {"b.msd", "b.d2r", torvane::PlanProblem::kNone, {}},
                      {"B.msd", "b.d2r", torvane::PlanProblem::kSameDestination, "b.msd"}};
        ErrorList errors;
        torvane::WindowBatchOutcome outcome;
        torvane::FileResult converted;
        converted.source = "a.msd";
        converted.error_lines = {{torvane::ErrorCode::kCommandGroup, "a.msd", "{X}", 0, {}, {}}};
        torvane::TakeFileResult(plan, converted, errors, outcome);
        torvane::FileResult failed;
        failed.index = 1;
        failed.source = "b.msd";
        failed.status = torvane::FileStatus::kFailed;
        failed.error_lines = {{torvane::ErrorCode::kCommandGroup, "b.msd", "{X}", 0, {}, {}}};
        failed.failure = std::make_shared<const torvane::ConversionError>(torvane::Failure::kEmptyFile, "b.msd");
        torvane::TakeFileResult(plan, failed, errors, outcome);
        torvane::FileResult collision;
        collision.index = 2;
        collision.source = "B.msd";
        collision.status = torvane::FileStatus::kFailed;
        collision.problem = torvane::PlanProblem::kSameDestination;
        collision.other_source = "b.msd";
        torvane::TakeFileResult(plan, collision, errors, outcome);
        QCOMPARE(errors.Lines(), (std::vector<std::string>{J("a.msd：変換不能なコマンドです{X}"),
                                                            J("b.msd：変換不能なコマンドです{X}"),
                                                            J("b.msd：変換できませんでした（空のファイルです）"),
                                                            J("B.msd：変換できませんでした（「b.msd」と同じ変換先「b.d2r」になるため変換していません）")}));
        QCOMPARE(outcome.failed, (QStringList{QStringLiteral("b.msd：変換できませんでした（空のファイルです）"),
                                              QStringLiteral("B.msd：変換できませんでした（「b.msd」と同じ変換先「b.d2r」になるため変換していません）")}));
    }

    // The batch's own steps, with converters that only record what they are given.

    void EachButtonRunsItsConversionOnDestinationsBesideTheSources_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("conversion");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << static_cast<int>(torvane::Conversion::kMSD2d2r) << QStringLiteral("song.msd") << QStringLiteral("song.d2r");
        QTest::newRow("d2r2MSD") << QStringLiteral("d2r2MSD") << static_cast<int>(torvane::Conversion::kd2r2MSD) << QStringLiteral("song.d2r") << QStringLiteral("song.MSD");
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << static_cast<int>(torvane::Conversion::kMSD2ddr) << QStringLiteral("song.msd") << QStringLiteral("song.ddr");
        QTest::newRow("Button1") << QStringLiteral("Button1") << static_cast<int>(torvane::Conversion::kddr2MSD) << QStringLiteral("song_sb.ddr") << QStringLiteral("song_sb.MSD");
        QTest::newRow("name without a dot") << QStringLiteral("MSD2d2r") << static_cast<int>(torvane::Conversion::kMSD2d2r) << QStringLiteral("song") << QStringLiteral("song.d2r");
        QTest::newRow("upper-case source") << QStringLiteral("MSD2d2r") << static_cast<int>(torvane::Conversion::kMSD2d2r) << QStringLiteral("song.MSD") << QStringLiteral("song.d2r");
    }
    void EachButtonRunsItsConversionOnDestinationsBesideTheSources() {
        QFETCH(QString, button);
        QFETCH(int, conversion);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        Batch batch;
        batch.RecordConversions();
        const fs::path path = batch.sources / source.toStdString();
        batch.dialogs.files = {path};
        batch.Click(button.toLatin1().constData());
        QCOMPARE(batch.calls.size(), std::size_t{1});
        QCOMPARE(static_cast<int>(batch.calls[0].conversion), conversion);
        QCOMPARE(Q(batch.calls[0].source), Q(path));
        QCOMPARE(Q(batch.calls[0].destination), Q(batch.sources / destination.toStdString()));
    }

    void FilesAreConvertedInTheDialogsOrderIntoTheChosenFolder() {
        Batch batch;
        batch.RecordConversions();
        const fs::path out = batch.dir / "out";
        batch.dialogs.files = {batch.sources / "c.msd", batch.sources / "a.msd", batch.dir / "other" / "b.msd"};
        batch.dialogs.folder = out;
        batch.AskForFolder();
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{3});
        QCOMPARE(Q(batch.calls[0].destination), Q(out / "c.d2r"));
        QCOMPARE(Q(batch.calls[1].destination), Q(out / "a.d2r"));
        QCOMPARE(Q(batch.calls[2].destination), Q(out / "b.d2r"));
        // The first file's folder is preselected.
        QCOMPARE(Q(batch.dialogs.preselected_folder), Q(batch.sources));
    }

    void OptionDialogValuesReachEveryFileOfTheBatch() {
        Batch batch;
        batch.RecordConversions();
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd"};
        batch.dialogs.on_options = [](TOptionForm& form) {
            form.SetItemIndex(1);
            form.RadioGroup1Click();
            form.findChild<QWidget*>(QStringLiteral("SpinEdit2"))->findChild<QLineEdit*>()->setText(QStringLiteral("5"));
            for (auto* arrow : form.findChildren<QToolButton*>()) {
                if (arrow->arrowType() == Qt::UpArrow) arrow->click();
            }
        };
        batch.Click("MSD2ddr");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("options")}));
        QCOMPARE(batch.calls.size(), std::size_t{2});
        for (const auto& call : batch.calls) {
            QCOMPARE(static_cast<int>(call.options.mode), static_cast<int>(DdrOptions::kFirstStepAt));
            QCOMPARE(call.options.measure, 5);
            QCOMPARE(call.options.half_beat, 3);
        }

        // The next batch shows the dialog with the values chosen in this one.
        batch.dialogs.on_options = {};
        batch.Click("MSD2ddr");
        QCOMPARE(batch.calls.back().options.measure, 5);
        QCOMPARE(batch.calls.back().options.half_beat, 3);
    }

    void ErrorLinesOfAllFilesAreSavedInOrderAfterOneNotice() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList& errors) {
            if (source.filename() != "b.msd") errors.Add(source.filename().string(), ErrorCode::kCommandGroup, "{X}");
        });
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        QCOMPARE(batch.dialogs.notices.front().text, batch.Notice());
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換不能なコマンドです{X}"), J("c.msd：変換不能なコマンドです{X}")}));
    }

    void AFailedFileIsReportedAndTheBatchGoesOn() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList& errors) {
            errors.Add(source.filename().string(), ErrorCode::kCommandGroup, "{X}");
            if (source.filename() == "b.msd") {
                throw torvane::ConversionError(torvane::Failure::kNotANumber, source, "#BPM:", "fast");
            }
        });
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{3});
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        // Every file's error lines in order, the failed file's own line right
        // after the lines it gave before it failed.
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換不能なコマンドです{X}"), J("b.msd：変換不能なコマンドです{X}"),
                                       J("b.msd：変換できませんでした（#BPM:の値「fast」が数値ではありません）"),
                                       J("c.msd：変換不能なコマンドです{X}")}));
        const QString text = batch.dialogs.notices.front().text;
        QVERIFY2(text.startsWith(batch.Notice() + QStringLiteral("\r\n\r\n変換できなかったファイル（1件）：\r\n")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("b.msd：変換できませんでした（#BPM:の値「fast」が数値ではありません）")),
                 qPrintable(text));
        QVERIFY(batch.dialogs.notices.front().details.isEmpty());
    }

    void AFailedFileAloneBringsTheNotice() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList&) {
            throw torvane::ConversionError(torvane::Failure::kEmptyFile, source);
        });
        batch.dialogs.files = {batch.sources / "a.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換できませんでした（空のファイルです）")}));
    }

    void UnwritableErrLogIsNeverPointedAt() {
        Batch batch;
        batch.RecordConversions([](const fs::path&, ErrorList& errors) { errors.Add("a.msd", ErrorCode::kCommandGroup, "{X}"); });
        // A file where the folders should be: neither can hold "ErrLog.txt".
        WriteFile(batch.dir / "blocked", "");
        batch.form.SetErrLogFolders(batch.dir / "blocked", batch.dir / "blocked" / "data");
        batch.dialogs.files = {batch.sources / "a.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        const auto& notice = batch.dialogs.notices.front();
        QVERIFY2(!notice.text.contains(QStringLiteral("参照して下さい")), qPrintable(notice.text));
        QVERIFY2(notice.text.startsWith(QStringLiteral("変換エラーが検出されました\r\nErrLog.txtに保存できませんでした：\r\n")),
                 qPrintable(notice.text));
        // Where it was tried, and why it failed there, in Japanese.
        QVERIFY2(notice.text.contains(Q(batch.dir / "blocked" / "ErrLog.txt") +
                                      QStringLiteral("：作成できません：パスの途中にフォルダでないものがあります")),
                 qPrintable(notice.text));
        QVERIFY2(notice.text.contains(Q(batch.dir / "blocked" / "data" / "ErrLog.txt") + QStringLiteral("：")),
                 qPrintable(notice.text));
        QVERIFY2(notice.text.endsWith(QStringLiteral("\r\n\r\n保存できなかったエラーの内容は次のとおりです：")),
                 qPrintable(notice.text));
        QCOMPARE(notice.details, QStringList{QStringLiteral("a.msd：変換不能なコマンドです{X}")});
    }

    void UnwritableErrLogWithoutAUserFolderNamesTheOneTried() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList&) {
            throw torvane::ConversionError(torvane::Failure::kOpenForReading, source, {}, {}, ENOENT);
        });
        batch.form.SetErrLogFolders(batch.dir / "no such folder", {});
        batch.dialogs.files = {batch.sources / "a.msd"};
        batch.Click("MSD2d2r");
        const auto& notice = batch.dialogs.notices.front();
        QVERIFY2(notice.text.contains(Q(batch.dir / "no such folder" / "ErrLog.txt") +
                                      QStringLiteral("：作成できません：ファイルまたはフォルダが見つかりません")),
                 qPrintable(notice.text));
        QVERIFY(!notice.text.contains(QStringLiteral("参照して下さい")));
        QCOMPARE(notice.details,
                 QStringList{QStringLiteral("a.msd：変換できませんでした（ファイルを開けません：ファイルまたはフォルダが見つかりません）")});
        QVERIFY(!fs::exists(batch.dir / "no such folder"));
    }

    // The progress dialog, shown at once here.
    void ProgressShowsEachFileAndHowManyRemain() {
        Batch batch;
        batch.RecordConversions();
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("progress")}));
        QCOMPARE(batch.dialogs.progress.size(), std::size_t{3});
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(Q(batch.dialogs.progress[i].file), Q(batch.dialogs.files[i]));
            QCOMPARE(batch.dialogs.progress[i].done, i);
            QCOMPARE(batch.dialogs.progress[i].total, std::size_t{3});
        }
        QVERIFY(!batch.dialogs.progress_open);
        QVERIFY(!batch.form.BatchRunning());
    }

    void ShortBatchesShowNoProgress() {
        Batch batch;
        batch.RecordConversions();
        batch.form.SetProgressDelay(std::chrono::hours(1));
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{2});
        QVERIFY(!batch.dialogs.calls.contains(QStringLiteral("progress")));
    }

    // The window goes on handling its events while a file is in hand: the
    // progress dialog opens during the first file, which waits for it.
    void ProgressShowsWhileALongFileIsInHand() {
        Batch batch;
        batch.form.SetProgressDelay(std::chrono::milliseconds(20));
        std::atomic<bool> shown = false;
        batch.dialogs.on_progress = [&shown] { shown = true; };
        bool waited = true;
        batch.RecordConversions([&](const fs::path& source, ErrorList&) {
            if (source.filename() != "a.msd") return;
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!shown && std::chrono::steady_clock::now() < give_up) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            waited = shown;
        });
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd"};
        batch.Click("MSD2d2r");
        QVERIFY(waited);
        QCOMPARE(batch.dialogs.progress.size(), std::size_t{2});
        QCOMPARE(Q(batch.dialogs.progress[0].file), Q(batch.sources / "a.msd"));
        QCOMPARE(batch.dialogs.progress[1].done, std::size_t{1});
    }

    void CancelStopsAfterTheFileInHand() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList& errors) {
            errors.Add(source.filename().string(), ErrorCode::kCommandGroup, "{X}");
        });
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.cancel_at_file = 1;
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd",
                               batch.sources / "d.msd"};
        batch.Click("MSD2d2r");
        // b.msd was in hand when cancel was pressed: it is finished, the rest is not started.
        QCOMPARE(batch.calls.size(), std::size_t{2});
        QCOMPARE(Q(batch.calls[1].source), Q(batch.sources / "b.msd"));
        QCOMPARE(batch.dialogs.calls,
                 (QStringList{QStringLiteral("files"), QStringLiteral("progress"), QStringLiteral("notice")}));
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換不能なコマンドです{X}"), J("b.msd：変換不能なコマンドです{X}")}));
        QVERIFY2(batch.dialogs.notices.front().text.startsWith(batch.Notice()), qPrintable(batch.dialogs.notices.front().text));
        QVERIFY2(batch.dialogs.notices.front().text.endsWith(QStringLiteral("キャンセルしたため、残りの2ファイルは変換していません")),
                 qPrintable(batch.dialogs.notices.front().text));
        QVERIFY(!batch.dialogs.progress_open);
    }

    // A cancelled batch always says how far it got, even without an error line.
    void CancelWithoutErrorsStillShowsTheNotice() {
        Batch batch;
        batch.RecordConversions();
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.cancel_at_file = 0;
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{1});
        QCOMPARE(batch.dialogs.calls,
                 (QStringList{QStringLiteral("files"), QStringLiteral("progress"), QStringLiteral("notice")}));
        QCOMPARE(batch.dialogs.notices.front().text,
                 QStringLiteral("1ファイルを変換しました\r\nキャンセルしたため、残りの2ファイルは変換していません"));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void ClosingTheWindowStopsTheBatchAfterTheFileInHand() {
        Batch batch;
        batch.RecordConversions();
        batch.form.show();
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        batch.dialogs.on_progress = [&batch] { QVERIFY(!batch.form.close()); };
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{1});
        // The notice first, then the window goes.
        QCOMPARE(batch.dialogs.calls.back(), QStringLiteral("notice"));
        QVERIFY(batch.dialogs.notices.front().text.endsWith(QStringLiteral("残りの1ファイルは変換していません")));
        QTRY_VERIFY(!batch.form.isVisible());
    }

    void ClicksDuringABatchStartNoOtherBatch() {
        Batch batch;
        batch.RecordConversions();
        batch.form.SetProgressDelay(std::chrono::milliseconds(0));
        int progress_seen = 0;
        batch.dialogs.on_progress = [&] {
            if (++progress_seen == 1) batch.Click("d2r2MSD");
        };
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("progress")}));
        QCOMPARE(batch.calls.size(), std::size_t{2});
    }

    // Whole batches with the real converters, on small charts.
    void CancelInTheFileDialogConvertsNothing_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("format");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << 1;
        QTest::newRow("d2r2MSD") << QStringLiteral("d2r2MSD") << 2;
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << 1;
        QTest::newRow("Button1") << QStringLiteral("Button1") << 3;
    }
    void CancelInTheFileDialogConvertsNothing() {
        QFETCH(QString, button);
        QFETCH(int, format);
        Batch batch;
        batch.Source("a.msd", kGoodChart);
        batch.AskForFolder();
        batch.Click(button.toLatin1().constData());
        QCOMPARE(batch.dialogs.calls, QStringList{QStringLiteral("files")});
        QCOMPARE(batch.dialogs.file_format, format);
        QCOMPARE(Entries(batch.sources), Names({"a.msd"}));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void CancelInTheFolderChooserConvertsNothing() {
        Batch batch;
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kChartWithError)};
        batch.AskForFolder();
        batch.Click("MSD2ddr");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("folder")}));
        QCOMPARE(batch.dialogs.folder_title, QStringLiteral("フォルダーの選択"));
        QCOMPARE(QString::fromStdString(batch.dialogs.preselected_folder.string()), QString::fromStdString(batch.sources.string()));
        QCOMPARE(Entries(batch.sources), Names({"a.msd", "b.msd"}));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void ThreeFilesWithoutErrorsWriteThreeFilesAndNoNotice() {
        Batch batch;
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kGoodChart),
                               batch.Source("c.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, QStringList{QStringLiteral("files")});
        QCOMPARE(Entries(batch.sources), Names({"a.d2r", "a.msd", "b.d2r", "b.msd", "c.d2r", "c.msd"}));
        QVERIFY(batch.form.Errors().Empty());
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void ErrorsInOneOfSeveralFilesAreNoticedOnceAfterTheLastFile() {
        Batch batch;
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kChartWithError),
                               batch.Source("c.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QCOMPARE(Entries(batch.sources), Names({"a.d2r", "a.msd", "b.d2r", "b.msd", "c.d2r", "c.msd"}));
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        QCOMPARE(batch.dialogs.notices.front().title, QStringLiteral("Torvane"));
        QCOMPARE(batch.dialogs.notices.front().text, batch.Notice());
        QCOMPARE(batch.ErrLog(), CrLf({kErrorLine}));

        // The next batch with errors replaces the file rather than adding to it.
        batch.dialogs.files = {batch.sources / "b.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.ErrLog(), CrLf({kErrorLine}));
    }

    void ANewBatchStartsWithNoErrorLinesEvenWhenCancelled() {
        Batch batch;
        batch.dialogs.files = {batch.Source("b.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.form.Errors().Size(), std::size_t{1});
        batch.dialogs.files.clear();
        batch.Click("MSD2d2r");
        QVERIFY(batch.form.Errors().Empty());
        QCOMPARE(batch.ErrLog(), CrLf({kErrorLine}));
    }

    void ChosenFolderIsJoinedWithOneSeparator_data() {
        QTest::addColumn<bool>("trailing_separator");
        QTest::newRow("folder") << false;
        QTest::newRow("folder ending in a separator") << true;
    }
    void ChosenFolderIsJoinedWithOneSeparator() {
        QFETCH(bool, trailing_separator);
        Batch batch;
        const fs::path out = batch.dir / "out";
        fs::create_directories(out);
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kGoodChart)};
        batch.dialogs.folder = trailing_separator ? fs::path(out.string() + "/") : out;
        batch.AskForFolder();
        batch.Click("MSD2d2r");
        QCOMPARE(Entries(out), Names({"a.d2r", "b.d2r"}));
        QCOMPARE(Entries(batch.sources), Names({"a.msd", "b.msd"}));
    }

    void UncheckedNoCfrmDoesNotDependOnTheCurrentDirectory() {
        Batch batch;
        const QString previous = QDir::currentPath();
        const fs::path elsewhere = batch.dir / "elsewhere";
        fs::create_directories(elsewhere);
        QDir::setCurrent(QString::fromStdString(elsewhere.string()));
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QDir::setCurrent(previous);
        QCOMPARE(Entries(batch.sources), Names({"a.d2r", "a.msd"}));
        QVERIFY(fs::is_empty(elsewhere));
    }

    void OptionDialogIsShownOnceAfterTheFolderChooser() {
        Batch batch;
        const fs::path out = batch.dir / "out";
        fs::create_directories(out);
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kGoodChart)};
        batch.dialogs.folder = out;
        batch.AskForFolder();
        batch.Click("MSD2ddr");
        QCOMPARE(batch.dialogs.calls,
                 (QStringList{QStringLiteral("files"), QStringLiteral("folder"), QStringLiteral("options")}));
        QCOMPARE(Entries(out), Names({"a_sb.ddr", "b_sb.ddr"}));
    }

    void OptionDialogIsShownOnlyForMSDToDdr() {
        Batch batch;
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QVERIFY(!batch.dialogs.calls.contains(QStringLiteral("options")));
    }

    void AFileThatCannotBeConvertedLeavesItsDestinationAndTheBatchGoesOn_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing source") << true
                                        << QStringLiteral("b.msd：変換できませんでした（ファイルを開けません：ファイルまたはフォルダが見つかりません）");
        QTest::newRow("tempo that is not a number") << false
                                                    << QStringLiteral("b.msd：変換できませんでした（#BPM:の値「fast」が数値ではありません）");
    }
    void AFileThatCannotBeConvertedLeavesItsDestinationAndTheBatchGoesOn() {
        QFETCH(bool, missing);
        QFETCH(QString, line);
        Batch batch;
        const fs::path bad = missing ? batch.sources / "b.msd" : batch.Source("b.msd", Chart("2468", "fast"));
        WriteFile(batch.sources / "b.d2r", "old destination");
        batch.dialogs.files = {batch.Source("a.msd", kChartWithError), bad, batch.Source("c.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        QVERIFY(fs::exists(batch.sources / "a.d2r"));
        QCOMPARE(ReadFile(batch.sources / "b.d2r"), std::string("old destination"));
        QVERIFY(fs::exists(batch.sources / "c.d2r"));
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換不能な脚符長さです(12345)"), J(line.toStdString())}));
        QCOMPARE(batch.dialogs.notices.front().title, QStringLiteral("Torvane"));
        QVERIFY2(batch.dialogs.notices.front().text.contains(line), qPrintable(batch.dialogs.notices.front().text));
    }

    void ADestinationThatCannotBeWrittenIsNamed() {
        Batch batch;
        const fs::path out = batch.dir / "out";
        // A folder where the destination should be: it cannot be replaced.
        fs::create_directories(out / "a.d2r");
        batch.dialogs.files = {batch.Source("a.msd", kGoodChart), batch.Source("b.msd", kGoodChart)};
        batch.dialogs.folder = out;
        batch.AskForFolder();
        batch.Click("MSD2d2r");
        QCOMPARE(batch.form.Errors().Size(), std::size_t{1});
        const QString expected = QStringLiteral("a.msd：変換できませんでした（変換先「") + Q(out / "a.d2r") +
                                 QStringLiteral("」を置き換えられません：フォルダです）");
        QCOMPARE(QString::fromStdString(torvane::Cp932ToUtf8(batch.form.Errors().Lines()[0])), expected);
        QVERIFY(fs::is_directory(out / "a.d2r"));
        QVERIFY(fs::exists(out / "b.d2r"));
        // No temporary file is left beside it.
        QCOMPARE(Entries(out), Names({"a.d2r", "b.d2r"}));
    }

    void ManyFailedFilesAreCountedInTheNotice() {
        Batch batch;
        batch.RecordConversions([](const fs::path& source, ErrorList&) {
            throw torvane::ConversionError(torvane::Failure::kBinaryData, source);
        });
        for (int i = 0; i < 12; ++i) batch.dialogs.files.push_back(batch.sources / ("f" + std::to_string(i + 10) + ".msd"));
        batch.Click("MSD2d2r");
        QCOMPARE(batch.form.Errors().Size(), std::size_t{12});
        const QString text = batch.dialogs.notices.front().text;
        QVERIFY2(text.contains(QStringLiteral("変換できなかったファイル（12件）：")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("f19.msd：")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("f20.msd：")), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("\r\nほか2件")), qPrintable(text));
    }

    void ErrLogGoesToTheUserDataFolderWhenTheProgramFolderIsNotWritable() {
        Batch batch;
        batch.form.SetErrLogFolders(batch.dir / "no such folder", batch.user_data);
        batch.dialogs.files = {batch.Source("b.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        const fs::path saved = batch.user_data / "ErrLog.txt";
        QCOMPARE(ReadFile(saved), CrLf({kErrorLine}));
        QCOMPARE(batch.dialogs.notices.front().text, batch.Notice(batch.user_data));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }
};

TORVANE_QTEST_MAIN(BatchTest)
#include "batch_test.moc"
