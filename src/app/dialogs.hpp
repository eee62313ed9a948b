#pragma once
// The dialogs that a batch shows. The window asks them through this interface,
// so that tests can answer them; QtDialogs shows the real ones.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace torvane {

class TOptionForm;

// The progress of a long batch, shown until it is destroyed.
class ProgressDialog {
public:
    virtual ~ProgressDialog() = default;

    // The file in hand, how many files are done and how many the batch has.
    virtual void ShowFile(const std::filesystem::path& file, std::size_t done, std::size_t total) = 0;

    // How far the batch has read its sources, in bytes: the bar follows it.
    virtual void ShowBytes(std::uint64_t read, std::uint64_t total) = 0;

    // Whether the user asked to stop; the files in hand stop before their next chart.
    [[nodiscard]] virtual bool CancelRequested() const = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The multi-select file-open dialog titled `title`, opened on the filter
    // of `format` (1 MSD, 2 d2r, 3 ddr). The chosen files in the dialog's
    // order, full paths; none when the user cancels.
    [[nodiscard]] virtual std::vector<std::filesystem::path> OpenSourceFiles(QWidget* parent, int format,
                                                                             const QString& title) = 0;

    // The measure to go to in a chart of `measures` measures, 1 to
    // `measures`, starting at `current`; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<int> AskMeasure(QWidget* parent, int current, int measures) = 0;

    // The file chooser of the chart preview: one file of any of the three
    // formats, full path; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<std::filesystem::path> OpenChartFile(QWidget* parent) = 0;

    // The folder chooser with `preselect` selected; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<std::filesystem::path> ChooseFolder(
        QWidget* parent, const QString& title, const std::filesystem::path& preselect) = 0;

    // The option dialog, modal; there is no cancel.
    virtual void ShowOptions(TOptionForm& form) = 0;

    // A modal message box with one OK button and no icon. `details`, when
    // there are any, are shown below the text in a list that scrolls.
    virtual void ShowNotice(QWidget* parent, const QString& title, const QString& text,
                            const QStringList& details) = 0;

    // A modal error box.
    virtual void ShowError(QWidget* parent, const QString& title, const QString& text) = 0;

    // The help box of F1.
    virtual void ShowHelp(QWidget* parent, const QString& title, const QString& text) = 0;

    // The progress dialog of a batch, modal; the batch goes on while it shows.
    [[nodiscard]] virtual std::unique_ptr<ProgressDialog> OpenProgress(QWidget* parent, const QString& title) = 0;
};

// The file dialog filters, by format code: each also matches the upper-case
// extension, because the conversions to MSD write ".MSD" files and file
// names are case-sensitive here.
[[nodiscard]] QString SourceFilter(int format);

// A path of the file system from a path as Qt gives it, and back.
[[nodiscard]] std::filesystem::path PathFromQt(const QString& path);
[[nodiscard]] QString PathToQt(const std::filesystem::path& path);

class QtDialogs : public Dialogs {
public:
    [[nodiscard]] std::vector<std::filesystem::path> OpenSourceFiles(QWidget* parent, int format,
                                                                     const QString& title) override;
    [[nodiscard]] std::optional<int> AskMeasure(QWidget* parent, int current, int measures) override;
    [[nodiscard]] std::optional<std::filesystem::path> OpenChartFile(QWidget* parent) override;
    [[nodiscard]] std::optional<std::filesystem::path> ChooseFolder(
        QWidget* parent, const QString& title, const std::filesystem::path& preselect) override;
    void ShowOptions(TOptionForm& form) override;
    void ShowNotice(QWidget* parent, const QString& title, const QString& text, const QStringList& details) override;
    void ShowError(QWidget* parent, const QString& title, const QString& text) override;
    void ShowHelp(QWidget* parent, const QString& title, const QString& text) override;
    [[nodiscard]] std::unique_ptr<ProgressDialog> OpenProgress(QWidget* parent, const QString& title) override;

private:
    // The file dialog opens where the last one was confirmed, as the
    // platform's dialog did by way of the current directory.
    QString last_folder_;
};

}  // namespace torvane
