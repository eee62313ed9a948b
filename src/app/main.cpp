// torvane: the window program.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/dialogs.hpp"
#include "app/main_form.hpp"
#include "app/option_form.hpp"
#include "app/window_look.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane"));
    // Docks and task bars find the desktop entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.torvane.Torvane"));
    // Every window and dialog, Qt's own too, shows the program's icon.
    QApplication::setWindowIcon(torvane::ProgramIcon());

    // The window speaks Japanese, so Qt's own dialogs should too where Qt
    // ships their translation.
    QTranslator qt_texts;
    if (qt_texts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_texts);
    }

    torvane::QtDialogs dialogs;
    torvane::TMainForm MainForm(dialogs);
    torvane::TOptionForm OptionForm;
    MainForm.UseOptionForm(OptionForm);
    MainForm.show();
    return QApplication::exec();
}
