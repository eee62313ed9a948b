// Ctrl+P: a chart file's charts drawn in a window of their own.

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTabWidget>
#include <QtTest>

#include <filesystem>

#include "app/main_form.hpp"
#include "app/preview_window.hpp"
#include "app_test_main.hpp"
#include "scripted_dialogs.hpp"

using torvane::PreviewWindow;
using torvane::TMainForm;
using torvane::test::ScriptedDialogs;

namespace {

std::filesystem::path Example(const char* name) { return std::filesystem::path(TORVANE_EXAMPLES) / name; }

void PressCtrlP(TMainForm& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
}

}  // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT

private slots:
    void CtrlPShowsEveryChartOfTheChosenFileInATab_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("tabs");
        QTest::newRow("MSD") << QStringLiteral("sample.msd")
                             << QStringList{QStringLiteral("シングル・ベーシック・レベル3"),
                                            QStringLiteral("ダブル・アナザー・レベル5"),
                                            QStringLiteral("カップル・マニアック・レベル7")};
        QTest::newRow("d2r") << QStringLiteral("sample.d2r")
                             << QStringList{QStringLiteral("シングル・ベーシック・レベル3"),
                                            QStringLiteral("ダブル・アナザー・レベル5"),
                                            QStringLiteral("カップル・マニアック・レベル7")};
        QTest::newRow("ddr") << QStringLiteral("sample_sb.ddr")
                             << QStringList{QStringLiteral("シングル・ベーシック・レベル1")};
    }
    void CtrlPShowsEveryChartOfTheChosenFileInATab() {
        QFETCH(QString, file);
        QFETCH(QStringList, tabs);
        ScriptedDialogs dialogs;
        dialogs.chart_file = Example(file.toUtf8().constData());
        TMainForm form(dialogs);
        PressCtrlP(form);
        QCOMPARE(dialogs.calls, QStringList{QStringLiteral("chart")});

        auto* window = form.findChild<PreviewWindow*>();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());  // a window of its own, not inside the main window
        QVERIFY(window->windowTitle().startsWith(file));
        QCOMPARE(window->Tabs()->count(), tabs.size());
        for (int i = 0; i < tabs.size(); ++i) {
            window->Tabs()->setCurrentIndex(i);
            QCOMPARE(window->Tabs()->tabText(i), tabs[i]);
            auto* scroll = qobject_cast<QScrollArea*>(window->Tabs()->widget(i));
            QVERIFY(scroll != nullptr);
            auto* picture = qobject_cast<QSvgWidget*>(scroll->widget());
            QVERIFY(picture != nullptr);
            QVERIFY(picture->renderer()->isValid());
            // Fitted to the window's width on opening: no column is cut.
            QVERIFY(picture->width() <= scroll->viewport()->width());
        }
        if (const QByteArray folder = qgetenv("TORVANE_PREVIEW_PNG"); !folder.isEmpty()) {
            window->grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/window-") + file + QStringLiteral(".png"));
        }
        // The main window stays as it is.
        QCOMPARE(form.size(), QSize(221, 186));
        window->close();
    }

    void CancellingTheChooserShowsNothing() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        PressCtrlP(form);
        QCOMPARE(dialogs.calls, QStringList{QStringLiteral("chart")});
        QVERIFY(form.findChild<PreviewWindow*>() == nullptr);
    }

    void AFileWithoutChartsSaysSo() {
        const std::vector<torvane::Chart> none;
        ScriptedDialogs dialogs;
        PreviewWindow window("empty.msd", none, {}, {}, dialogs);
        QCOMPARE(window.Tabs()->count(), 0);
        auto* label = window.findChild<QLabel*>();
        QVERIFY(label != nullptr);
        QVERIFY(!label->text().isEmpty());
    }

    void HelpNamesCtrlP() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        QVERIFY(dialogs.help.front().text.contains(QStringLiteral("Ctrl+P")));
    }
};

TORVANE_QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
