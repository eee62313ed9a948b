// The preview as a player reads a long chart: Japanese words, zoom, the
// keys, a measure to go to, and what reading the file found.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSvgWidget>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest>

#include <filesystem>
#include <string>

#include "app/main_form.hpp"
#include "app/preview_window.hpp"
#include "app/window_look.hpp"
#include "app_test_main.hpp"
#include "preview/chart_svg.hpp"
#include "scripted_dialogs.hpp"
#include "test_support.hpp"

using torvane::ChartView;
using torvane::PreviewWindow;
using torvane::TMainForm;
using torvane::test::ScriptedDialogs;
using torvane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A chart of `measures` measures of 8th notes.
std::string LongChart(int measures, const std::string& bpm = "150") {
    std::string steps;
    for (int i = 0; i < measures; ++i) steps += "24682468";
    return torvane::test::CrLf({"#TITLE:Long;", "#BPM:" + bpm + ";", "#GAP:0;", "#SINGLE:BASIC:3:" + steps + ";"});
}

struct Opened {
    ScriptedDialogs dialogs;
    TMainForm form{dialogs};
    PreviewWindow* window = nullptr;

    explicit Opened(const fs::path& file) {
        dialogs.chart_file = file;
        form.show();
        QApplication::setActiveWindow(&form);
        if (!QTest::qWaitForWindowActive(&form)) return;
        QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
        window = form.findChild<PreviewWindow*>();
        if (window == nullptr) return;
        QApplication::setActiveWindow(window);
        (void)QTest::qWaitForWindowActive(window);
    }
    ChartView* View() const { return window->CurrentView(); }
};

}  // namespace

class PreviewReadingTest : public QObject {
    Q_OBJECT

private slots:
    // 6: the window's pictures speak Japanese; torvane-cli's stay English.
    void PicturesAreInJapaneseInTheWindowAndEnglishByDefault() {
        torvane::Chart chart;
        chart.title = "Song";
        chart.level = "3";
        chart.difficulty = torvane::ChartDifficulty::kBasic;
        const std::string japanese = torvane::RenderChartSvg(chart, torvane::PictureLanguage::kJapanese);
        for (const char* word : {"シングル", "ベーシック", "レベル3", "BPM不明", "ステップ 0", "同時踏み 0", "3連符 0",
                                 "拍の頭（赤）", "8分（青）", "16分（黄）", "32分（緑）", "3連符（紫）"}) {
            QVERIFY2(japanese.find(word) != std::string::npos, word);
        }
        QVERIFY(japanese.find("on the beat") == std::string::npos);
        const std::string english = torvane::RenderChartSvg(chart);
        for (const char* word : {"Single", "Basic", "level 3", "? BPM", "0 steps", "on the beat (red)"}) {
            QVERIFY2(english.find(word) != std::string::npos, word);
        }
    }

