#include "app/preview_window.hpp"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/dialogs.hpp"
#include "app/failure_text.hpp"
#include "app/window_look.hpp"
#include "text/error_codes.hpp"
#include "batch/input_check.hpp"
#include "preview/chart_loader.hpp"
#include "preview/chart_names.hpp"
#include "preview/chart_svg.hpp"
#include "text/conversion_error.hpp"
#include "text/sjis.hpp"

namespace torvane {

namespace {

constexpr PictureLanguage kWindowLanguage = PictureLanguage::kJapanese;

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The charts of `source` with their steps, read and checked as a
// conversion reads its source. Throws ConversionError.
std::vector<Chart> ReadCharts(const std::filesystem::path& source, ErrorList& errors) {
    const ChartFormat format = FormatOfSource(source);
    std::unique_ptr<LineSource> opened;
    const SourceEncoding encoding = CheckSource(ConversionReading(format), source, EncodingChoice::kAuto, DiskStorage(), opened);
    SourceReading reading(DiskStorage(), source, encoding, errors, std::move(opened));
    ChartFile file(source, format, errors, reading);
    std::vector<Chart> charts(file.Heads().size());
    file.ReadEachChart(errors, [&](std::size_t place, Chart&& chart) { charts[place] = std::move(chart); });
    return charts;
}

QLabel* CentredMessage(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("Message"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setMargin(24);
    return label;
}

}  // namespace

QString ChartTabText(const Chart& chart) {
    QString text = Utf8(StyleWord(chart.style, kWindowLanguage)) + QStringLiteral("・") +
                   QString::fromStdString(DifficultyWord(chart, kWindowLanguage));
    if (!chart.level.empty()) {
        text += QStringLiteral("・") + Utf8(WordsOf(kWindowLanguage).level) + QString::fromStdString(Cp932ToUtf8(chart.level));
    }
    return text;
}

QStringList PreviewFindings(const ErrorList& errors, const std::vector<Chart>& charts) {
    QStringList lines;
    for (const auto& line : errors.Lines()) lines << QString::fromStdString(Cp932ToUtf8(line));
    for (const auto& chart : charts) {
        if (!chart.tempo) {
            lines << ChartTabText(chart) + QStringLiteral("：#BPM:の値が数値として読めません（図のテンポは「BPM不明」です）");
        }
    }
    for (const auto& note : errors.Notes()) {
        const std::string_view japanese = NoteDescriptionJapanese(note.code);
        QString line = QStringLiteral("注：") + (japanese.empty() ? QString::fromStdString(note.code) : Utf8(japanese));
        if (!note.chart.empty()) line += QStringLiteral("［") + QString::fromStdString(Cp932ToUtf8(note.chart)) + QStringLiteral("］");
        if (!note.value.empty()) line += QStringLiteral("：") + QString::fromStdString(Cp932ToUtf8(note.value));
        lines << line;
    }
    return lines;
}

ChartView::ChartView(const Chart& chart, QWidget* parent) : QScrollArea(parent), layout_(chart) {
    setObjectName(QStringLiteral("ChartView"));
    picture_ = new QSvgWidget();
    picture_->load(QByteArray::fromStdString(RenderChartSvg(chart, kWindowLanguage)));
    own_size_ = picture_->renderer()->defaultSize();
    picture_->setFixedSize(own_size_);
    setWidget(picture_);
    setBackgroundRole(QPalette::Base);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // A long chart always scrolls: the width to fit does not change with it.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
}

void ChartView::SetZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    // The measure in view stays in view; the top of the picture, with its
    // header, stays at the top.
    const bool at_top = verticalScrollBar()->value() == 0;
    const int measure = MeasureAtTop();
    zoom_ = zoom;
    picture_->setFixedSize(std::max(1, static_cast<int>(std::lround(own_size_.width() * zoom_))),
                           std::max(1, static_cast<int>(std::lround(own_size_.height() * zoom_))));
    if (!at_top) GoToMeasure(measure);
}

void ChartView::ZoomBy(int steps) {
    fitted_ = false;
    SetZoom(zoom_ * std::pow(kZoomStep, steps));
}

void ChartView::FitWidth() {
    fitted_ = true;
    if (own_size_.width() <= 0) return;
    SetZoom(static_cast<double>(viewport()->width()) / own_size_.width());
}

QPoint ChartView::MeasureTop(int measure) const {
    const long long index = std::clamp<long long>(measure, 1, std::max<long long>(1, layout_.measures)) - 1;
    const long long column = index / kMeasuresPerColumn;
    const long long y = layout_.ColumnY(column) + (index % kMeasuresPerColumn) * kMeasureHeight;
    return {static_cast<int>(layout_.ColumnX(column)), static_cast<int>(y)};
}

void ChartView::GoToMeasure(int measure) {
    const QPoint top = MeasureTop(measure);
    // A little of what comes before, so the measure's number shows too.
    constexpr int kAbove = 12;
    verticalScrollBar()->setValue(static_cast<int>(std::lround((top.y() - kAbove) * zoom_)));
    gone_to_ = measure;
    gone_to_value_ = verticalScrollBar()->value();
    const int x = static_cast<int>(std::lround((top.x() - kNumberWidth) * zoom_));
    QScrollBar* across = horizontalScrollBar();
    if (x < across->value() || x + static_cast<int>(layout_.column_width * zoom_) > across->value() + viewport()->width()) {
        across->setValue(x);
    }
}

int ChartView::MeasureAtTop() const {
    // Columns side by side share their tops: the one gone to is the one meant
    // until the view is scrolled.
    if (gone_to_ > 0 && verticalScrollBar()->value() == gone_to_value_) return gone_to_;
    const double top = verticalScrollBar()->value() / zoom_;
    for (int measure = 1; measure <= layout_.measures; ++measure) {
        if (MeasureTop(measure).y() + kMeasureHeight / 2 >= top) return measure;
    }
    return std::max(1, static_cast<int>(layout_.measures));
}

void ChartView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0) ZoomBy(delta > 0 ? 1 : -1);
        event->accept();
        return;
    }
    QScrollArea::wheelEvent(event);
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (fitted_) FitWidth();
}

