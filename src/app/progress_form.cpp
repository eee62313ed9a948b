#include "app/progress_form.hpp"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "app/window_look.hpp"

namespace torvane {

namespace {

constexpr int kTextWidth = 320;

}  // namespace

TProgressForm::TProgressForm(QWidget* parent, const QString& title)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("ProgressForm"));
    setWindowTitle(title);
    setWindowIcon(ProgramIcon());
    setFont(TorvaneFont());
    // Not modal: the main window's close box must reach the main window.
    // Its buttons refuse a second batch while this one runs.
    setWindowModality(Qt::NonModal);

    auto* heading = new QLabel(QStringLiteral("変換しています："), this);
    file_ = new QLabel(this);
    file_->setObjectName(QStringLiteral("File"));
    QFont bold = file_->font();
    bold.setBold(true);
    file_->setFont(bold);
    folder_ = new QLabel(this);
    folder_->setObjectName(QStringLiteral("Folder"));
    remaining_ = new QLabel(this);
    remaining_->setObjectName(QStringLiteral("Remaining"));
    for (auto* label : {file_, folder_, remaining_}) {
        label->setTextFormat(Qt::PlainText);
        label->setFixedWidth(kTextWidth);
    }
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(14);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    connect(cancel_, &QPushButton::clicked, this, &TProgressForm::Cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(4);
    layout->addWidget(heading);
    layout->addWidget(file_);
    layout->addWidget(folder_);
    layout->addSpacing(4);
    layout->addWidget(remaining_);
    layout->addWidget(bar_);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    InstallFocusMark(*this);
}

void TProgressForm::ShowFile(const std::filesystem::path& file, std::size_t done, std::size_t total) {
    const QFontMetrics bold(file_->font());
    file_->setText(bold.elidedText(PathToQt(file.filename()), Qt::ElideMiddle, kTextWidth));
    const QFontMetrics plain(folder_->font());
    folder_->setText(plain.elidedText(PathToQt(file.parent_path()), Qt::ElideMiddle, kTextWidth));
    folder_->setToolTip(PathToQt(file.parent_path()));
    // The file in hand counts as remaining until it is done.
    if (!cancel_requested_) {
        remaining_->setText(QStringLiteral("残り %1 ファイル（全 %2 ファイル）")
                                .arg(static_cast<qulonglong>(total - done))
                                .arg(static_cast<qulonglong>(total)));
    }
    if (!isVisible()) {
        if (!placed_ && parentWidget() != nullptr) {
            placed_ = true;
            adjustSize();
            const QWidget* owner = parentWidget()->window();
            // The frame that the window manager will add is taken to be the owner's.
            const QMargins frame(owner->geometry().left() - owner->frameGeometry().left(),
                                 owner->geometry().top() - owner->frameGeometry().top(),
                                 owner->frameGeometry().right() - owner->geometry().right(),
                                 owner->frameGeometry().bottom() - owner->geometry().bottom());
            const QSize outer = size().grownBy(frame);
            const QScreen* screen = owner->screen();
            const QRect desktop = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), outer);
            move(PlaceBesideOwner(owner->frameGeometry(), outer, desktop));
        }
        show();
    }
}

void TProgressForm::ShowBytes(std::uint64_t read, std::uint64_t total) {
    // The bar counts in thousandths: QProgressBar holds an int.
    constexpr int kSteps = 1000;
    bar_->setRange(0, kSteps);
    bar_->setValue(total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(read, total) * kSteps / total));
}

void TProgressForm::Cancel() {
    if (cancel_requested_) return;
    cancel_requested_ = true;
    cancel_->setEnabled(false);
    remaining_->setText(QStringLiteral("止めています…（変換中のファイルは変換しなかったものとします）"));
}

void TProgressForm::closeEvent(QCloseEvent* event) {
    // The dialog goes away with the batch, not before.
    event->ignore();
    Cancel();
}

}  // namespace torvane
