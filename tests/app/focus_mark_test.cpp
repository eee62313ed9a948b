// The focus mark: at least 2 pixels wide, a contrast of at least 3:1 with
// the window behind it, on every control, in the tab order of the form.

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QtTest>

#include "app/main_form.hpp"
#include "app/option_form.hpp"
#include "app/window_look.hpp"
#include "app_test_main.hpp"
#include "scripted_dialogs.hpp"

using torvane::test::ScriptedDialogs;

namespace {

// Checks the mark around `control` of `window`, as drawn.
void CheckMarkAround(QWidget& window, QWidget& control) {
    auto* mark = window.findChild<QWidget*>(QStringLiteral("FocusMark"));
    QVERIFY(mark != nullptr);
    QVERIFY(mark->isVisible());
    const int out = torvane::kFocusMarkWidth + torvane::kFocusMarkGap;
    const QRect area(control.mapTo(&window, QPoint(0, 0)), control.size());
    QCOMPARE(mark->geometry(), area.adjusted(-out, -out, out, out));
    const QColor background = window.palette().color(QPalette::Window);
    const QColor colour = torvane::FocusMarkColour(background);
    QVERIFY(torvane::ContrastRatio(colour, background) >= 3.0);
    // Both pixels of its width, on each side, in the mark's colour.
    const QImage picture = window.grab().toImage();
    const QRect ring = mark->geometry();
    for (int i = 0; i < torvane::kFocusMarkWidth; ++i) {
        QCOMPARE(QColor(picture.pixel(ring.left() + i, ring.center().y())), colour);
        QCOMPARE(QColor(picture.pixel(ring.right() - i, ring.center().y())), colour);
        QCOMPARE(QColor(picture.pixel(ring.center().x(), ring.top() + i)), colour);
        QCOMPARE(QColor(picture.pixel(ring.center().x(), ring.bottom() - i)), colour);
    }
}

}  // namespace

class FocusMarkTest : public QObject {
    Q_OBJECT

private slots:
    void ContrastIsReckonedAsTheGuidelinesDo() {
        QCOMPARE(torvane::ContrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(torvane::ContrastRatio(Qt::red, Qt::red), 1.0);
        for (const QColor& background : {QColor(Qt::black), QColor(Qt::white), QColor(0xf0, 0xf0, 0xf0),
                                         QColor(0x80, 0x80, 0x80), QColor(0x30, 0x30, 0x60)}) {
            QVERIFY2(torvane::ContrastRatio(torvane::FocusMarkColour(background), background) >= 3.0,
                     qPrintable(background.name()));
        }
    }

    // Tab goes through the controls in the form's order, the mark with it.
    void EveryControlOfTheMainWindowShowsTheMarkInTabOrder() {
        ScriptedDialogs dialogs;
        torvane::TMainForm form(dialogs);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QStringList order = {QStringLiteral("MSD2d2r"), QStringLiteral("d2r2MSD"), QStringLiteral("NoCfrm"),
                                   QStringLiteral("MSD2ddr"), QStringLiteral("Button1")};
        auto* first = form.findChild<QWidget*>(order.front());
        first->setFocus(Qt::TabFocusReason);
        for (const QString& name : order) {
            auto* control = form.findChild<QWidget*>(name);
            QTRY_COMPARE(QApplication::focusWidget(), control);
            CheckMarkAround(form, *control);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTRY_COMPARE(QApplication::focusWidget(), first);
    }

    void TheOptionDialogShowsTheMarkToo() {
        torvane::TOptionForm options;
        options.show();
        QApplication::setActiveWindow(&options);
        QVERIFY(QTest::qWaitForWindowActive(&options));
        auto* ok = options.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        QVERIFY(ok != nullptr);
        ok->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ok));
        CheckMarkAround(options, *ok);
    }
};

TORVANE_QTEST_MAIN(FocusMarkTest)
#include "focus_mark_test.moc"
