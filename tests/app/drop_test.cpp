// Files and folders dropped onto the buttons.

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app_test_main.hpp"
#include "batch_fixture.hpp"

using torvane::Conversion;
using namespace torvane::test;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<QMimeData> Urls(const std::vector<fs::path>& paths) {
    QList<QUrl> urls;
    for (const auto& path : paths) urls << QUrl::fromLocalFile(Q(path));
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls(urls);
    return mime;
}

QPushButton* Button(Batch& batch, const QString& name) { return batch.form.findChild<QPushButton*>(name); }

// Whether the button takes a drag of `paths`, as the pointer enters it.
bool DragEnter(QWidget* target, const QMimeData& mime, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    QDragEnterEvent enter(QPoint(10, 10), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    return enter.isAccepted();
}

// Drops `paths` onto `target` as the window system does, and lets the batch run.
bool Drop(QWidget* target, const std::vector<fs::path>& paths) {
    const auto mime = Urls(paths);
    if (!DragEnter(target, *mime)) return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    const bool taken = drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    QCoreApplication::processEvents();
    return taken;
}

bool Highlighted(QPushButton* button) {
    return button->palette().color(QPalette::Button) == button->palette().color(QPalette::Highlight);
}

QStringList Sources(const std::vector<Call>& calls) {
    QStringList sources;
    for (const auto& call : calls) sources << Q(call.source);
    return sources;
}

}  // namespace

