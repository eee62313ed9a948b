// The main window as it stands when the program starts.

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "app/main_form.hpp"
#include "app_test_main.hpp"
#include "scripted_dialogs.hpp"

using torvane::TMainForm;
using torvane::test::ScriptedDialogs;

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void ButtonsHaveTheirCaptionTagAndPlace_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("MSD2d2r") << QStringLiteral("MSD2d2r") << QStringLiteral("ＭＳＤ－－→ｄ２ｒ") << 1
                                 << QRect(16, 16, 185, 25);
        QTest::newRow("d2r2MSD") << QStringLiteral("d2r2MSD") << QStringLiteral("ｄ２ｒ－－→ＭＳＤ") << 2
                                 << QRect(16, 48, 185, 25);
        QTest::newRow("MSD2ddr") << QStringLiteral("MSD2ddr") << QStringLiteral("ＭＳＤ－－→ｄｄｒ") << 3
                                 << QRect(16, 80, 185, 25);
        QTest::newRow("Button1") << QStringLiteral("Button1") << QStringLiteral("ｄｄｒ－－→ＭＳＤ") << 4
                                 << QRect(16, 112, 185, 25);
    }
    void ButtonsHaveTheirCaptionTagAndPlace() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, tag);
        QFETCH(QRect, geometry);
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        auto* button = form.findChild<QPushButton*>(name);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->property("tag").toInt(), tag);
        QCOMPARE(button->geometry(), geometry);
    }

    void NoCfrmIsCheckedWithWhiteTextAtStart() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        auto* box = form.findChild<QCheckBox*>(QStringLiteral("NoCfrm"));
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QStringLiteral("変換先フォルダを確認しない"));
        QCOMPARE(box->geometry(), QRect(24, 152, 169, 17));
        QVERIFY(box->isChecked());
        QCOMPARE(box->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    void WindowIsFixedBlackAndCaptioned() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        QCOMPARE(form.windowTitle(), QStringLiteral("Torvane Ver.4.2"));
        QCOMPARE(form.size(), QSize(221, 186));
        QCOMPARE(form.minimumSize(), QSize(221, 186));
        QCOMPARE(form.maximumSize(), QSize(221, 186));
        QVERIFY(form.autoFillBackground());
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::black));
        // The buttons keep their usual face on the black form.
        auto* button = form.findChild<QPushButton*>(QStringLiteral("MSD2d2r"));
        QVERIFY(button->palette().color(QPalette::Button) != QColor(Qt::black));
    }

    void WindowUsesTheTwelvePixelGothicFont() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        QCOMPARE(form.font().pixelSize(), 12);
        const QStringList families = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                                      QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")};
        QVERIFY2(families.contains(form.font().family(), Qt::CaseInsensitive), qPrintable(form.font().family()));
    }

    void WindowIsCentredOnTheDesktop() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        const QPoint desktop = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((form.frameGeometry().center() - desktop).manhattanLength() <= 2);
    }

    void TabGoesThroughTheControlsInTheirOrder() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QStringList order = {QStringLiteral("MSD2d2r"), QStringLiteral("d2r2MSD"), QStringLiteral("NoCfrm"),
                                   QStringLiteral("MSD2ddr"), QStringLiteral("Button1"), QStringLiteral("MSD2d2r")};
        form.findChild<QWidget*>(order.front())->setFocus(Qt::TabFocusReason);
        for (const auto& name : order) {
            QVERIFY(QApplication::focusWidget() != nullptr);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    void WindowShowsTheProgramIcon() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        const QIcon icon = form.windowIcon();
        QVERIFY(!icon.isNull());
        // Built in at the sizes that title bars and docks ask for.
        for (int size : {16, 32, 48, 256}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
            QVERIFY(!icon.pixmap(size).isNull());
        }
    }

    void F1NamesWhereErrLogIsWritten() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        form.SetErrLogFolders("/opt/torvane/bin", "/home/user/.local/share/Torvane");
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        const QString text = dialogs.help.front().text;
        QVERIFY2(text.contains(QStringLiteral("/opt/torvane/bin/ErrLog.txt")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("/home/user/.local/share/Torvane/ErrLog.txt")), qPrintable(text));
    }

    void F1ShowsWhatTheFourButtonsDo() {
        ScriptedDialogs dialogs;
        TMainForm form(dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        QCOMPARE(dialogs.calls, QStringList{QStringLiteral("help")});
        QCOMPARE(dialogs.help.front().title, QStringLiteral("Torvane"));
        for (const auto& name : {"MSD2d2r", "d2r2MSD", "MSD2ddr", "Button1"}) {
            const auto caption = form.findChild<QPushButton*>(QString::fromLatin1(name))->text();
            QVERIFY2(dialogs.help.front().text.contains(caption), name);
        }
    }
};

TORVANE_QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
