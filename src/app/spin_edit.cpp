#include "app/spin_edit.hpp"

#include <QLineEdit>

#include <algorithm>

namespace torvane {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setWrapping(false);
}

int SpinEdit::Value() const {
    bool ok = false;
    const int typed = lineEdit()->text().trimmed().toInt(&ok);
    if (!ok) return minimum();
    return std::clamp(typed, minimum(), maximum());
}

}  // namespace torvane
