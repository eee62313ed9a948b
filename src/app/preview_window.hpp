#pragma once
// The pictures of a chart file's charts, one tab per chart, in a window of
// their own beside the main window. They are the SVG that torvane-cli
// preview writes, drawn by Qt's SVG module.

#include <QWidget>

#include <filesystem>
#include <vector>

#include "msd/chart_model.hpp"

class QTabWidget;

namespace torvane {

class Dialogs;

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    // A window that is its own, yet closes with `parent`.
    PreviewWindow(const std::filesystem::path& source, const std::vector<Chart>& charts, QWidget* parent = nullptr);

    [[nodiscard]] QTabWidget* Tabs() const { return tabs_; }

private:
    QTabWidget* tabs_;
};

// What Ctrl+P does: asks for a chart file, reads its charts and shows them in
// a new PreviewWindow, which it returns. Nothing when the user cancels; a
// file that cannot be read is reported through `dialogs` instead.
PreviewWindow* OpenChartPreview(QWidget* parent, Dialogs& dialogs);

}  // namespace torvane
