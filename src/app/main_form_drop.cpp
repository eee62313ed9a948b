// Files and folders dropped onto the window's buttons.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <vector>

#include "app/button_conversion.hpp"
#include "app/dialogs.hpp"
#include "app/main_form.hpp"

namespace torvane {

namespace fs = std::filesystem;

namespace {

// The dragged files and folders of this computer; links to elsewhere are no files.
std::vector<fs::path> LocalPaths(const QMimeData& mime) {
    std::vector<fs::path> paths;
    for (const QUrl& url : mime.urls()) {
        if (url.isLocalFile()) paths.push_back(PathFromQt(url.toLocalFile()));
    }
    return paths;
}

}  // namespace

void TMainForm::DropOnButton(QObject* button, const std::vector<fs::path>& paths) {
    const auto conversion = ConversionOfButton(button);
    if (!conversion || batch_running_) return;
    ErrorList_.Clear();
    RunChosenBatch(*conversion, SortDroppedFiles(*conversion, paths));
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QPushButton*>(watched);
    const auto conversion = ConversionOfButton(watched);
    if (button == nullptr || !conversion) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter: {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            // Copy only: a move would let the program the files come from
            // delete them once they are dropped.
            const bool takes = !batch_running_ && (drag->possibleActions() & Qt::CopyAction) &&
                               MightTakeDrop(*conversion, LocalPaths(*drag->mimeData()));
            if (takes) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            ShowDropTarget(button, takes);
            return true;
        }
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::DragLeave:
            ShowDropTarget(button, false);
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            ShowDropTarget(button, false);
            if (batch_running_) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // After the drop has returned: the program the files come from
            // waits for it, and the batch opens dialogs.
            QTimer::singleShot(0, this, [this, button, paths = LocalPaths(*drop->mimeData())] {
                DropOnButton(button, paths);
            });
            return true;
        }
        default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::ShowDropTarget(QPushButton* button, bool on) {
    if (!on) {
        button->setPalette(QPalette());
        return;
    }
    QPalette highlighted = button->palette();
    highlighted.setColor(QPalette::Button, highlighted.color(QPalette::Highlight));
    highlighted.setColor(QPalette::ButtonText, highlighted.color(QPalette::HighlightedText));
    button->setPalette(highlighted);
}

}  // namespace torvane
