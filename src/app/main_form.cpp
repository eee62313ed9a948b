#include "app/main_form.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "app/dialogs.hpp"
#include "app/failure_text.hpp"
#include "app/option_form.hpp"
#include "app/preview_window.hpp"
#include "app/window_look.hpp"
#include "batch/conversions.hpp"
#include "batch/sources.hpp"
#include "text/conversion_error.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr char kErrLogName[] = "ErrLog.txt";
// A notice names this many files of a kind, and then how many more there are.
constexpr qsizetype kFilesNamedInNotice = 10;

// The format that the file dialog offers first for a conversion's sources.
int SourceFormat(Conversion conversion) {
    switch (conversion) {
        case Conversion::kd2r2MSD: return 2;
        case Conversion::kddr2MSD: return 3;
        case Conversion::kMSD2d2r:
        case Conversion::kMSD2ddr: break;
    }
    return 1;
}

QString SourceFormatName(Conversion conversion) {
    switch (SourceFormat(conversion)) {
        case 2: return QStringLiteral("d2r");
        case 3: return QStringLiteral("ddr");
        default: break;
    }
    return QStringLiteral("MSD");
}

// The conversion of a button, by its tag.
std::optional<Conversion> ConversionOfButton(const QObject* button) {
    const int tag = button != nullptr ? button->property("tag").toInt() : 0;
    if (tag < 1 || tag > 4) return std::nullopt;
    constexpr Conversion kConversionOfTag[] = {Conversion::kMSD2d2r, Conversion::kd2r2MSD, Conversion::kMSD2ddr,
                                               Conversion::kddr2MSD};
    return kConversionOfTag[tag - 1];
}

QPushButton* MakeButton(QWidget* parent, const char* name, int tag, const QString& caption, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("tag", tag);
    button->setGeometry(16, top, 185, 25);
    button->setAcceptDrops(true);
    button->installEventFilter(parent);
    return button;
}

// The dragged files and folders of this computer; links to elsewhere are no files.
std::vector<fs::path> LocalPaths(const QMimeData& mime) {
    std::vector<fs::path> paths;
    for (const QUrl& url : mime.urls()) {
        if (url.isLocalFile()) paths.push_back(PathFromQt(url.toLocalFile()));
    }
    return paths;
}

// One item a line, the first few of a long list and how many more.
QString ListForNotice(const QStringList& items) {
    QStringList shown = items.mid(0, kFilesNamedInNotice);
    if (items.size() > kFilesNamedInNotice) {
        shown << QStringLiteral("ほか%1件").arg(items.size() - kFilesNamedInNotice);
    }
    return shown.join(QStringLiteral("\r\n"));
}

QString FromCp932(const std::string& line) { return QString::fromStdString(Cp932ToUtf8(line)); }

// Subfolders of a chosen folder that repeat a dropped folder's tree are made
// as their first file needs them.
void MakeFolderOf(const fs::path& destination) {
    const fs::path folder = destination.parent_path();
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) return;
    fs::create_directories(folder, ec);
    if (ec) throw ConversionError(Failure::kCreate, folder, {}, {}, ec.value());
}

}  // namespace

