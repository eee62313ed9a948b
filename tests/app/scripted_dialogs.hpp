#pragma once
// Dialogs answered by the test: each call is recorded, and the answers are
// set beforehand.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/dialogs.hpp"
#include "app/option_form.hpp"

namespace torvane::test {

class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        QString title;
        QString text;
        QStringList details;
    };
    struct Progress {
        std::filesystem::path file;
        std::size_t done;
        std::size_t total;
    };

    // Answers.
    std::vector<std::filesystem::path> files;  // none: the file dialog is cancelled
    std::optional<std::filesystem::path> folder;  // none: the folder chooser is cancelled
    std::optional<std::filesystem::path> chart_file;  // none: the preview's file chooser is cancelled
    std::function<void(TOptionForm&)> on_options;  // what the user does in the option dialog
    // The user presses cancel when the progress dialog shows this file (by
    // its index in the batch); none: never.
    std::optional<std::size_t> cancel_at_file;
    // Called each time the progress dialog shows a file, on the window's thread.
    std::function<void()> on_progress;
    // The user presses cancel once the bar shows this many bytes read.
    std::optional<std::uint64_t> cancel_at_bytes;
    std::function<void(std::uint64_t, std::uint64_t)> on_bytes;

    // What was asked, in order: "files", "chart", "folder", "options", "notice", "error", "help", "progress".
    QStringList calls;
    int file_format = 0;
    QString file_title;
    std::optional<int> measure;  // the answer of "go to measure"; none: cancelled
    std::pair<int, int> measure_asked{0, 0};  // the current measure and how many
    std::vector<std::pair<std::uint64_t, std::uint64_t>> bytes;  // what the bar showed: read, total
    QString folder_title;
    std::filesystem::path preselected_folder;
    std::vector<Box> notices;
    std::vector<Box> errors;
    std::vector<Box> help;
    std::vector<Progress> progress;  // what the progress dialog showed, in order
    bool progress_open = false;

    std::vector<std::filesystem::path> OpenSourceFiles(QWidget*, int format, const QString& title) override {
        calls << QStringLiteral("files");
        file_format = format;
        file_title = title;
        return files;
    }
    std::optional<int> AskMeasure(QWidget*, int current, int measures) override {
        calls << QStringLiteral("measure");
        measure_asked = {current, measures};
        return measure;
    }
    std::optional<std::filesystem::path> OpenChartFile(QWidget*) override {
        calls << QStringLiteral("chart");
        return chart_file;
    }
    std::optional<std::filesystem::path> ChooseFolder(QWidget*, const QString& title,
                                                      const std::filesystem::path& preselect) override {
        calls << QStringLiteral("folder");
        folder_title = title;
        preselected_folder = preselect;
        return folder;
    }
    void ShowOptions(TOptionForm& form) override {
        calls << QStringLiteral("options");
        if (on_options) on_options(form);
    }
    void ShowNotice(QWidget*, const QString& title, const QString& text, const QStringList& details) override {
        calls << QStringLiteral("notice");
        notices.push_back({title, text, details});
    }
    void ShowError(QWidget*, const QString& title, const QString& text) override {
        calls << QStringLiteral("error");
        errors.push_back({title, text, {}});
    }
    void ShowHelp(QWidget*, const QString& title, const QString& text) override {
        calls << QStringLiteral("help");
        help.push_back({title, text, {}});
    }
    std::unique_ptr<ProgressDialog> OpenProgress(QWidget*, const QString&) override {
        calls << QStringLiteral("progress");
        return std::make_unique<ScriptedProgress>(*this);
    }

private:
    class ScriptedProgress : public ProgressDialog {
    public:
        explicit ScriptedProgress(ScriptedDialogs& dialogs) : dialogs_(dialogs) { dialogs_.progress_open = true; }
        ~ScriptedProgress() override { dialogs_.progress_open = false; }
        void ShowFile(const std::filesystem::path& file, std::size_t done, std::size_t total) override {
            dialogs_.progress.push_back({file, done, total});
            if (dialogs_.cancel_at_file == done) cancelled_ = true;
            if (dialogs_.on_progress) dialogs_.on_progress();
        }
        void ShowBytes(std::uint64_t read, std::uint64_t total) override {
            dialogs_.bytes.emplace_back(read, total);
            if (dialogs_.on_bytes) dialogs_.on_bytes(read, total);
            if (dialogs_.cancel_at_bytes && read >= *dialogs_.cancel_at_bytes) cancelled_ = true;
        }
        bool CancelRequested() const override { return cancelled_; }

    private:
        ScriptedDialogs& dialogs_;
        bool cancelled_ = false;
    };
};

}  // namespace torvane::test
