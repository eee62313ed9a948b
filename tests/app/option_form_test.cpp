// The option dialog of MSD-to-ddr batches.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/option_form.hpp"
#include "app/spin_edit.hpp"
#include "app/up_down.hpp"
#include "app_test_main.hpp"

using torvane::DdrOptions;
using torvane::SpinEdit;
using torvane::TOptionForm;
using torvane::UpDown;

namespace {

QToolButton* Arrow(TOptionForm& form, Qt::ArrowType type) {
    for (auto* button : form.findChild<UpDown*>(QStringLiteral("UpDown1"))->findChildren<QToolButton*>()) {
        if (button->arrowType() == type) return button;
    }
    return nullptr;
}

QString Edit1Text(TOptionForm& form) { return form.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(); }

}  // namespace

class OptionFormTest : public QObject {
    Q_OBJECT

private slots:
    void DialogHasItsCaptionSizeAndNoTitleBarButtons() {
        TOptionForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("MSD=>DDR変換オプション"));
        QVERIFY(!form.isVisible());
        QVERIFY(form.isModal());
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(form.font().pixelSize(), 12);
        // Every control lies inside the client area.
        for (auto* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(form.rect().contains(child->geometry()), qPrintable(child->objectName()));
        }
    }

    void ControlsLieWhereTheFormPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        const auto form = QStringLiteral("OptionForm");
        const auto panel = QStringLiteral("Panel1");
        QTest::newRow("RadioGroup1") << QStringLiteral("RadioGroup1") << form << QRect(2, 3, 185, 73);
        QTest::newRow("Panel1") << panel << form << QRect(190, 7, 203, 70);
        QTest::newRow("SpinEdit1") << QStringLiteral("SpinEdit1") << panel << QRect(9, 9, 60, 21);
        QTest::newRow("SpinEdit2") << QStringLiteral("SpinEdit2") << panel << QRect(9, 40, 53, 21);
        QTest::newRow("Label1") << QStringLiteral("Label1") << panel << QRect(64, 41, 24, 20);
        QTest::newRow("Edit1") << QStringLiteral("Edit1") << panel << QRect(92, 41, 37, 20);
        QTest::newRow("UpDown1") << QStringLiteral("UpDown1") << panel << QRect(129, 41, 15, 20);
        QTest::newRow("Label2") << QStringLiteral("Label2") << panel << QRect(148, 41, 46, 20);
        QTest::newRow("BitBtn1") << QStringLiteral("BitBtn1") << form << QRect(112, 80, 177, 25);
    }
    void ControlsLieWhereTheFormPutsThem() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        TOptionForm form;
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(control->geometry(), geometry);
    }

    void ItemsLieInsideTheGroupsFrameBelowItsTitle() {
        TOptionForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* group = form.findChild<QGroupBox*>(QStringLiteral("RadioGroup1"));
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect frame = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, group);
        const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        int previous_bottom = -1;
        for (auto* item : group->findChildren<QRadioButton*>()) {
            const QRect place = item->geometry();
            QVERIFY2(group->contentsRect().contains(place), qPrintable(item->text()));
            // Below the frame's top line and the title, above its bottom line, one under another.
            QVERIFY2(place.top() > frame.top() && place.top() >= title.bottom(), qPrintable(item->text()));
            QVERIFY2(place.bottom() < frame.bottom(), qPrintable(item->text()));
            QVERIFY2(place.top() > previous_bottom, qPrintable(item->text()));
            QVERIFY2(place.width() >= item->sizeHint().width(), qPrintable(item->text()));
            previous_bottom = place.bottom();
        }
    }

    void LabelsAreCentredOnTheEditsBesideThem() {
        TOptionForm form;
        const int edit_middle = form.findChild<QWidget*>(QStringLiteral("Edit1"))->geometry().center().y();
        for (const auto& name : {"Label1", "Label2"}) {
            auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
            QCOMPARE(label->geometry().center().y(), edit_middle);
            QVERIFY(label->alignment() & Qt::AlignVCenter);
            QVERIFY2(label->width() >= label->sizeHint().width(), name);
        }
    }

    void ControlsStartWithTheirSettings() {
        TOptionForm form;
        auto* group = form.findChild<QGroupBox*>(QStringLiteral("RadioGroup1"));
        QCOMPARE(group->title(), QStringLiteral("変換オプションの指定"));
        QStringList items;
        for (auto* item : group->findChildren<QRadioButton*>()) items << item->text();
        QCOMPARE(items, (QStringList{QStringLiteral("先頭の０の削除数を指定"),
                                     QStringLiteral("最初のステップの位置を指定"),
                                     QStringLiteral("指定なし（そのまま変換）")}));
        QCOMPARE(form.ItemIndex(), 0);

        auto* spin1 = form.findChild<SpinEdit*>(QStringLiteral("SpinEdit1"));
        QCOMPARE(spin1->minimum(), 0);
        QCOMPARE(spin1->maximum(), 150);
        QCOMPARE(spin1->Value(), 18);
        auto* spin2 = form.findChild<SpinEdit*>(QStringLiteral("SpinEdit2"));
        QCOMPARE(spin2->minimum(), 1);
        QCOMPARE(spin2->maximum(), 10);
        QCOMPARE(spin2->Value(), 3);
        auto* updown = form.findChild<UpDown*>(QStringLiteral("UpDown1"));
        QCOMPARE(updown->Minimum(), 2);
        QCOMPARE(updown->Maximum(), 9);
        QCOMPARE(updown->Position(), 2);
        QCOMPARE(Edit1Text(form), QStringLiteral("1.0"));
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("小節"));
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("拍目から"));
        auto* ok = form.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());

        const DdrOptions options = form.Options();
        QCOMPARE(static_cast<int>(options.mode), static_cast<int>(DdrOptions::kDeleteLeadIn));
        QCOMPARE(options.delete_count, 18);
        QCOMPARE(options.measure, 3);
        QCOMPARE(options.half_beat, 2);
    }

    void RadioGroup1ClickShowsTheControlsOfTheItem_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<bool>("first_row");
        QTest::addColumn<bool>("second_row");
        QTest::newRow("delete leading positions") << 0 << true << false;
        QTest::newRow("first step at") << 1 << false << true;
        QTest::newRow("as it is") << 2 << false << false;
    }
    void RadioGroup1ClickShowsTheControlsOfTheItem() {
        QFETCH(int, item);
        QFETCH(bool, first_row);
        QFETCH(bool, second_row);
        TOptionForm form;
        // Away from the item first, so that the click has something to change.
        form.SetItemIndex(item == 0 ? 2 : 0);
        form.RadioGroup1Click();
        auto* button = form.findChild<QGroupBox*>(QStringLiteral("RadioGroup1"))->findChildren<QRadioButton*>()[item];
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
        QCOMPARE(form.ItemIndex(), item);
        QCOMPARE(form.findChild<QWidget*>(QStringLiteral("SpinEdit1"))->isVisibleTo(&form), first_row);
        for (const auto& name : {"SpinEdit2", "Label1", "Edit1", "UpDown1", "Label2"}) {
            QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name))->isVisibleTo(&form) == second_row, name);
        }
        QCOMPARE(static_cast<int>(form.Options().mode), item);
    }

    void ArrowsShowTheBeatAndStopAtTheEnds() {
        TOptionForm form;
        auto* up = Arrow(form, Qt::UpArrow);
        auto* down = Arrow(form, Qt::DownArrow);
        QVERIFY(up != nullptr && down != nullptr);
        const QStringList beats = {QStringLiteral("1.0"), QStringLiteral("1.5"), QStringLiteral("2.0"),
                                   QStringLiteral("2.5"), QStringLiteral("3.0"), QStringLiteral("3.5"),
                                   QStringLiteral("4.0"), QStringLiteral("4.5")};
        QCOMPARE(Edit1Text(form), beats.front());
        for (int position = 3; position <= 9; ++position) {
            up->click();
            QCOMPARE(form.Options().half_beat, position);
            QCOMPARE(Edit1Text(form), beats[position - 2]);
        }
        up->click();
        QCOMPARE(form.Options().half_beat, 9);
        QCOMPARE(Edit1Text(form), QStringLiteral("4.5"));
        for (int i = 0; i < 10; ++i) down->click();
        QCOMPARE(form.Options().half_beat, 2);
        QCOMPARE(Edit1Text(form), QStringLiteral("1.0"));
    }

    void ArrowKeysInEdit1StepTheBeat() {
        TOptionForm form;
        form.SetItemIndex(1);
        form.RadioGroup1Click();
        auto* edit = form.findChild<QLineEdit*>(QStringLiteral("Edit1"));
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QStringLiteral("2.0"));
        QCOMPARE(form.Options().half_beat, 4);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QStringLiteral("1.5"));
    }

    void Edit1ShowsTheBeatWhateverIsTyped() {
        TOptionForm form;
        auto* edit = form.findChild<QLineEdit*>(QStringLiteral("Edit1"));
        Arrow(form, Qt::UpArrow)->click();
        edit->setText(QStringLiteral("7"));
        QCOMPARE(edit->text(), QStringLiteral("1.5"));
        QCOMPARE(form.Options().half_beat, 3);
    }

    void SpinEditTextThatIsNotANumberReadsAsTheMinimum_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("SpinEdit1 emptied") << QStringLiteral("SpinEdit1") << QString() << 0;
        QTest::newRow("SpinEdit1 letters") << QStringLiteral("SpinEdit1") << QStringLiteral("abc") << 0;
        QTest::newRow("SpinEdit2 emptied") << QStringLiteral("SpinEdit2") << QString() << 1;
        QTest::newRow("SpinEdit1 number") << QStringLiteral("SpinEdit1") << QStringLiteral(" 42 ") << 42;
        QTest::newRow("SpinEdit1 above the range") << QStringLiteral("SpinEdit1") << QStringLiteral("151") << 150;
        QTest::newRow("SpinEdit2 below the range") << QStringLiteral("SpinEdit2") << QStringLiteral("0") << 1;
    }
    void SpinEditTextThatIsNotANumberReadsAsTheMinimum() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, value);
        TOptionForm form;
        auto* spin = form.findChild<SpinEdit*>(name);
        spin->findChild<QLineEdit*>()->setText(text);
        QCOMPARE(spin->Value(), value);
        const DdrOptions options = form.Options();
        QCOMPARE(name == QStringLiteral("SpinEdit1") ? options.delete_count : options.measure, value);
    }

    void SpinEditArrowsStayInTheRange() {
        TOptionForm form;
        auto* spin = form.findChild<SpinEdit*>(QStringLiteral("SpinEdit2"));
        spin->stepBy(20);
        QCOMPARE(spin->Value(), 10);
        spin->stepBy(-20);
        QCOMPARE(spin->Value(), 1);
    }

    void OkClosesTheDialog() {
        TOptionForm form;
        QTimer::singleShot(0, &form, [&form] { form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click(); });
        QCOMPARE(form.exec(), int{QDialog::Accepted});
        QVERIFY(!form.isVisible());
    }

    void EnterClosesTheDialogThroughTheDefaultButton() {
        TOptionForm form;
        QTimer::singleShot(0, &form, [&form] {
            QTest::keyClick(form.findChild<QWidget*>(QStringLiteral("SpinEdit1")),
                            Qt::Key_Return);
        });
        QCOMPARE(form.exec(), int{QDialog::Accepted});
    }
};

TORVANE_QTEST_MAIN(OptionFormTest)
#include "option_form_test.moc"