TMainForm::TMainForm(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      dialogs_(dialogs),
      converter_([](Conversion conversion, const std::filesystem::path& source,
                    const std::filesystem::path& destination, const DdrOptions& options, ErrorList& errors) {
          RunConversion(conversion, source, destination, kCaption, options, errors);
      }) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(ProgramIcon());
    setWindowTitle(QString::fromLatin1(kCaption.data(), static_cast<qsizetype>(kCaption.size())));
    setFont(TorvaneFont());
    setFixedSize(221, 186);
    // Only the form is black; the buttons keep the usual face.
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    MSD2d2r = MakeButton(this, "MSD2d2r", 1, QStringLiteral("ＭＳＤ－－→ｄ２ｒ"), 16);
    d2r2MSD = MakeButton(this, "d2r2MSD", 2, QStringLiteral("ｄ２ｒ－－→ＭＳＤ"), 48);
    NoCfrm = new QCheckBox(QStringLiteral("変換先フォルダを確認しない"), this);
    NoCfrm->setObjectName(QStringLiteral("NoCfrm"));
    NoCfrm->setGeometry(24, 152, 169, 17);
    NoCfrm->setChecked(true);
    QPalette white_text = NoCfrm->palette();
    white_text.setColor(QPalette::WindowText, Qt::white);
    NoCfrm->setPalette(white_text);
    MSD2ddr = MakeButton(this, "MSD2ddr", 3, QStringLiteral("ＭＳＤ－－→ｄｄｒ"), 80);
    Button1 = MakeButton(this, "Button1", 4, QStringLiteral("ｄｄｒ－－→ＭＳＤ"), 112);

    for (auto* button : {MSD2d2r, d2r2MSD, MSD2ddr, Button1}) {
        connect(button, &QPushButton::clicked, this, [this, button] { MSD2d2rClick(button); });
    }
    setTabOrder(MSD2d2r, d2r2MSD);
    setTabOrder(d2r2MSD, NoCfrm);
    setTabOrder(NoCfrm, MSD2ddr);
    setTabOrder(MSD2ddr, Button1);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { ShowHelp(); });
    auto* preview = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(preview, &QShortcut::activated, this, [this] { OpenChartPreview(this, dialogs_); });

    SetErrLogFolders(PathFromQt(QCoreApplication::applicationDirPath()),
                     PathFromQt(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)));
    CentreOnScreen(*this);
}

void TMainForm::SetErrLogFolders(std::filesystem::path beside_executable, std::filesystem::path user_data) {
    err_log_folder_ = std::move(beside_executable);
    err_log_fallback_folder_ = std::move(user_data);
}

void TMainForm::MSD2d2rClick(QObject* button) {
    const auto conversion = ConversionOfButton(button);
    if (!conversion || batch_running_) return;

    // Also when the user cancels below: the error lines are those of this batch.
    ErrorList_.Clear();

    const auto files = dialogs_.OpenSourceFiles(this, SourceFormat(*conversion));
    if (files.empty()) return;
    ChosenFiles chosen;
    for (const auto& file : files) chosen.sources.push_back({file, {}});
    RunBatch(*conversion, chosen);
}

void TMainForm::DropOnButton(QObject* button, const std::vector<fs::path>& paths) {
    const auto conversion = ConversionOfButton(button);
    if (!conversion || batch_running_) return;
    ErrorList_.Clear();
    const ChosenFiles dropped = SortDroppedFiles(*conversion, paths);
    if (dropped.sources.empty()) {
        ReportBatch(*conversion, {}, dropped);
        return;
    }
    RunBatch(*conversion, dropped);
}

