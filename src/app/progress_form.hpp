#pragma once
// The progress of a long batch: the file in hand, how many remain, a bar
// that follows the bytes read, and a cancel button that stops the files in
// hand before their next chart. It leaves the main window free, so that its
// close box cancels too, and covers none of it.

#include <QDialog>

#include "app/dialogs.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace torvane {

class TProgressForm : public QDialog, public ProgressDialog {
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent, const QString& title);

    void ShowFile(const std::filesystem::path& file, std::size_t done, std::size_t total) override;
    void ShowBytes(std::uint64_t read, std::uint64_t total) override;
    [[nodiscard]] bool CancelRequested() const override { return cancel_requested_; }

    // The cancel button, Escape and the close box all ask to stop.
    void Cancel();
    void reject() override { Cancel(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* file_;
    QLabel* folder_;
    QLabel* remaining_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool cancel_requested_ = false;
    bool placed_ = false;
};

}  // namespace torvane
