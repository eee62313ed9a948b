#include "app/up_down.hpp"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace torvane {

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    for (auto* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void UpDown::SetRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    SetPosition(position_);
}

void UpDown::SetPosition(int position) {
    position = std::clamp(position, minimum_, maximum_);
    if (position == position_) return;
    position_ = position;
    WritePositionToEdit();
    emit PositionChanged(position_);
}

void UpDown::StepBy(int steps) {
    // Computed in 64 bits: a large step near the end of the int range must
    // stop at the end, not wrap round to the other one.
    const long long target = static_cast<long long>(position_) + steps;
    SetPosition(static_cast<int>(std::clamp<long long>(target, minimum_, maximum_)));
}

void UpDown::Associate(QLineEdit* edit) {
    if (edit_ != nullptr) edit_->removeEventFilter(this);
    edit_ = edit;
    if (edit_ == nullptr) return;
    edit_->installEventFilter(this);
    WritePositionToEdit();
}

void UpDown::WritePositionToEdit() {
    if (edit_ != nullptr) edit_->setText(QString::number(position_));
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    up_->setGeometry(0, 0, width(), upper);
    down_->setGeometry(0, upper, width(), height() - upper);
}

}  // namespace torvane