void TMainForm::RunBatch(Conversion conversion, const ChosenFiles& chosen) {
    // Empty: each destination lies beside its source.
    fs::path folder;
    if (!NoCfrm->isChecked()) {
        FolderDialog1Directory = chosen.sources.front().file.parent_path();
        const auto picked = dialogs_.ChooseFolder(this, QStringLiteral("フォルダーの選択"), FolderDialog1Directory);
        if (!picked) return;
        FolderDialog1Directory = *picked;
        folder = *picked;
    }

    DdrOptions options;
    if (conversion == Conversion::kMSD2ddr && OptionForm != nullptr) {
        dialogs_.ShowOptions(*OptionForm);
        options = OptionForm->Options();
    }

    std::vector<BatchFile> files;
    files.reserve(chosen.sources.size());
    for (const auto& source : chosen.sources) {
        const fs::path into = folder.empty() || source.subfolder.empty() ? folder : folder / source.subfolder;
        files.push_back({source.file, DestinationFor(conversion, source.file, into)});
    }
    const BatchOutcome outcome = ConvertFiles(conversion, files, options, !folder.empty());
    ReportBatch(conversion, outcome, chosen);

    if (close_after_batch_) {
        close_after_batch_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

BatchOutcome TMainForm::ConvertFiles(Conversion conversion, const std::vector<BatchFile>& files,
                                     const DdrOptions& options, bool make_folders) {
    batch_running_ = true;
    cancel_requested_ = false;

    // The progress dialog shows once the batch has taken a while, at the
    // start of a file or while a long file is in hand.
    std::unique_ptr<ProgressDialog> progress;
    std::size_t in_hand = 0;
    std::size_t shown = 0;
    const auto show_progress = [&] {
        if (progress && shown == in_hand) return;
        if (!progress) progress = dialogs_.OpenProgress(this, QCoreApplication::applicationName());
        shown = in_hand;
        progress->ShowFile(files[in_hand].source, in_hand, files.size());
    };
    QElapsedTimer clock;
    clock.start();
    QTimer late;
    late.setSingleShot(true);
    connect(&late, &QTimer::timeout, this, [&] { show_progress(); });
    // Without a delay the first file opens the dialog itself.
    if (progress_delay_.count() > 0) late.start(progress_delay_);
    const auto starting = [&](std::size_t index) {
        in_hand = index;
        if (cancel_requested_ || (progress && progress->CancelRequested())) return false;
        if (progress || clock.elapsed() >= progress_delay_.count()) show_progress();
        return true;
    };

    // The files are converted on a thread of their own, so that the window
    // repaints and the cancel button works while one is in hand; the
    // window's side of each step (the progress, the cancel) runs here while
    // that thread waits, so a cancel always falls between two files.
    const auto starting_here = [&](std::size_t index) {
        bool go_on = false;
        QMetaObject::invokeMethod(this, [&] { return starting(index); }, Qt::BlockingQueuedConnection, &go_on);
        return go_on;
    };
    const auto convert = [&](const BatchFile& file) {
        if (make_folders) MakeFolderOf(file.destination);
        converter_(conversion, file.source, file.destination, options, ErrorList_);
    };
    const auto failed = [&](const FailedFile& failure) {
        ErrorList_.Add(FailedFileLine(failure.source, failure.error), {});
    };
    BatchOutcome outcome;
    std::exception_ptr fault;
    bool finished = false;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            outcome = RunBatchFiles(files, convert, starting_here, failed);
        } catch (...) {
            fault = std::current_exception();
        }
    }));
    connect(worker.get(), &QThread::finished, this, [&finished] { finished = true; });
    worker->start();
    // Not a nested event loop: one that the application's quitting ended
    // would return at once, and the batch would go on unseen.
    while (!finished) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker->wait();

    late.stop();
    progress.reset();
    batch_running_ = false;
    if (fault) std::rethrow_exception(fault);
    return outcome;
}

void TMainForm::ReportBatch(Conversion conversion, const BatchOutcome& outcome, const ChosenFiles& chosen) {
    QStringList paragraphs;
    QStringList details;
    // The failed files' lines are among the error lines.
    if (!ErrorList_.Empty()) paragraphs << SaveErrLog(details);
    if (!outcome.failed.empty()) {
        QStringList lines;
        for (const auto& failure : outcome.failed) lines << FailedFileText(failure.source, failure.error);
        paragraphs << QStringLiteral("変換できなかったファイル（%1件）：\r\n").arg(lines.size()) + ListForNotice(lines);
    }
    const QString format = SourceFormatName(conversion);
    if (!chosen.other_files.empty()) {
        QStringList names;
        for (const auto& file : chosen.other_files) names << PathToQt(file.filename());
        paragraphs << QStringLiteral("%1ファイル（%2）ではないため、変換しなかったもの：\r\n")
                              .arg(format, QString::fromLatin1(SourceExtension(conversion).data()))
                          + ListForNotice(names);
    }
    if (!chosen.folders_without_sources.empty()) {
        QStringList folders;
        for (const auto& folder : chosen.folders_without_sources) folders << PathToQt(folder);
        paragraphs << QStringLiteral("%1ファイルが見つからなかったフォルダ：\r\n").arg(format) + ListForNotice(folders);
    }
    if (paragraphs.isEmpty()) return;
    if (outcome.not_started > 0) {
        paragraphs << QStringLiteral("キャンセルしたため、残りの%1ファイルは変換していません").arg(outcome.not_started);
    }
    // Last, right above the lines it speaks of.
    if (!details.isEmpty()) paragraphs << QStringLiteral("保存できなかったエラーの内容は次のとおりです：");
    dialogs_.ShowNotice(this, QCoreApplication::applicationName(), paragraphs.join(QStringLiteral("\r\n\r\n")),
                        details);
}