class DropTest : public QObject {
    Q_OBJECT

private slots:
    void EachButtonTakesItsOwnFormat_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("conversion");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("other");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << static_cast<int>(Conversion::kMSD2d2r)
                                 << QStringLiteral("song.msd") << QStringLiteral("song.d2r");
        QTest::newRow("d2r2MSD") << QStringLiteral("d2r2MSD") << static_cast<int>(Conversion::kd2r2MSD)
                                 << QStringLiteral("song.d2r") << QStringLiteral("song.msd");
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << static_cast<int>(Conversion::kMSD2ddr)
                                 << QStringLiteral("song.MSD") << QStringLiteral("song_sb.ddr");
        QTest::newRow("Button1") << QStringLiteral("Button1") << static_cast<int>(Conversion::kddr2MSD)
                                 << QStringLiteral("song_sb.ddr") << QStringLiteral("song.MSD");
    }

    void EachButtonTakesItsOwnFormat() {
        QFETCH(QString, button);
        QFETCH(int, conversion);
        QFETCH(QString, source);
        QFETCH(QString, other);
        Batch batch;
        batch.RecordConversions();
        auto* target = Button(batch, button);

        // The pointer over the button with a file of its format: it lights up,
        // and goes dark again when the pointer leaves.
        const auto takes = Urls({batch.sources / source.toStdString()});
        QVERIFY(DragEnter(target, *takes));
        QVERIFY(Highlighted(target));
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(target, &leave);
        QVERIFY(!Highlighted(target));

        // Only files of another format: not taken, not lit.
        const auto refuses = Urls({batch.sources / other.toStdString()});
        QVERIFY(!DragEnter(target, *refuses));
        QVERIFY(!Highlighted(target));

        // Two files of its format, in the order of the drop, beside their sources.
        const fs::path first = batch.sources / ("b_" + source.toStdString());
        const fs::path second = batch.sources / ("a_" + source.toStdString());
        QVERIFY(Drop(target, {first, second}));
        QVERIFY(!Highlighted(target));
        QCOMPARE(batch.calls.size(), std::size_t{2});
        QCOMPARE(static_cast<int>(batch.calls[0].conversion), conversion);
        QCOMPARE(Sources(batch.calls), (QStringList{Q(first), Q(second)}));
        QCOMPARE(Q(batch.calls[0].destination), Q(torvane::DestinationFor(Conversion(conversion), first)));
        const QStringList expected_calls =
            conversion == static_cast<int>(Conversion::kMSD2ddr) ? QStringList{QStringLiteral("options")} : QStringList{};
        QCOMPARE(batch.dialogs.calls, expected_calls);
    }

    void AFolderIsWalkedForTheSourcesOfTheButton() {
        Batch batch;
        batch.RecordConversions();
        const fs::path library = batch.sources / "library";
        batch.Source("library/b/song.msd", kGoodChart);
        batch.Source("library/a/song.MSD", kGoodChart);
        batch.Source("library/a/deep/x.msd", kGoodChart);
        batch.Source("library/a/cover.png", "");
        batch.Source("library/b/song.d2r", "");
        batch.Source("library/.hidden/y.msd", kGoodChart);
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {library}));
        QCOMPARE(Sources(batch.calls), (QStringList{Q(library / "a/deep/x.msd"), Q(library / "a/song.MSD"),
                                                    Q(library / "b/song.msd")}));
        // Other files inside a folder are the folder's business, not reported.
        QVERIFY(batch.dialogs.notices.empty());
    }

    void AChosenFolderRepeatsTheTreeOfADroppedFolder() {
        Batch batch;
        const fs::path library = batch.sources / "library";
        batch.Source("library/a/song.msd", kGoodChart);
        batch.Source("library/b/song.msd", kGoodChart);
        batch.Source("library/top.msd", kGoodChart);
        const fs::path single = batch.Source("single.msd", kGoodChart);
        const fs::path out = batch.dir / "out";
        fs::create_directories(out);
        batch.dialogs.folder = out;
        batch.AskForFolder();
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {library, single}));
        QCOMPARE(batch.dialogs.calls, (QStringList{QStringLiteral("folder")}));
        // The first source's folder is preselected, as for a click.
        QCOMPARE(Q(batch.dialogs.preselected_folder), Q(library / "a"));
        QCOMPARE(Entries(out), Names({"a", "b", "single.d2r", "top.d2r"}));
        QCOMPARE(Entries(out / "a"), Names({"song.d2r"}));
        QCOMPARE(Entries(out / "b"), Names({"song.d2r"}));
    }

    void OtherFormatsInAMixedDropAreReportedInTheNotice() {
        Batch batch;
        batch.RecordConversions();
        const fs::path msd = batch.Source("song.msd", kGoodChart);
        const fs::path d2r = batch.Source("song.d2r", "");
        const fs::path text = batch.Source("readme.txt", "");
        const fs::path empty_folder = batch.sources / "nothing here";
        fs::create_directories(empty_folder);
        batch.Source("library/x.msd", kGoodChart);
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {d2r, msd, text, empty_folder, batch.sources / "library"}));
        QCOMPARE(Sources(batch.calls), (QStringList{Q(msd), Q(batch.sources / "library/x.msd")}));
        QCOMPARE(batch.dialogs.calls, QStringList{QStringLiteral("notice")});
        QCOMPARE(batch.dialogs.notices.front().text,
                 QStringLiteral("MSDファイル（.msd）ではないため、変換しなかったもの：\r\nsong.d2r\r\nreadme.txt\r\n\r\n"
                                "MSDファイルが見つからなかったフォルダ：\r\n") + Q(empty_folder));
        // Nothing was wrong with the charts: the old log stays.
        QCOMPARE(batch.ErrLog(), kOldErrLog);
    }

    void ADropWithNothingToConvertAsksNothingElse() {
        Batch batch;
        batch.RecordConversions();
        batch.AskForFolder();
        const fs::path empty_folder = batch.sources / "empty";
        fs::create_directories(empty_folder);
        QVERIFY(Drop(Button(batch, QStringLiteral("Button1")), {empty_folder}));
        QVERIFY(batch.calls.empty());
        QCOMPARE(batch.dialogs.calls, QStringList{QStringLiteral("notice")});
        QCOMPARE(batch.dialogs.notices.front().text,
                 QStringLiteral("ddrファイルが見つからなかったフォルダ：\r\n") + Q(empty_folder));
    }

    void ADroppedFolderWithErrorsConvertsEveryFileAndNoticesOnce() {
        Batch batch;
        batch.Source("library/a.msd", kGoodChart);
        batch.Source("library/b.msd", kChartWithError);
        batch.Source("library/c.msd", Chart("2468", "fast"));
        batch.Source("library/d.msd", kGoodChart);
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {batch.sources / "library"}));
        QCOMPARE(Entries(batch.sources / "library"),
                 Names({"a.d2r", "a.msd", "b.d2r", "b.msd", "c.msd", "d.d2r", "d.msd"}));
        QCOMPARE(batch.dialogs.calls, QStringList{QStringLiteral("notice")});
        QCOMPARE(batch.ErrLog(), CrLf({kErrorLine, J("c.msd：変換できませんでした（#BPM:の値「fast」が数値ではありません）")}));
    }

    void OnlyTheButtonsTakeDrops() {
        Batch batch;
        batch.RecordConversions();
        const auto mime = Urls({batch.Source("song.msd", kGoodChart)});
        auto* box = batch.form.findChild<QCheckBox*>(QStringLiteral("NoCfrm"));
        QVERIFY(!batch.form.acceptDrops());
        QVERIFY(!box->acceptDrops());
        for (QWidget* elsewhere : {static_cast<QWidget*>(&batch.form), static_cast<QWidget*>(box)}) {
            QVERIFY(!DragEnter(elsewhere, *mime));
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(elsewhere, &drop);
            QCoreApplication::processEvents();
        }
        QVERIFY(batch.calls.empty());
        QVERIFY(batch.dialogs.calls.isEmpty());
        for (const auto& name : {"MSD2d2r", "d2r2MSD", "MSD2ddr", "Button1"}) {
            QVERIFY2(Button(batch, QString::fromLatin1(name))->acceptDrops(), name);
        }
    }

    void ADragThatCanOnlyMoveIsNotTaken() {
        // Taking it would let the program the files come from delete them.
        Batch batch;
        const auto mime = Urls({batch.Source("song.msd", kGoodChart)});
        QVERIFY(!DragEnter(Button(batch, QStringLiteral("MSD2d2r")), *mime, Qt::MoveAction));
    }

    void ANewDropStartsWithNoErrorLines() {
        Batch batch;
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {batch.Source("b.msd", kChartWithError)}));
        QCOMPARE(batch.form.Errors().Size(), std::size_t{1});
        QVERIFY(Drop(Button(batch, QStringLiteral("MSD2d2r")), {batch.Source("a.msd", kGoodChart)}));
        QVERIFY(batch.form.Errors().Empty());
        QCOMPARE(batch.dialogs.notices.size(), std::size_t{1});
    }
};

TORVANE_QTEST_MAIN(DropTest)
#include "drop_test.moc"
