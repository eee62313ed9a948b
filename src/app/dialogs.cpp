#include "app/dialogs.hpp"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

#include "app/option_form.hpp"
#include "app/progress_form.hpp"
#include "app/window_look.hpp"
#include "batch/formats.hpp"

namespace torvane {

namespace {

QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// "*.msd *.MSD": the patterns of a format read.
QString Patterns(ChartFormat format) {
    const QString extension = Latin1(RowOf(format).source_extension);
    return QStringLiteral("*") + extension + QStringLiteral(" *") + extension.toUpper();
}

// One entry per format read; outputs are never opened.
const QStringList& Filters() {
    static const QStringList filters = [] {
        QStringList list;
        for (const ChartFormat format : kChartFormats) {
            list.append(Latin1(RowOf(format).name) + QStringLiteral(" (") + Patterns(format) + QStringLiteral(")"));
        }
        return list;
    }();
    return filters;
}

// Every format read in one entry.
QString AllChartFiles() {
    QStringList patterns;
    for (const ChartFormat format : kChartFormats) patterns.append(Patterns(format));
    return QStringLiteral("譜面ファイル (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
}

// Line ends as a Qt label breaks them.
QString ForDisplay(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, ForDisplay(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowIcon(ProgramIcon());
    box.exec();
}

// A message box whose lines below the text may be many: they scroll.
void ShowBoxWithDetails(QWidget* parent, const QString& title, const QString& text, const QStringList& details) {
    QDialog box(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowTitle(title);
    box.setWindowIcon(ProgramIcon());
    auto* label = new QLabel(ForDisplay(text), &box);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* lines = new QPlainTextEdit(details.join(QLatin1Char('\n')), &box);
    lines->setObjectName(QStringLiteral("Details"));
    lines->setReadOnly(true);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setMinimumSize(460, 160);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(ok, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(label);
    layout->addWidget(lines, 1);
    layout->addWidget(ok);
    box.exec();
}

}  // namespace

QString SourceFilter(int format) {
    const auto& filters = Filters();
    return format >= 1 && format <= filters.size() ? filters[format - 1] : filters.front();
}

std::filesystem::path PathFromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathToQt(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.string())); }

std::vector<std::filesystem::path> QtDialogs::OpenSourceFiles(QWidget* parent, int format, const QString& title) {
    QString selected = SourceFilter(format);
    const QStringList files = QFileDialog::getOpenFileNames(parent, title, last_folder_,
                                                            Filters().join(QStringLiteral(";;")), &selected);
    std::vector<std::filesystem::path> paths;
    paths.reserve(static_cast<std::size_t>(files.size()));
    for (const auto& file : files) paths.push_back(PathFromQt(QFileInfo(file).absoluteFilePath()));
    if (!files.isEmpty()) last_folder_ = QFileInfo(files.front()).absolutePath();
    return paths;
}

std::optional<std::filesystem::path> QtDialogs::OpenChartFile(QWidget* parent) {
    const QString all = AllChartFiles();
    const QString file = QFileDialog::getOpenFileName(parent, QString(), last_folder_,
                                                      all + QStringLiteral(";;") + Filters().join(QStringLiteral(";;")));
    if (file.isEmpty()) return std::nullopt;
    last_folder_ = QFileInfo(file).absolutePath();
    return PathFromQt(QFileInfo(file).absoluteFilePath());
}

std::optional<int> QtDialogs::AskMeasure(QWidget* parent, int current, int measures) {
    bool ok = false;
    const int measure = QInputDialog::getInt(parent, QStringLiteral("小節へ移動"),
                                             QStringLiteral("小節番号（1～%1）：").arg(measures), current, 1, measures,
                                             1, &ok);
    if (!ok) return std::nullopt;
    return measure;
}

std::optional<std::filesystem::path> QtDialogs::ChooseFolder(QWidget* parent, const QString& title,
                                                             const std::filesystem::path& preselect) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title, PathToQt(preselect));
    if (folder.isEmpty()) return std::nullopt;
    return PathFromQt(folder);
}

void QtDialogs::ShowOptions(TOptionForm& form) { form.exec(); }

void QtDialogs::ShowNotice(QWidget* parent, const QString& title, const QString& text, const QStringList& details) {
    if (details.isEmpty()) {
        ShowBox(parent, QMessageBox::NoIcon, title, text);
    } else {
        ShowBoxWithDetails(parent, title, text, details);
    }
}

void QtDialogs::ShowError(QWidget* parent, const QString& title, const QString& text) {
    ShowBox(parent, QMessageBox::Critical, title, text);
}

void QtDialogs::ShowHelp(QWidget* parent, const QString& title, const QString& text) {
    ShowBox(parent, QMessageBox::Information, title, text);
}

std::unique_ptr<ProgressDialog> QtDialogs::OpenProgress(QWidget* parent, const QString& title) {
    return std::make_unique<TProgressForm>(parent, title);
}

}  // namespace torvane
