#include "app/main_form.hpp"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>

#include <exception>
#include <string>

#include "app/dialogs.hpp"
#include "app/option_form.hpp"
#include "app/preview_window.hpp"
#include "app/window_look.hpp"
#include "batch/conversions.hpp"
#include "text/fixed_texts.hpp"

namespace torvane {

namespace {

constexpr char kErrLogName[] = "ErrLog.txt";

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

QPushButton* MakeButton(QWidget* parent, const char* name, int tag, const QString& caption, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("tag", tag);
    button->setGeometry(16, top, 185, 25);
    return button;
}

// The reason, naming the file when the message does not already do so.
QString BatchErrorText(const std::filesystem::path& source, const char* reason) {
    const std::string message = reason;
    if (message.find(source.filename().string()) != std::string::npos) return QString::fromStdString(message);
    return PathToQt(source) + QStringLiteral(": ") + QString::fromStdString(message);
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
    const int tag = button != nullptr ? button->property("tag").toInt() : 0;
    if (tag < 1 || tag > 4) return;
    // The buttons' tags, in order.
    constexpr Conversion kConversionOfTag[] = {Conversion::kMSD2d2r, Conversion::kd2r2MSD, Conversion::kMSD2ddr,
                                               Conversion::kddr2MSD};
    const Conversion conversion = kConversionOfTag[tag - 1];

    // Also when the user cancels below: the error lines are those of this batch.
    ErrorList_.Clear();

    const auto sources = dialogs_.OpenSourceFiles(this, SourceFormat(conversion));
    if (sources.empty()) return;

    // Empty: each destination lies beside its source.
    std::filesystem::path folder;
    if (!NoCfrm->isChecked()) {
        FolderDialog1Directory = sources.front().parent_path();
        const auto chosen = dialogs_.ChooseFolder(this, QStringLiteral("フォルダーの選択"), FolderDialog1Directory);
        if (!chosen) return;
        FolderDialog1Directory = *chosen;
        folder = *chosen;
    }

    DdrOptions options;
    if (conversion == Conversion::kMSD2ddr && OptionForm != nullptr) {
        dialogs_.ShowOptions(*OptionForm);
        options = OptionForm->Options();
    }

    for (const auto& source : sources) {
        // A file that cannot be converted ends the whole batch: the files
        // after it are left alone and no error lines are reported.
        try {
            converter_(conversion, source, DestinationFor(conversion, source, folder), options, ErrorList_);
        } catch (const std::exception& error) {
            dialogs_.ShowError(this, QCoreApplication::applicationName(), BatchErrorText(source, error.what()));
            return;
        } catch (...) {
            dialogs_.ShowError(this, QCoreApplication::applicationName(),
                               BatchErrorText(source, "the conversion failed for an unknown reason"));
            return;
        }
    }

    if (!ErrorList_.Empty()) ReportErrors();
}

void TMainForm::ReportErrors() {
    QString notice = QStringLiteral("変換エラーが検出されました\r\nErrLog.txtを参照して下さい");
    QString failure;
    try {
        ErrorList_.SaveTo(err_log_folder_ / kErrLogName);
    } catch (const std::exception&) {
        // An installed program's folder is not writable for its user.
        const auto fallback = err_log_fallback_folder_ / kErrLogName;
        try {
            // No user data folder known: not the current directory either.
            if (err_log_fallback_folder_.empty()) throw;
            std::filesystem::create_directories(err_log_fallback_folder_);
            ErrorList_.SaveTo(fallback);
            notice += QStringLiteral("\r\n") + PathToQt(fallback);
        } catch (const std::exception& error) {
            failure = QString::fromStdString(error.what());
        }
    }
    dialogs_.ShowNotice(this, QCoreApplication::applicationName(), notice);
    if (!failure.isEmpty()) dialogs_.ShowError(this, QCoreApplication::applicationName(), failure);
}

void TMainForm::ShowHelp() {
    dialogs_.ShowHelp(this, QCoreApplication::applicationName(),
                      QStringLiteral("ＭＳＤ－－→ｄ２ｒ：MSDファイルをd2rファイルに変換します。\n"
                                     "ｄ２ｒ－－→ＭＳＤ：d2rファイルをMSDファイルに変換します。\n"
                                     "ＭＳＤ－－→ｄｄｒ：MSDファイルを譜面ごとのddrファイルに変換します"
                                     "（変換オプションを指定します）。\n"
                                     "ｄｄｒ－－→ＭＳＤ：ddrファイルをMSDファイルに変換します。\n\n"
                                     "「変換先フォルダを確認しない」にチェックがあると、変換したファイルは"
                                     "元のファイルと同じフォルダに作られます。\n"
                                     "変換エラーはErrLog.txtに記録されます。\n"
                                     "Ctrl+P：譜面ファイルを選ぶと、その譜面を図で表示します。"));
}

}  // namespace torvane
