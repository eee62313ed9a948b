// torvane: the window program.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/dialogs.hpp"
#include "app/main_form.hpp"
#include "app/option_form.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.torvane.Torvane"));

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
