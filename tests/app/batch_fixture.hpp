#pragma once
// A window as the program builds it, with its dialogs answered by the test,
// sample charts, and what the tests of batches look at.

#include <QCheckBox>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_form.hpp"
#include "app/option_form.hpp"
#include "scripted_dialogs.hpp"
#include "test_support.hpp"

namespace torvane::test {

namespace fs = std::filesystem;

inline std::string Chart(std::string_view steps, std::string_view bpm = "150") {
    return CrLf({"#TITLE:Song;", "#BPM:" + std::string(bpm) + ";", "#GAP:0;",
                 "#SINGLE:BASIC:3:" + std::string(steps) + ";"});
}

inline const std::string kGoodChart = Chart("0000246886420000");
// One beat group of five characters: one error line, and the chart is still converted.
inline const std::string kChartWithError = Chart("0000(12345)2468");
inline const std::string kErrorLine = J("b.msd：変換不能な脚符長さです(12345)");
inline const std::string kOldErrLog = "old lines\r\n";

// The names in a folder, sorted.
inline QStringList Entries(const fs::path& folder) {
    QStringList names;
    for (const auto& entry : fs::directory_iterator(folder)) names << QString::fromStdString(entry.path().filename().string());
    names.sort();
    return names;
}

inline QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names) list << QString::fromLatin1(name);
    return list;
}

inline const QString kNotice = QStringLiteral("変換エラーが検出されました\r\nErrLog.txtを参照して下さい");

// What a converter was asked to do.
struct Call {
    Conversion conversion;
    fs::path source;
    fs::path destination;
    DdrOptions options;
};

// A window as the program builds it, its dialogs answered by the test, and
// its "ErrLog.txt" kept in a temporary folder.
struct Batch {
    TempDir dir;
    fs::path sources = dir / "charts";
    fs::path program = dir / "bin";
    fs::path user_data = dir / "data";
    ScriptedDialogs dialogs;
    TMainForm form{dialogs};
    TOptionForm options;

    Batch() {
        fs::create_directories(sources);
        fs::create_directories(program);
        form.UseOptionForm(options);
        form.SetErrLogFolders(program, user_data);
        WriteFile(program / "ErrLog.txt", kOldErrLog);
    }

    // A chart below the sources' folder; `name` may hold subfolders.
    fs::path Source(const std::string& name, const std::string& bytes) {
        fs::create_directories((sources / name).parent_path());
        WriteFile(sources / name, bytes);
        return sources / name;
    }
    void AskForFolder() { form.findChild<QCheckBox*>(QStringLiteral("NoCfrm"))->setChecked(false); }
    void Click(const char* button) { form.findChild<QPushButton*>(QString::fromLatin1(button))->click(); }
    [[nodiscard]] std::string ErrLog() const { return ReadFile(program / "ErrLog.txt"); }
    // The notice's first lines when "ErrLog.txt" was saved in `folder` (by default beside the program).
    [[nodiscard]] QString Notice(const fs::path& folder = {}) const {
        return kNotice + QStringLiteral("\r\n（保存先のフォルダ：") +
               QString::fromStdString((folder.empty() ? program : folder).string()) + QStringLiteral("）");
    }

    // Replaces the converters by one that records its calls and does what
    // `act` says for each source.
    std::vector<Call> calls;
    void RecordConversions(std::function<void(const fs::path& source, ErrorList& errors)> act = {}) {
        form.SetConverter([this, act](Conversion conversion, const fs::path& source, const fs::path& destination,
                                      const DdrOptions& options, ErrorList& errors) {
            calls.push_back({conversion, source, destination, options});
            if (act) act(source, errors);
        });
    }
};

inline QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace torvane::test
