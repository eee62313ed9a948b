// The batch that a button runs, with the dialogs answered by the test.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_form.hpp"
#include "app/option_form.hpp"
#include "app_test_main.hpp"
#include "scripted_dialogs.hpp"
#include "test_support.hpp"

using torvane::Conversion;
using torvane::DdrOptions;
using torvane::ErrorList;
using torvane::TMainForm;
using torvane::TOptionForm;
using torvane::test::CrLf;
using torvane::test::J;
using torvane::test::ReadFile;
using torvane::test::ScriptedDialogs;
using torvane::test::TempDir;
using torvane::test::WriteFile;
namespace fs = std::filesystem;

namespace {

std::string Chart(std::string_view steps, std::string_view bpm = "150") {
    return CrLf({"#TITLE:Song;", "#BPM:" + std::string(bpm) + ";", "#GAP:0;",
                 "#SINGLE:BASIC:3:" + std::string(steps) + ";"});
}

const std::string kGoodChart = Chart("0000246886420000");
// One beat group of five characters: one error line, and the chart is still converted.
const std::string kChartWithError = Chart("0000(12345)2468");
const std::string kErrorLine = J("b.msd：変換不能な脚符長さです(12345)");
const std::string kOldErrLog = "old lines\r\n";

// The names in a folder, sorted.
QStringList Entries(const fs::path& folder) {
    QStringList names;
    for (const auto& entry : fs::directory_iterator(folder)) names << QString::fromStdString(entry.path().filename().string());
    names.sort();
    return names;
}

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names) list << QString::fromLatin1(name);
    return list;
}

const QString kNotice = QStringLiteral("変換エラーが検出されました\r\nErrLog.txtを参照して下さい");

// What a converter was asked to do.
struct Call {
    Conversion conversion;
    fs::path source;
    fs::path destination;
    DdrOptions options;
};

// A window as the program builds it, its dialogs answered by the test, and
// its "ErrLog.txt" kept in a temporary folder.
struct Batch {
    TempDir dir;
    fs::path sources = dir / "charts";
    fs::path program = dir / "bin";
    fs::path user_data = dir / "data";
    ScriptedDialogs dialogs;
    TMainForm form{dialogs};
    TOptionForm options;

    Batch() {
        fs::create_directories(sources);
        fs::create_directories(program);
        form.UseOptionForm(options);
        form.SetErrLogFolders(program, user_data);
        WriteFile(program / "ErrLog.txt", kOldErrLog);
    }

    fs::path Source(const std::string& name, const std::string& bytes) {
        WriteFile(sources / name, bytes);
        return sources / name;
    }
    void AskForFolder() { form.findChild<QCheckBox*>(QStringLiteral("NoCfrm"))->setChecked(false); }
    void Click(const char* button) { form.findChild<QPushButton*>(QString::fromLatin1(button))->click(); }
    [[nodiscard]] std::string ErrLog() const { return ReadFile(program / "ErrLog.txt"); }

    // Replaces the converters by one that records its calls and does what
    // `act` says for each source.
    std::vector<Call> calls;
    void RecordConversions(std::function<void(const fs::path& source, ErrorList& errors)> act = {}) {
        form.SetConverter([this, act](Conversion conversion, const fs::path& source, const fs::path& destination,
                                      const DdrOptions& options, ErrorList& errors) {
            calls.push_back({conversion, source, destination, options});
            if (act) act(source, errors);
        });
    }
};

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

