#pragma once
// TOptionForm: where the first step of each chart lies in the ddr files of an
// MSD-to-ddr batch. Created hidden once and kept for the whole run, so a
// second batch starts from the values chosen in the first.

#include <QDialog>

#include "ddr/ddr.hpp"

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace torvane {

class SpinEdit;
class UpDown;

class TOptionForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionForm(QWidget* parent = nullptr);

    // The values the converter works with; it never reads a control itself.
    [[nodiscard]] DdrOptions Options() const;

    // The selected item of RadioGroup1, -1 when none is selected.
    [[nodiscard]] int ItemIndex() const;
    void SetItemIndex(int index);

    // Shows the controls of the selected item and hides the others.
    void RadioGroup1Click();
    // Shows UpDown1's position as the beat it stands for.
    void Edit1Change();

private:
    QGroupBox* RadioGroup1;
    QButtonGroup* radio_items_;
    QFrame* Panel1;
    SpinEdit* SpinEdit1;
    SpinEdit* SpinEdit2;
    QLabel* Label1;
    QLineEdit* Edit1;
    UpDown* UpDown1;
    QLabel* Label2;
    QPushButton* BitBtn1;
};

}  // namespace torvane
