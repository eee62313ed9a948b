#include "app/option_form.hpp"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/spin_edit.hpp"
#include "app/up_down.hpp"
#include "app/window_look.hpp"

namespace torvane {

namespace {

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

}  // namespace

TOptionForm::TOptionForm(QWidget* parent)
    // A dialog frame without close box or system menu: closing is by OK only,
    // and whatever way it is closed the batch goes on.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("MSD=>DDR変換オプション"));
    setWindowIcon(ProgramIcon());
    setFont(TorvaneFont());
    // The form was laid out for an outer size of 405 x 135 under a
    // 3-pixel dialog frame and a 19-pixel title bar; Qt sizes the client area.
    setFixedSize(399, 110);
    setModal(true);

    RadioGroup1 = Place(new QGroupBox(QStringLiteral("変換オプションの指定"), this), "RadioGroup1", 2, 3, 185, 73);
    radio_items_ = new QButtonGroup(this);
    const QString items[] = {QStringLiteral("先頭の０の削除数を指定"), QStringLiteral("最初のステップの位置を指定"),
                             QStringLiteral("指定なし（そのまま変換）")};
    // The items share the space inside the group's frame, below its title,
    // wherever the style draws that frame; at fixed places the frame's top
    // line ran through the first item.
    auto* item_rows = new QVBoxLayout(RadioGroup1);
    item_rows->setContentsMargins(5, 0, 2, 0);
    item_rows->setSpacing(0);
    for (int i = 0; i < 3; ++i) {
        auto* item = new QRadioButton(items[i], RadioGroup1);
        item->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
        item_rows->addWidget(item, 1);
        radio_items_->addButton(item, i);
    }
    radio_items_->button(0)->setChecked(true);
    connect(radio_items_, &QButtonGroup::idClicked, this, [this] { RadioGroup1Click(); });

    Panel1 = Place(new QFrame(this), "Panel1", 190, 7, 203, 70);
    // A lowered outer and a raised inner bevel: an etched groove.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(0);

    SpinEdit1 = Place(new SpinEdit(Panel1), "SpinEdit1", 9, 9, 60, 21);
    SpinEdit1->setRange(kDdrDeleteCount.lowest, kDdrDeleteCount.highest);
    SpinEdit1->setValue(kDdrDeleteCount.initial);

    SpinEdit2 = Place(new SpinEdit(Panel1), "SpinEdit2", 9, 40, 53, 21);
    SpinEdit2->setRange(kDdrMeasure.lowest, kDdrMeasure.highest);
    SpinEdit2->setValue(kDdrMeasure.initial);

    // The labels are as high as the edits beside them and centred on them,
    // so that the words read on the line of the numbers.
    Label1 = Place(new QLabel(QStringLiteral("小節"), Panel1), "Label1", 64, 41, 24, 20);
    Label1->setAlignment(Qt::AlignCenter);

    Edit1 = Place(new QLineEdit(QString::number(kDdrHalfBeat.initial), Panel1), "Edit1", 92, 41, 37, 20);
    UpDown1 = Place(new UpDown(Panel1), "UpDown1", 129, 41, 15, 20);
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    UpDown1->SetRange(kDdrHalfBeat.lowest, kDdrHalfBeat.highest);
    UpDown1->SetPosition(kDdrHalfBeat.initial);
    UpDown1->Associate(Edit1);
    // The edit stands for beat 1.0 from the start, not for the bare position
    // "2", which would read as beat 2 while the charts get beat 1.
    Edit1Change();

    Label2 = Place(new QLabel(QStringLiteral("拍目から"), Panel1), "Label2", 148, 41, 46, 20);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    BitBtn1 = Place(new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this),
                    "BitBtn1", 112, 80, 177, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    RadioGroup1Click();
    InstallFocusMark(*this);
    CentreOnScreen(*this);
}

DdrOptions TOptionForm::Options() const {
    DdrOptions options;
    const int item = ItemIndex();
    // One item is checked from the start and exclusive items cannot be
    // unchecked; were none checked, the charts would go as they are.
    options.mode = item >= 0 && item <= 2 ? static_cast<DdrOptions::Mode>(item) : DdrOptions::kAsItIs;
    options.delete_count = SpinEdit1->Value();
    options.measure = SpinEdit2->Value();
    options.half_beat = UpDown1->Position();
    return options;
}

int TOptionForm::ItemIndex() const { return radio_items_->checkedId(); }

void TOptionForm::SetItemIndex(int index) {
    if (auto* item = radio_items_->button(index)) item->setChecked(true);
}

void TOptionForm::RadioGroup1Click() {
    bool first_row = false;
    bool second_row = false;
    switch (ItemIndex()) {
        case 0: first_row = true; break;
        case 1: second_row = true; break;
        case 2: break;
        default: return;
    }
    SpinEdit1->setVisible(first_row);
    for (QWidget* control : {static_cast<QWidget*>(SpinEdit2), static_cast<QWidget*>(Edit1),
                             static_cast<QWidget*>(UpDown1), static_cast<QWidget*>(Label1),
                             static_cast<QWidget*>(Label2)}) {
        control->setVisible(second_row);
    }
}

void TOptionForm::Edit1Change() {
    // Always three characters: 1.0 to 4.5.
    const QString beat = QString::asprintf("%3.1f", UpDown1->Position() / 2.0);
    if (Edit1->text() != beat) Edit1->setText(beat);
}

}  // namespace torvane