QString TMainForm::SaveErrLog(QStringList& details) {
    const QString detected = QStringLiteral("変換エラーが検出されました");
    QStringList failures;
    const auto save = [&](const fs::path& folder, bool make_folder) {
        const fs::path file = folder / kErrLogName;
        std::error_code ec;
        if (make_folder && !fs::is_directory(folder, ec)) fs::create_directories(folder, ec);
        try {
            if (ec) throw ConversionError(Failure::kCreate, file, {}, {}, ec.value());
            ErrorList_.SaveTo(file);
            return true;
        } catch (const ConversionError& error) {
            failures << PathToQt(file) + QStringLiteral("：") + JapaneseSaveFailure(error);
        }
        return false;
    };
    if (save(err_log_folder_, false)) return detected + QStringLiteral("\r\nErrLog.txtを参照して下さい");
    // An installed program's folder is not writable for its user. No user
    // data folder known: not the current directory either.
    if (!err_log_fallback_folder_.empty() && save(err_log_fallback_folder_, true)) {
        return detected + QStringLiteral("\r\nErrLog.txtを参照して下さい\r\n") +
               PathToQt(err_log_fallback_folder_ / kErrLogName);
    }
    for (const auto& line : ErrorList_.Lines()) details << FromCp932(line);
    return detected + QStringLiteral("\r\nErrLog.txtに保存できませんでした：\r\n") + failures.join(QStringLiteral("\r\n"));
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

void TMainForm::closeEvent(QCloseEvent* event) {
    if (batch_running_) {
        // The file in hand is finished first, and its batch reported.
        cancel_requested_ = true;
        close_after_batch_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TMainForm::ShowHelp() {
    const QString log = PathToQt(err_log_folder_ / kErrLogName);
    const QString fallback = err_log_fallback_folder_.empty() ? QString()
                                                              : PathToQt(err_log_fallback_folder_ / kErrLogName);
    QString text = QStringLiteral(
        "ＭＳＤ－－→ｄ２ｒ：MSDファイルをd2rファイルに変換します。\n"
        "ｄ２ｒ－－→ＭＳＤ：d2rファイルをMSDファイルに変換します。\n"
        "ＭＳＤ－－→ｄｄｒ：MSDファイルを譜面ごとのddrファイルに変換します"
        "（変換オプションを指定します）。\n"
        "ｄｄｒ－－→ＭＳＤ：ddrファイルをMSDファイルに変換します。\n\n"
        "ファイルやフォルダをボタンにドロップしても変換できます。フォルダは中のフォルダまで探して、"
        "そのボタンの形式のファイルをすべて変換します。\n"
        "時間のかかる変換は、途中でキャンセルできます（変換中のファイルは最後まで変換します）。\n"
        "Ctrl+P：譜面ファイルを選ぶと、その譜面を図で表示します。\n\n"
        "「変換先フォルダを確認しない」にチェックがあると、変換したファイルは"
        "元のファイルと同じフォルダに作られます。\n\n"
        "変換エラーと変換できなかったファイルは、次のファイルに記録されます：\n");
    text += log;
    if (!fallback.isEmpty()) {
        text += QStringLiteral("\n（このフォルダに書き込めないときは ") + fallback + QStringLiteral("）");
    }
    dialogs_.ShowHelp(this, QCoreApplication::applicationName(), text);
}

}  // namespace torvane
