#pragma once
// TMainForm: the one window. Four buttons, one per conversion, and the batch
// that a click, or files dropped onto a button, runs.

#include <QWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "app/batch_run.hpp"
#include "app/chosen_files.hpp"
#include "batch/conversions.hpp"
#include "batch/plan.hpp"
#include "batch/runner.hpp"
#include "ddr/ddr.hpp"
#include "text/error_list.hpp"

class QCheckBox;
class QPushButton;

namespace torvane {

class Dialogs;
class TOptionForm;

inline constexpr char kErrLogName[] = "ErrLog.txt";

class TMainForm : public QWidget {
    Q_OBJECT

public:
    // Converts one file in place of the shared batch's own conversion (its
    // input checks, its reading and its writer), for tests. Throws
    // ConversionError when the file cannot be converted. It runs on a thread
    // of its own while the window waits.
    using Converter = std::function<void(Conversion conversion, const std::filesystem::path& source,
                                          const std::filesystem::path& destination, const DdrOptions& options,
                                          ErrorList& errors)>;

    explicit TMainForm(Dialogs& dialogs, QWidget* parent = nullptr);

    // The option dialog of MSD-to-ddr batches; it is created after the window.
    void UseOptionForm(TOptionForm& option_form) { OptionForm = &option_form; }

    // Where "ErrLog.txt" goes: the first folder, else the second, whose full
    // path the notice then names. By default the executable's folder and the
    // user's application data folder.
    void SetErrLogFolders(std::filesystem::path beside_executable, std::filesystem::path user_data);

    void SetConverter(Converter converter) { converter_ = std::move(converter); }

    // How long a batch runs before it shows its progress.
    void SetProgressDelay(std::chrono::milliseconds delay) { progress_delay_ = delay; }

    // Files converted at once: by default as many as torvane-cli converts.
    // A converter set for tests converts one file after the other.
    void SetJobs(unsigned jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
    [[nodiscard]] unsigned Jobs() const { return converter_ ? 1U : jobs_; }

    // Runs one batch; the "tag" property of `button` (1 to 4) selects the conversion.
    void MSD2d2rClick(QObject* button);

    // Runs the batch of `button` on dropped files and folders, as a click
    // that chose their sources would.
    void DropOnButton(QObject* button, const std::vector<std::filesystem::path>& paths);

    // The error lines of the last batch, with a line for each file that
    // could not be converted.
    [[nodiscard]] const ErrorList& Errors() const { return ErrorList_; }

    [[nodiscard]] bool BatchRunning() const { return batch_running_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The steps after the sources are known: the plan, the folder chooser,
    // the option dialog, the files, the notice.
    void RunChosenBatch(Conversion conversion, const ChosenFiles& chosen);
    // Runs the plan through the shared batch on a thread of its own, the
    // progress dialog and the cancel on the window's thread.
    void ConvertPlan(const BatchPlan& plan, const DdrOptions& options, WindowBatchOutcome& outcome);
    void ReportBatch(Conversion conversion, const WindowBatchOutcome& outcome);
    // The notice's words on "ErrLog.txt", after saving it; the lines go to
    // `details` when it could not be saved anywhere, and the words say where
    // it was tried and why it failed there.
    QString SaveErrLog(QStringList& details);
    void ShowHelp();
    void ShowDropTarget(QPushButton* button, bool on);

    Dialogs& dialogs_;
    Converter converter_;
    TOptionForm* OptionForm = nullptr;
    ErrorList ErrorList_;
    // Preselected by the folder chooser; kept from one batch to the next.
    std::filesystem::path FolderDialog1Directory;
    std::filesystem::path err_log_folder_;
    std::filesystem::path err_log_fallback_folder_;
    std::chrono::milliseconds progress_delay_{500};
    unsigned jobs_ = DefaultBatchJobs();

    bool batch_running_ = false;
    // Closing the window while a batch runs stops the batch first.
    bool cancel_requested_ = false;
    bool close_after_batch_ = false;
    // The running batch's watch: a cancel stops its files in hand.
    BatchWatch* watch_ = nullptr;

    QPushButton* MSD2d2r;
    QPushButton* d2r2MSD;
    QCheckBox* NoCfrm;
    QPushButton* MSD2ddr;
    QPushButton* Button1;
};

}  // namespace torvane
