#include "app/main_form.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeySequence>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

#include "app/button_conversion.hpp"
#include "app/dialogs.hpp"
#include "app/failure_text.hpp"
#include "app/option_form.hpp"
#include "app/preview_window.hpp"
#include "app/window_look.hpp"
#include "batch/plan.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {

namespace fs = std::filesystem;

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, int tag, const QString& caption, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("tag", tag);
    button->setGeometry(16, top, 185, 25);
    button->setAcceptDrops(true);
    button->installEventFilter(parent);
    return button;
}

// "ＭＳＤ→ｄ２ｒ：変換するファイルを選択": the button's caption without its long shaft.
QString OpenDialogTitle(const QObject* button) {
    const auto* push = qobject_cast<const QPushButton*>(button);
    QString conversion = push != nullptr ? push->text() : QString();
    conversion.remove(QStringLiteral("－－"));
    return conversion + QStringLiteral("：変換するファイルを選択");
}

}  // namespace

TMainForm::TMainForm(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
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

    InstallFocusMark(*this);

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

    const auto files = dialogs_.OpenSourceFiles(this, SourceFormat(*conversion), OpenDialogTitle(button));
    if (files.empty()) return;
    ChosenFiles chosen;
    chosen.arguments = files;
    RunChosenBatch(*conversion, chosen);
}

void TMainForm::RunChosenBatch(Conversion conversion, const ChosenFiles& chosen) {
    WindowBatchOutcome outcome;
    outcome.other_files = chosen.other_files;
    BatchPlan plan = PlanBatch(conversion, chosen.arguments);
    outcome.folders_without_sources = TakeFoldersWithoutSources(plan);
    std::vector<fs::path> sources;
    for (const auto& file : plan.files) sources.push_back(file.source);
    outcome.base = CommonFolder(sources);
    if (plan.files.empty()) {
        ReportBatch(conversion, outcome);
        return;
    }

    if (!NoCfrm->isChecked()) {
        FolderDialog1Directory = plan.files.front().source.parent_path();
        const auto picked = dialogs_.ChooseFolder(this, QStringLiteral("フォルダーの選択"), FolderDialog1Directory);
        if (!picked) return;
        FolderDialog1Directory = *picked;
        // A dropped folder's tree is repeated below the chosen one, so that
        // two songs of one name in two folders do not write one destination.
        plan = PlanBatch(conversion, chosen.arguments, *picked);
        (void)TakeFoldersWithoutSources(plan);
    }

    DdrOptions options;
    if (conversion == Conversion::kMSD2ddr && OptionForm != nullptr) {
        dialogs_.ShowOptions(*OptionForm);
        options = OptionForm->Options();
    }

    ConvertPlan(plan, options, outcome);
    ReportBatch(conversion, outcome);

    if (close_after_batch_) {
        close_after_batch_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (batch_running_) {
        // The files in hand stop, the batch is reported, then the window goes.
        cancel_requested_ = true;
        close_after_batch_ = true;
        if (watch_ != nullptr) watch_->stop = true;
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
        "時間のかかる変換は、途中でキャンセルできます（変換中のファイルは次の譜面の前で止め、"
        "変換しなかったものとします）。\n"
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
