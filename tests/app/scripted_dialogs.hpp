#pragma once
// Dialogs answered by the test: each call is recorded, and the answers are
// set beforehand.

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
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
    };

    // Answers.
    std::vector<std::filesystem::path> files;  // none: the file dialog is cancelled
    std::optional<std::filesystem::path> folder;  // none: the folder chooser is cancelled
    std::optional<std::filesystem::path> chart_file;  // none: the preview's file chooser is cancelled
    std::function<void(TOptionForm&)> on_options;  // what the user does in the option dialog

    // What was asked, in order: "files", "chart", "folder", "options", "notice", "error", "help".
    QStringList calls;
    int file_format = 0;
    QString folder_title;
    std::filesystem::path preselected_folder;
    std::vector<Box> notices;
    std::vector<Box> errors;
    std::vector<Box> help;

    std::vector<std::filesystem::path> OpenSourceFiles(QWidget*, int format) override {
        calls << QStringLiteral("files");
        file_format = format;
        return files;
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
    void ShowNotice(QWidget*, const QString& title, const QString& text) override {
        calls << QStringLiteral("notice");
        notices.push_back({title, text});
    }
    void ShowError(QWidget*, const QString& title, const QString& text) override {
        calls << QStringLiteral("error");
        errors.push_back({title, text});
    }
    void ShowHelp(QWidget*, const QString& title, const QString& text) override {
        calls << QStringLiteral("help");
        help.push_back({title, text});
    }
};

}  // namespace torvane::test
