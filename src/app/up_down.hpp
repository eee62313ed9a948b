#pragma once
// Up and down arrows that step a whole-number position within a range,
// bound to an edit that shows the position (the edit's owner may reformat it).

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace torvane {

class UpDown : public QWidget {
    Q_OBJECT

public:
    explicit UpDown(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    [[nodiscard]] int Minimum() const { return minimum_; }
    [[nodiscard]] int Maximum() const { return maximum_; }

    [[nodiscard]] int Position() const { return position_; }
    // Brought into the range; the ends do not wrap around.
    void SetPosition(int position);
    void StepBy(int steps);

    // The edit receives the position as text whenever it changes, and its
    // up and down keys press the arrows.
    void Associate(QLineEdit* edit);

signals:
    void PositionChanged(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void WritePositionToEdit();

    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* edit_ = nullptr;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

}  // namespace torvane
