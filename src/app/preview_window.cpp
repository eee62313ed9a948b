#include "app/preview_window.hpp"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <stdexcept>
#include <string>

#include "app/dialogs.hpp"
#include "preview/chart_loader.hpp"
#include "preview/chart_svg.hpp"
#include "text/sjis.hpp"

namespace torvane {

namespace {

QString TabText(const Chart& chart) {
    QString text = QString::fromLatin1(StyleName(chart.style).data(), static_cast<qsizetype>(StyleName(chart.style).size()));
    text += QLatin1Char(' ') + QString::fromStdString(Cp932ToUtf8(DifficultyName(chart)));
    if (!chart.level.empty()) text += QLatin1Char(' ') + QString::fromStdString(Cp932ToUtf8(chart.level));
    return text;
}

QWidget* ChartPage(const Chart& chart) {
    auto* picture = new QSvgWidget();
    picture->load(QByteArray::fromStdString(RenderChartSvg(chart)));
    // Drawn at its own size and scrolled, as a chart sheet is read.
    picture->setFixedSize(picture->renderer()->defaultSize());
    auto* scroll = new QScrollArea();
    scroll->setWidget(picture);
    scroll->setBackgroundRole(QPalette::Base);
    return scroll;
}

}  // namespace

PreviewWindow::PreviewWindow(const std::filesystem::path& source, const std::vector<Chart>& charts, QWidget* parent)
    : QWidget(parent, Qt::Window), tabs_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(PathToQt(source.filename()) + QStringLiteral(" - プレビュー"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (charts.empty()) {
        layout->addWidget(new QLabel(QStringLiteral("このファイルには譜面がありません。"), this));
    }
    layout->addWidget(tabs_);
    tabs_->setVisible(!charts.empty());
    for (const auto& chart : charts) tabs_->addTab(ChartPage(chart), TabText(chart));
    resize(760, 720);
}

PreviewWindow* OpenChartPreview(QWidget* parent, Dialogs& dialogs) {
    const auto source = dialogs.OpenChartFile(parent);
    if (!source) return nullptr;
    std::vector<Chart> charts;
    try {
        const auto format = FormatOfFile(*source);
        if (!format) throw std::runtime_error(source->filename().string() + ": not an .msd, .d2r or .ddr file");
        ErrorList errors;
        charts = LoadCharts(*source, *format, errors);
    } catch (const std::exception& error) {
        dialogs.ShowError(parent, QCoreApplication::applicationName(), QString::fromStdString(error.what()));
        return nullptr;
    }
    auto* window = new PreviewWindow(*source, charts, parent);
    window->show();
    return window;
}

}  // namespace torvane
