#pragma once
// The pictures of a chart file's charts, one tab per chart, in a window of
// their own over the main window. They are the SVG that torvane-cli
// preview --lang ja writes, drawn by Qt's SVG module, fitted to the window's
// width and zoomed from there. Below the tabs, what reading the file found:
// its error lines and its notes, in Japanese.

#include <QScrollArea>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <filesystem>
#include <vector>

#include "msd/chart_model.hpp"
#include "preview/chart_layout.hpp"
#include "text/error_list.hpp"

class QLabel;
class QPlainTextEdit;
class QSvgWidget;
class QTabWidget;

namespace torvane {

class Dialogs;

// One chart's picture in a scroll area: Ctrl+wheel zooms; it fits the
// width of its window until the user zooms.
class ChartView : public QScrollArea {
    Q_OBJECT

public:
    explicit ChartView(const Chart& chart, QWidget* parent = nullptr);

    [[nodiscard]] double Zoom() const { return zoom_; }
    void SetZoom(double zoom);
    // One step of Ctrl++ (positive) or Ctrl+− (negative).
    void ZoomBy(int steps);
    // The zoom at which the picture is as wide as the view; Ctrl+0.
    void FitWidth();
    [[nodiscard]] QSvgWidget* Picture() const { return picture_; }
    [[nodiscard]] int Measures() const { return static_cast<int>(layout_.measures); }
    // Scrolls so that measure `measure` (1-based) is at the top.
    void GoToMeasure(int measure);
    // The first measure whose top is in view.
    [[nodiscard]] int MeasureAtTop() const;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] QPoint MeasureTop(int measure) const;  // in the picture's own pixels

    ChartLayout layout_;
    QSize own_size_;
    QSvgWidget* picture_;
    double zoom_ = 1.0;
    bool fitted_ = true;  // follows the width until the user zooms
    int gone_to_ = 0;     // the measure last gone to, and where that left the view
    int gone_to_value_ = -1;
};

// Zooms lie between these, Ctrl++ and Ctrl+− multiply by kZoomStep.
inline constexpr double kMinZoom = 0.1;
inline constexpr double kMaxZoom = 4.0;
inline constexpr double kZoomStep = 1.25;

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    // A window that is its own, yet closes with `parent`. `findings` are
    // the lines below the tabs; `unreadable`, when not empty, says why the
    // file could not be read, in place of the tabs.
    PreviewWindow(const std::filesystem::path& source, const std::vector<Chart>& charts, const QStringList& findings,
                  const QString& unreadable, Dialogs& dialogs, QWidget* parent = nullptr);

    [[nodiscard]] QTabWidget* Tabs() const { return tabs_; }
    [[nodiscard]] ChartView* CurrentView() const;
    // The lines below the tabs; none when there is nothing to say.
    [[nodiscard]] QPlainTextEdit* Findings() const { return findings_; }
    [[nodiscard]] QLabel* Message() const { return message_; }

    // Ctrl+G: asks for a measure and goes there.
    void GoToMeasure();

private:
    QTabWidget* tabs_;
    QPlainTextEdit* findings_;
    QLabel* message_ = nullptr;
    Dialogs& dialogs_;
};

// The tab of a chart: "シングル・ベーシック・レベル3".
[[nodiscard]] QString ChartTabText(const Chart& chart);

// The lines below the tabs: the error lines as they are, then each note as
// "注：" and its Japanese sentence, with its chart and value.
[[nodiscard]] QStringList PreviewFindings(const ErrorList& errors, const std::vector<Chart>& charts);

// What Ctrl+P does: asks for a chart file, reads its charts and shows them in
// a new PreviewWindow centred over `parent`, which it returns. Nothing when
// the user cancels. A file that cannot be read gets a window that says why,
// in the words of the batch's notice.
PreviewWindow* OpenChartPreview(QWidget* parent, Dialogs& dialogs);

}  // namespace torvane
