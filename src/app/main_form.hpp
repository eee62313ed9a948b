#pragma once
// TMainForm: the one window. Four buttons, one per conversion, and the batch
// that a click runs over the chosen files.

#include <QWidget>

#include <filesystem>
#include <functional>

#include "batch/conversions.hpp"
#include "ddr/ddr.hpp"
#include "text/error_list.hpp"

class QCheckBox;
class QPushButton;

namespace torvane {

class Dialogs;
class TOptionForm;

class TMainForm : public QWidget {
    Q_OBJECT

public:
    // Converts one file; RunConversion with the window's caption unless a
    // test puts another in.
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

    // Runs one batch; the "tag" property of `button` (1 to 4) selects the conversion.
    void MSD2d2rClick(QObject* button);

    // The error lines of the last batch.
    [[nodiscard]] const ErrorList& Errors() const { return ErrorList_; }

private:
    void ReportErrors();
    void ShowHelp();

    Dialogs& dialogs_;
    Converter converter_;
    TOptionForm* OptionForm = nullptr;
    ErrorList ErrorList_;
    // Preselected by the folder chooser; kept from one batch to the next.
    std::filesystem::path FolderDialog1Directory;
    std::filesystem::path err_log_folder_;
    std::filesystem::path err_log_fallback_folder_;

    QPushButton* MSD2d2r;
    QPushButton* d2r2MSD;
    QCheckBox* NoCfrm;
    QPushButton* MSD2ddr;
    QPushButton* Button1;
};

}  // namespace torvane
