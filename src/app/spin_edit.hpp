#pragma once
// A spin edit whose value is read from its text as the user left it.

#include <QSpinBox>

namespace torvane {

class SpinEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit SpinEdit(QWidget* parent = nullptr);

    // The text as a whole number, within the range; a text that is not a
    // whole number (an emptied field) reads as the minimum.
    [[nodiscard]] int Value() const;
};

}  // namespace torvane