PreviewWindow::PreviewWindow(const std::filesystem::path& source, const std::vector<Chart>& charts,
                             const QStringList& findings, const QString& unreadable, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), tabs_(new QTabWidget(this)), findings_(new QPlainTextEdit(this)), dialogs_(dialogs) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(PathToQt(source.filename()) + QStringLiteral(" - プレビュー"));
    setWindowIcon(ProgramIcon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!unreadable.isEmpty()) {
        message_ = CentredMessage(unreadable, this);
    } else if (charts.empty()) {
        message_ = CentredMessage(QStringLiteral("このファイルには譜面がありません。"), this);
    }
    if (message_ != nullptr) layout->addWidget(message_, 1);
    layout->addWidget(tabs_, 1);
    tabs_->setVisible(!charts.empty());
    for (const auto& chart : charts) tabs_->addTab(new ChartView(chart), ChartTabText(chart));

    findings_->setObjectName(QStringLiteral("Findings"));
    findings_->setReadOnly(true);
    findings_->setLineWrapMode(QPlainTextEdit::NoWrap);
    findings_->setPlainText(findings.join(QLatin1Char('\n')));
    findings_->setMaximumHeight(110);
    findings_->setVisible(!findings.isEmpty());
    findings_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(findings_);

    const auto key = [this](const QKeySequence& keys, auto act) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, act);
    };
    const auto scroll = [this](QAbstractSlider::SliderAction action) {
        if (ChartView* view = CurrentView()) view->verticalScrollBar()->triggerAction(action);
    };
    key(QKeySequence(Qt::Key_PageDown), [scroll] { scroll(QAbstractSlider::SliderPageStepAdd); });
    key(QKeySequence(Qt::Key_PageUp), [scroll] { scroll(QAbstractSlider::SliderPageStepSub); });
    key(QKeySequence(Qt::Key_Home), [scroll] { scroll(QAbstractSlider::SliderToMinimum); });
    key(QKeySequence(Qt::Key_End), [scroll] { scroll(QAbstractSlider::SliderToMaximum); });
    const auto zoom = [this](int steps) {
        if (ChartView* view = CurrentView()) view->ZoomBy(steps);
    };
    for (const QKeySequence& in : {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus)}) {
        key(in, [zoom] { zoom(1); });
    }
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [zoom] { zoom(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
        if (ChartView* view = CurrentView()) view->FitWidth();
    });
    key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GoToMeasure(); });
    key(QKeySequence(Qt::Key_Escape), [this] { close(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    // The keys scroll the picture at once, without a click into it first.
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (ChartView* view = CurrentView()) view->setFocus();
    });
    resize(760, 720);
    if (ChartView* view = CurrentView()) view->setFocus();
}

ChartView* PreviewWindow::CurrentView() const { return qobject_cast<ChartView*>(tabs_->currentWidget()); }

void PreviewWindow::GoToMeasure() {
    ChartView* view = CurrentView();
    if (view == nullptr) return;
    const auto measure = dialogs_.AskMeasure(this, view->MeasureAtTop(), view->Measures());
    if (measure) view->GoToMeasure(*measure);
}

PreviewWindow* OpenChartPreview(QWidget* parent, Dialogs& dialogs) {
    const auto source = dialogs.OpenChartFile(parent);
    if (!source) return nullptr;
    std::vector<Chart> charts;
    ErrorList errors;
    QString unreadable;
    try {
        charts = ReadCharts(*source, errors);
    } catch (const ConversionError& error) {
        charts.clear();
        unreadable = PathToQt(source->filename()) + QStringLiteral("：読み込めませんでした（") +
                     JapaneseReason(error, *source).ToQt() + QStringLiteral("）");
    } catch (const std::exception& error) {
        charts.clear();
        const ConversionError internal(Failure::kInternal, *source, "", error.what());
        unreadable = PathToQt(source->filename()) + QStringLiteral("：読み込めませんでした（") +
                     JapaneseReason(internal, *source).ToQt() + QStringLiteral("）");
    }
    auto* window = new PreviewWindow(*source, charts, unreadable.isEmpty() ? PreviewFindings(errors, charts) : QStringList(),
                                     unreadable, dialogs, parent);
    if (parent != nullptr) {
        const QWidget* owner = parent->window();
        const QScreen* screen = owner->screen();
        const QRect desktop = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), window->size());
        window->move(CentreOver(owner->frameGeometry(), window->size(), desktop));
    }
    window->show();
    window->activateWindow();
    return window;
}

}  // namespace torvane