class BatchTest : public QObject {
    Q_OBJECT

private slots:
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
            QCOMPARE(call.options.mode, int{DdrOptions::kFirstStepAt});
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
            if (source.filename() != "b.msd") errors.Add(source.filename().string(), J("：変換不能なコマンドです"), "{X}");
        });
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice")}));
        QCOMPARE(batch.dialogs.notices.front().text, kNotice);
        QCOMPARE(batch.ErrLog(), CrLf({J("a.msd：変換不能なコマンドです{X}"), J("c.msd：変換不能なコマンドです{X}")}));
    }

    void AnyExceptionOfAConverterEndsTheBatchInAnErrorBox_data() {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("reason");
        QTest::newRow("standard exception") << true << QStringLiteral("device full");
        QTest::newRow("anything else") << false << QStringLiteral("unknown reason");
    }
    void AnyExceptionOfAConverterEndsTheBatchInAnErrorBox() {
        QFETCH(bool, standard);
        QFETCH(QString, reason);
        Batch batch;
        batch.RecordConversions([standard](const fs::path& source, ErrorList& errors) {
            errors.Add("x", "y");
            if (source.filename() != "b.msd") return;
            if (standard) throw std::runtime_error("device full");
            throw 42;
        });
        batch.dialogs.files = {batch.sources / "a.msd", batch.sources / "b.msd", batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.calls.size(), std::size_t{2});
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("error")}));
        const QString text = batch.dialogs.errors.front().text;
        QVERIFY2(text.contains(Q(batch.sources / "b.msd")), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void UnwritableErrLogEverywhereIsReportedAfterTheNotice() {
        Batch batch;
        batch.RecordConversions([](const fs::path&, ErrorList& errors) { errors.Add("a.msd", "x"); });
        // A file where the folders should be: neither can hold "ErrLog.txt".
        WriteFile(batch.dir / "blocked", "");
        batch.form.SetErrLogFolders(batch.dir / "blocked", batch.dir / "blocked");
        batch.dialogs.files = {batch.sources / "a.msd"};
        batch.Click("MSD2d2r");
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("notice"), QStringLiteral("error")}));
        QCOMPARE(batch.dialogs.notices.front().text, kNotice);
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
        QCOMPARE(batch.dialogs.notices.front().text, kNotice);
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

    void AFileThatCannotBeConvertedEndsTheBatch_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing source") << true << QStringLiteral("b.msd");
        QTest::newRow("tempo that is not a number") << false << QStringLiteral("#BPM:");
    }
    void AFileThatCannotBeConvertedEndsTheBatch() {
        QFETCH(bool, missing);
        QFETCH(QString, reason);
        Batch batch;
        const fs::path bad = missing ? batch.sources / "b.msd" : batch.Source("b.msd", Chart("2468", "fast"));
        batch.dialogs.files = {batch.Source("a.msd", kChartWithError), bad, batch.Source("c.msd", kGoodChart)};
        batch.Click("MSD2d2r");
        // a.msd is converted, c.msd is never reached; a.msd's error line is
        // neither noticed nor saved.
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("files"), QStringLiteral("error")}));
        QVERIFY(fs::exists(batch.sources / "a.d2r"));
        QVERIFY(!fs::exists(batch.sources / "b.d2r"));
        QVERIFY(!fs::exists(batch.sources / "c.d2r"));
        QCOMPARE(batch.dialogs.errors.front().title, QStringLiteral("Torvane"));
        QVERIFY2(batch.dialogs.errors.front().text.contains(QStringLiteral("b.msd")),
                 qPrintable(batch.dialogs.errors.front().text));
        QVERIFY2(batch.dialogs.errors.front().text.contains(reason), qPrintable(batch.dialogs.errors.front().text));
        QCOMPARE(batch.ErrLog(), kOldErrLog);

        // The window is idle again and runs the next batch.
        batch.dialogs.files = {batch.sources / "c.msd"};
        batch.Click("MSD2d2r");
        QVERIFY(fs::exists(batch.sources / "c.d2r"));
    }

    void ErrLogGoesToTheUserDataFolderWhenTheProgramFolderIsNotWritable() {
        Batch batch;
        batch.form.SetErrLogFolders(batch.dir / "no such folder", batch.user_data);
        batch.dialogs.files = {batch.Source("b.msd", kChartWithError)};
        batch.Click("MSD2d2r");
        const fs::path saved = batch.user_data / "ErrLog.txt";
        QCOMPARE(ReadFile(saved), CrLf({kErrorLine}));
        QCOMPARE(batch.dialogs.notices.front().text, kNotice + QStringLiteral("\r\n") +
                                                         QString::fromStdString(saved.string()));
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }
};

TORVANE_QTEST_MAIN(BatchTest)
#include "batch_test.moc"