    // 7: fitted to the width, zoomed by keys and Ctrl+wheel, fitted again by Ctrl+0.
    void ZoomStartsFittedToTheWidth() {
        TempDir dir;
        torvane::test::WriteFile(dir / "long.msd", LongChart(120));
        Opened opened(dir / "long.msd");
        QVERIFY(opened.window != nullptr);
        ChartView* view = opened.View();
        QVERIFY(view != nullptr);
        const int fitted = view->Picture()->width();
        QVERIFY(std::abs(fitted - view->viewport()->width()) <= 1);
        const double fit = view->Zoom();
        QTest::keyClick(opened.window, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(qFuzzyCompare(view->Zoom(), fit * torvane::kZoomStep));
        QTest::keyClick(opened.window, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(opened.window, Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(qFuzzyCompare(view->Zoom(), fit / torvane::kZoomStep));
        QPoint centre = view->viewport()->rect().center();
        QWheelEvent up(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &up);
        QVERIFY(qFuzzyCompare(view->Zoom(), fit));
        QTest::keyClick(opened.window, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(opened.window, Qt::Key_0, Qt::ControlModifier);
        QVERIFY(qFuzzyCompare(view->Zoom(), fit));
        // A wheel without Ctrl scrolls as ever.
        QWheelEvent down(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &down);
        QVERIFY(qFuzzyCompare(view->Zoom(), fit));
        QVERIFY(view->verticalScrollBar()->value() > 0);
    }

    // 7: the keys scroll without a click first; Ctrl+G goes to a measure.
    void KeysScrollAndCtrlGGoesToAMeasure() {
        TempDir dir;
        torvane::test::WriteFile(dir / "long.msd", LongChart(200));
        Opened opened(dir / "long.msd");
        QVERIFY(opened.window != nullptr);
        ChartView* view = opened.View();
        QScrollBar* bar = view->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(opened.window, Qt::Key_PageDown);
        QCOMPARE(bar->value(), bar->pageStep());
        QTest::keyClick(opened.window, Qt::Key_End);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(opened.window, Qt::Key_PageUp);
        QCOMPARE(bar->value(), bar->maximum() - bar->pageStep());
        QTest::keyClick(opened.window, Qt::Key_Home);
        QCOMPARE(bar->value(), 0);

        opened.dialogs.measure = 101;
        QTest::keyClick(opened.window, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(opened.dialogs.calls.back(), QStringLiteral("measure"));
        QCOMPARE(opened.dialogs.measure_asked, (std::pair<int, int>{1, 200}));
        QCOMPARE(view->MeasureAtTop(), 101);
        // The measure stays in view through a zoom.
        QTest::keyClick(opened.window, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view->MeasureAtTop(), 101);
        opened.dialogs.measure.reset();
        QTest::keyClick(opened.window, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(view->MeasureAtTop(), 101);
    }

    // 7: Escape and Ctrl+W close; the window opens centred over the main window.
    void EscapeAndCtrlWCloseAndItOpensOverTheMainWindow_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier);
    }
    void EscapeAndCtrlWCloseAndItOpensOverTheMainWindow() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Opened opened(fs::path(TORVANE_EXAMPLES) / "sample.msd");
        QVERIFY(opened.window != nullptr);
        const QRect screen = opened.form.screen()->availableGeometry();
        const QPoint expected = torvane::CentreOver(opened.form.frameGeometry(), opened.window->size(), screen);
        QCOMPARE(opened.window->pos(), expected);
        QPointer<PreviewWindow> window = opened.window;
        QTest::keyClick(window, static_cast<Qt::Key>(key), static_cast<Qt::KeyboardModifiers>(modifiers));
        QTRY_VERIFY(window.isNull());
        QVERIFY(opened.form.isVisible());
    }

    // 8: error lines, a tempo that is not a number, and notes in Japanese below the tabs.
    void WhatReadingFoundIsListedBelowTheTabs() {
        TempDir dir;
        torvane::test::WriteFile(dir / "odd.msd",
                                 torvane::test::CrLf({"#TITLE:Odd;", "#BPM:fast;", "#GAP:0;", "#SINGLE:BASIC:3:0000(12345)2468;"}));
        Opened opened(dir / "odd.msd");
        QVERIFY(opened.window != nullptr);
        const QString text = opened.window->Findings()->toPlainText();
        QVERIFY(opened.window->Findings()->isVisible());
        QVERIFY2(text.contains(QStringLiteral("odd.msd：変換不能な脚符長さです(12345)")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("#BPM:の値が数値として読めません")), qPrintable(text));

        Opened ddr(fs::path(TORVANE_EXAMPLES) / "sample_sb.ddr");
        QVERIFY(ddr.window != nullptr);
        const QString notes = ddr.window->Findings()->toPlainText();
        QVERIFY2(notes.contains(QStringLiteral("注：ddrファイルにはテンポがないため")), qPrintable(notes));

        Opened clean(fs::path(TORVANE_EXAMPLES) / "sample.msd");
        QVERIFY(!clean.window->Findings()->isVisible());
    }

    // 8: a file that cannot be read says why, as the notice words it.
    void AnUnreadableFileSaysWhy_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("song.msd") << QStringLiteral("空のファイルです");
        QTest::newRow("binary") << QByteArray("\x00\x01\x02\x03", 4) << "song.msd"
                                << QStringLiteral("バイナリデータを含んでいます（譜面ファイルではありません）");
        QTest::newRow("wrong format") << QByteArray("hello\r\nworld\r\n") << "song.d2r"
                                      << QStringLiteral("d2rファイルではありません（d2rのキーやステップ行がありません）");
        QTest::newRow("missing") << QByteArray("-") << "gone.msd"
                                 << QStringLiteral("ファイルを開けません：ファイルまたはフォルダが見つかりません");
    }
    void AnUnreadableFileSaysWhy() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, reason);
        TempDir dir;
        const fs::path file = dir / name.toStdString();
        if (bytes != "-") torvane::test::WriteFile(file, bytes.toStdString());
        Opened opened(file);
        QVERIFY(opened.window != nullptr);
        QCOMPARE(opened.dialogs.calls, QStringList{QStringLiteral("chart")});
        QCOMPARE(opened.window->Tabs()->count(), 0);
        QLabel* message = opened.window->Message();
        QVERIFY(message != nullptr);
        QCOMPARE(message->text(), name + QStringLiteral("：読み込めませんでした（") + reason + QStringLiteral("）"));
        QVERIFY(message->alignment() & Qt::AlignHCenter);
    }
};

TORVANE_QTEST_MAIN(PreviewReadingTest)
#include "preview_reading_test.moc"
